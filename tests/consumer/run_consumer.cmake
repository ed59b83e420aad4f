# Installs the build into a scratch prefix, builds the consumer against it,
# once through the CMake package and once by hand with the compiler flags of
# pkg-config, and runs it. Any failing step fails the test.
# TIVRA_CONSUMER_FLAGS carries the sanitizer flags of an instrumented build to
# the consumer.
file(REMOVE_RECURSE ${TIVRA_SCRATCH})
function(run_step)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "step failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  message(STATUS "${out}")
endfunction()
run_step(${CMAKE_COMMAND} --install ${TIVRA_BUILD_DIR} --prefix ${TIVRA_SCRATCH}/prefix)
run_step(${CMAKE_COMMAND} -S ${TIVRA_CONSUMER_SOURCE} -B ${TIVRA_SCRATCH}/build
         -DCMAKE_PREFIX_PATH=${TIVRA_SCRATCH}/prefix -DCMAKE_BUILD_TYPE=Release
         "-DCMAKE_CXX_FLAGS=${TIVRA_CONSUMER_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${TIVRA_CONSUMER_FLAGS}")
run_step(${CMAKE_COMMAND} --build ${TIVRA_SCRATCH}/build)
run_step(${TIVRA_SCRATCH}/build/consumer)
if(EXISTS ${TIVRA_SCRATCH}/build/consumer_io)
  run_step(${TIVRA_SCRATCH}/build/consumer_io)
endif()

# Without CMake: pkg-config's flags for tivra, found from the prefix alone.
set(ENV{PKG_CONFIG_PATH} ${TIVRA_SCRATCH}/prefix/lib/pkgconfig)
execute_process(COMMAND pkg-config --cflags --libs tivra RESULT_VARIABLE rc OUTPUT_VARIABLE flags
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT rc EQUAL 0 OR NOT flags MATCHES "-I.*/prefix/.*-ltivra")
  message(FATAL_ERROR "pkg-config --cflags --libs tivra: (${rc}) ${flags}")
endif()
separate_arguments(flags UNIX_COMMAND "${flags}")
run_step(${TIVRA_CXX} -std=c++20 ${TIVRA_CONSUMER_FLAGS} ${TIVRA_CONSUMER_SOURCE}/main.cpp ${flags}
         -Wl,-rpath,${TIVRA_SCRATCH}/prefix/lib -o ${TIVRA_SCRATCH}/consumer_pkgconfig)
run_step(${TIVRA_SCRATCH}/consumer_pkgconfig)
