# The Debian packages of the build: made with cpack, unpacked into a scratch
# root with dpkg -x (no installation on the machine), then used from there as
# an outside user would: the consumer project built against the root, and the
# program run from it without TIVRA_HOME. Also checks that only the GDAL
# module's and the program's packages depend on GDAL.
# Inputs: TIVRA_BUILD_DIR, TIVRA_VERSION, TIVRA_CONSUMER_SOURCE, TIVRA_SCRATCH, TIVRA_CONSUMER_FLAGS.
file(REMOVE_RECURSE ${TIVRA_SCRATCH})
function(run_step out_var)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "step failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(${out_var} "${out}" PARENT_SCOPE)
endfunction()

run_step(out cpack -G DEB --config ${TIVRA_BUILD_DIR}/CPackConfig.cmake -B ${TIVRA_SCRATCH}/debs)
file(GLOB debs ${TIVRA_SCRATCH}/debs/*.deb)
set(root ${TIVRA_SCRATCH}/root)
set(names)
foreach(deb IN LISTS debs)
  run_step(name dpkg-deb --field ${deb} Package)
  run_step(depends dpkg-deb --field ${deb} Depends)
  string(STRIP "${name}" name)
  list(APPEND names ${name})
  message(STATUS "${name}: ${depends}")
  string(FIND "${depends}" "gdal" gdal)
  if(name MATCHES "^(libtivra1\\.1|libtivra-dev)$" AND NOT gdal EQUAL -1)
    message(FATAL_ERROR "${name} depends on GDAL: ${depends}")
  endif()
  if(name MATCHES "^(libtivra-io1\\.1|tivra)$" AND gdal EQUAL -1)
    message(FATAL_ERROR "${name} lacks its GDAL dependency: ${depends}")
  endif()
  if(NOT name STREQUAL "libtivra1.1" AND NOT depends MATCHES "libtivra[-a-z0-9.]* \\(= ${TIVRA_VERSION}\\)")
    message(FATAL_ERROR "${name} does not depend on our packages of its own version: ${depends}")
  endif()
  run_step(out dpkg -x ${deb} ${root})
endforeach()
list(SORT names)
if(NOT names STREQUAL "libtivra-dev;libtivra-io-dev;libtivra-io1.1;libtivra1.1;tivra")
  message(FATAL_ERROR "packages made: ${names}")
endif()

run_step(out ${CMAKE_COMMAND} -S ${TIVRA_CONSUMER_SOURCE} -B ${TIVRA_SCRATCH}/build
         -DCMAKE_PREFIX_PATH=${root}/usr -DCMAKE_BUILD_TYPE=Release
         "-DCMAKE_CXX_FLAGS=${TIVRA_CONSUMER_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${TIVRA_CONSUMER_FLAGS}")
run_step(out ${CMAKE_COMMAND} --build ${TIVRA_SCRATCH}/build)
run_step(out ${TIVRA_SCRATCH}/build/consumer)
run_step(out ${TIVRA_SCRATCH}/build/consumer_io)

# The program finds its home (share/tivra, with WMM.cof) beside its folder.
set(program env -u TIVRA_HOME -u PELMORATIVRA_1_1 ${root}/usr/bin/tivra)
run_step(version ${program} --version)
if(NOT version MATCHES "^tivra ${TIVRA_VERSION} ")
  message(FATAL_ERROR "tivra --version: ${version}")
endif()
run_step(magdec ${program} magdec 40.0 -105.0 1600 2025-06-01)
if(NOT magdec MATCHES "model +WMM2025" OR NOT magdec MATCHES "declination +[0-9-]")
  message(FATAL_ERROR "tivra magdec: ${magdec}")
endif()
message(STATUS "${version}${magdec}")
