# End-to-end tests of the tivra program: shell scripts in tests/ run the
# built program in a scratch folder under the build tree. tivra_test_data
# makes synthetic inputs and reads outputs back without the program's own
# subcommands.
add_executable(tivra_test_data tests/TestData.cpp RasterIO.cpp)
target_link_libraries(tivra_test_data PRIVATE tivra PNG::PNG TIFF::TIFF JPEG::JPEG ${GEOTIFF_LIBRARY})
target_include_directories(tivra_test_data PRIVATE ${GEOTIFF_INCLUDE_DIR})

foreach(name demo warp stats colorize geodesic magdec camera bad_input)
  add_test(NAME tivra_cli.${name} COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/tests/${name}.sh)
  set_tests_properties(tivra_cli.${name} PROPERTIES
    ENVIRONMENT "TIVRA=$<TARGET_FILE:tivra_cli>;HELPER=$<TARGET_FILE:tivra_test_data>;DATA=${CMAKE_CURRENT_SOURCE_DIR}/../data;WORK=${CMAKE_CURRENT_BINARY_DIR}/cli-tests/${name}"
    TIMEOUT 300)
endforeach()
