# Every public header of the core compiles on its own (included twice, so a
# missing guard shows too), and <tivra/tivra.h> includes exactly the public
# headers, each once. The GDAL module's headers need GDAL's and are left out.
# Inputs: TIVRA_INCLUDE_DIR, TIVRA_CXX, TIVRA_SCRATCH.
file(GLOB_RECURSE headers RELATIVE ${TIVRA_INCLUDE_DIR} ${TIVRA_INCLUDE_DIR}/tivra/*.h)
list(FILTER headers EXCLUDE REGEX "^tivra/(io/|tivra\\.h$)")
file(STRINGS ${TIVRA_INCLUDE_DIR}/tivra/tivra.h lines REGEX "^#include <tivra/")
set(umbrella)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^#include <([^>]+)>.*" "\\1" header "${line}")
  list(APPEND umbrella ${header})
endforeach()
set(unique ${umbrella})
list(REMOVE_DUPLICATES unique)
set(missing ${headers})
list(REMOVE_ITEM missing ${umbrella})
set(extra ${umbrella})
list(REMOVE_ITEM extra ${headers})
if(missing OR extra OR NOT unique STREQUAL umbrella)
  list(LENGTH umbrella n)
  list(LENGTH unique nUnique)
  message(FATAL_ERROR "tivra.h: missing [${missing}], not public headers [${extra}], "
                      "${n} entries of which ${nUnique} differ")
endif()

file(MAKE_DIRECTORY ${TIVRA_SCRATCH})
set(failed)
foreach(header IN LISTS headers ITEMS tivra/tivra.h)
  string(MAKE_C_IDENTIFIER ${header} name)
  file(WRITE ${TIVRA_SCRATCH}/${name}.cpp "#include <${header}>\n#include <${header}>\n")
  execute_process(COMMAND ${TIVRA_CXX} -std=c++20 -fsyntax-only -Wall -Wextra -Wno-unused-parameter -Werror
                          -I${TIVRA_INCLUDE_DIR} ${TIVRA_SCRATCH}/${name}.cpp
                  RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    list(APPEND failed ${header})
    message("${header}:\n${err}")
  endif()
endforeach()
list(LENGTH headers count)
if(failed)
  message(FATAL_ERROR "headers that do not compile on their own: ${failed}")
endif()
message(STATUS "${count} public headers compile on their own; tivra.h includes each once")
