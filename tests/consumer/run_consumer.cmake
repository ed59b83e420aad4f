# Installs the build into a scratch prefix, builds the consumer against it and
# runs it. Any failing step fails the test. TIVRA_CONSUMER_FLAGS carries the
# sanitizer flags of an instrumented build to the consumer.
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
