# End-to-end tests of the tivra program: shell scripts in tests/ run the
# built program in a scratch folder under the build tree. tivra_test_data
# makes synthetic inputs through GDAL and reads outputs back through GDAL,
# independently of the program's own code; some scripts also use GDAL's
# programs (Debian gdal-bin).
add_executable(tivra_test_data tests/TestData.cpp)
# GDAL comes through Tivra::io, whose link to it is public.
target_link_libraries(tivra_test_data PRIVATE tivra_io)

foreach(name demo warp window resample stats colorize geodesic magdec camera bad_input usage interrupt progress write_fault fuzz_replay)
  add_test(NAME tivra_cli.${name} COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/tests/${name}.sh)
  set_tests_properties(tivra_cli.${name} PROPERTIES
    ENVIRONMENT "TIVRA=$<TARGET_FILE:tivra_cli>;HELPER=$<TARGET_FILE:tivra_test_data>;DATA=${CMAKE_CURRENT_SOURCE_DIR}/../data;TESTDATA=${CMAKE_CURRENT_SOURCE_DIR}/tests/data;FUZZ=${PROJECT_SOURCE_DIR}/fuzz;WORK=${CMAKE_CURRENT_BINARY_DIR}/cli-tests/${name}"
    TIMEOUT 300)
endforeach()
