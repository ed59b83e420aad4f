# SPDX-License-Identifier: Apache-2.0
# pkg-config file, licence files and the Debian packages (cpack -G DEB), one
# per install component:
#   libtivra1.1      runtime: libtivra, libXGlobal, libostrel, the home share/tivra
#   libtivra-dev     dev: headers, the CMake package, tivra.pc
#   libtivra-io1.1   io: libtivra_io (GDAL)
#   libtivra-io-dev  io-dev: its header and CMake targets (GDAL's development files)
#   tivra            program: bin/tivra and its sample data share/tivra/data
# Only the last three depend on GDAL.

configure_file(${CMAKE_CURRENT_LIST_DIR}/tivra.pc.in ${CMAKE_CURRENT_BINARY_DIR}/tivra.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tivra.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/THIRD_PARTY.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT runtime)

set(CPACK_PACKAGE_NAME tivra)
set(CPACK_PACKAGE_VENDOR Pelmora)
set(CPACK_PACKAGE_CONTACT "Pelmora Tivra developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Pelmora Tivra imaging and geospatial library")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
# System dependencies come from the libraries' DT_NEEDED entries; our own
# libraries, which dpkg-shlibdeps cannot find in any installed package, are
# looked up in the build tree and depended on through the components below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(TIVRA_ABI ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libtivra${TIVRA_ABI})
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libtivra-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_IO_PACKAGE_NAME libtivra-io${TIVRA_ABI})
set(CPACK_DEBIAN_IO-DEV_PACKAGE_NAME libtivra-io-dev)
set(CPACK_DEBIAN_IO-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_IO-DEV_PACKAGE_DEPENDS libgdal-dev)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME tivra)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION science)

set(CPACK_COMPONENTS_ALL runtime dev)
if(TIVRA_HAS_IO)
  list(APPEND CPACK_COMPONENTS_ALL io io-dev)
endif()
if(TARGET tivra_cli)
  list(APPEND CPACK_COMPONENTS_ALL program)
endif()
include(CPack)
cpack_add_component(runtime DESCRIPTION "Run-time libraries and the installation home")
cpack_add_component(dev DESCRIPTION "Headers, CMake package and pkg-config file" DEPENDS runtime)
cpack_add_component(io DESCRIPTION "The GDAL module Tivra::io" DEPENDS runtime)
cpack_add_component(io-dev DESCRIPTION "Header and CMake targets of Tivra::io" DEPENDS dev io)
cpack_add_component(program DESCRIPTION "The tivra command-line program and its sample data" DEPENDS runtime io)
