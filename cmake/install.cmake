# Installation and packages.
#   Linux:   cmake --install puts the shared library (with its SONAME), the
#            public headers, torva and its man page, torvasoft.pc and the
#            CMake package config under the prefix; cpack -G DEB makes
#            torvasoft_VERSION_amd64.deb of the same files under /usr.
#   Windows: cmake --install lays out the zip's contents (the plug-in DLL,
#            torva.exe, the C interface as torvasoft-c.dll with its import
#            library and headers, the documents and the licences of what is
#            linked in statically);
#            cpack -G ZIP makes torvasoft-VERSION-win32.zip.
# scripts/package.sh drives both.
include(GNUInstallDirs)

# Before 1.0 a minor release may change the library's interface, so the
# SONAME carries major and minor (libtorvasoft.so.0.2); from 1.0 on, the major
# version alone.
if(PROJECT_VERSION_MAJOR EQUAL 0)
  set(TORVA_SOVERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}")
else()
  set(TORVA_SOVERSION "${PROJECT_VERSION_MAJOR}")
endif()

set(CPACK_PACKAGE_NAME torvasoft)
set(CPACK_PACKAGE_VENDOR "the torvasoft authors")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Reader for ALD and ALK archives and QNT, PMS and VSP pictures")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  install(TARGETS torvasoft RUNTIME DESTINATION .)
  install(TARGETS torvasoft_c RUNTIME DESTINATION . ARCHIVE DESTINATION lib)
  install(DIRECTORY include/torvasoft ${PROJECT_BINARY_DIR}/include/torvasoft
    DESTINATION include FILES_MATCHING PATTERN "*.h" PATTERN "*.hpp")
  if(TARGET torva)
    install(TARGETS torva RUNTIME DESTINATION .)
  endif()
  install(FILES README.md LICENSE CHANGES THIRD-PARTY-NOTICES DESTINATION .)
  install(DIRECTORY doc/ DESTINATION doc FILES_MATCHING PATTERN "*.md")
  # The full licence texts, as Debian ships them, of everything linked in.
  file(GLOB TORVA_LIBDEFLATE_LICENCE ${PROJECT_SOURCE_DIR}/third_party/src/libdeflate-*/COPYING)
  file(GLOB TORVA_LIBSPNG_LICENCE ${PROJECT_SOURCE_DIR}/third_party/src/libspng-*/LICENSE)
  set(licences
    "zlib.txt=/usr/share/doc/libz-mingw-w64-dev/copyright"
    "libdeflate.txt=${TORVA_LIBDEFLATE_LICENCE}"
    "libspng.txt=${TORVA_LIBSPNG_LICENCE}"
    "gcc-runtime-libgcc-libstdc++.txt=/usr/share/doc/gcc-mingw-w64-base/copyright"
    "mingw-w64-runtime-winpthreads.txt=/usr/share/doc/mingw-w64-i686-dev/copyright")
  foreach(licence ${licences})
    string(REPLACE "=" ";" pair "${licence}")
    list(GET pair 0 name)
    list(LENGTH pair parts)
    set(source "")
    if(parts GREATER 1)
      list(GET pair 1 source)
    endif()
    if(NOT EXISTS "${source}")
      message(WARNING "licence text for ${name} not found (scripts/setup.sh fetches it); the zip will lack it")
      continue()
    endif()
    install(FILES "${source}" DESTINATION licences RENAME "${name}")
  endforeach()

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "torvasoft-${PROJECT_VERSION}-win32")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
  include(CPack)
  return()
endif()

set_target_properties(torvasoft PROPERTIES VERSION "${PROJECT_VERSION}" SOVERSION "${TORVA_SOVERSION}")
# Hosts of the installed library include <torvasoft/torvasoft.h>; the source
# tree's own include paths stay inside the build.
get_target_property(TORVA_BUILD_INCLUDES torvasoft INTERFACE_INCLUDE_DIRECTORIES)
set(TORVA_INTERFACE_INCLUDES "$<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>")
foreach(directory ${TORVA_BUILD_INCLUDES} ${PROJECT_SOURCE_DIR}/include ${PROJECT_BINARY_DIR}/include)
  list(APPEND TORVA_INTERFACE_INCLUDES "$<BUILD_INTERFACE:${directory}>")
endforeach()
set_target_properties(torvasoft PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${TORVA_INTERFACE_INCLUDES}")

install(TARGETS torvasoft EXPORT torvasoftTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY include/torvasoft ${PROJECT_BINARY_DIR}/include/torvasoft
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h" PATTERN "*.hpp")
if(TARGET torva)
  install(TARGETS torva RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# The man page carries the project version: doc/torva.1.in is its source.
configure_file(doc/torva.1.in ${PROJECT_BINARY_DIR}/doc/torva.1 @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/doc/torva.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md CHANGES THIRD-PARTY-NOTICES DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The README's links lead into doc/, beside it.
install(DIRECTORY doc/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/doc FILES_MATCHING PATTERN "*.md")
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
# libdeflate is compiled into the library (cmake/libdeflate.cmake); its
# licence travels with it.
file(GLOB TORVA_LIBDEFLATE_LICENCE ${PROJECT_SOURCE_DIR}/third_party/src/libdeflate-*/COPYING)
install(FILES ${TORVA_LIBDEFLATE_LICENCE} DESTINATION ${CMAKE_INSTALL_DOCDIR}/licences RENAME libdeflate.txt)

# pkg-config: written at install time, so that the prefix is the one
# installed to (cmake --install --prefix, or /usr in the package).
install(CODE "
  set(CMAKE_INSTALL_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(CMAKE_INSTALL_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(PROJECT_VERSION \"${PROJECT_VERSION}\")
  configure_file(\"${PROJECT_SOURCE_DIR}/cmake/torvasoft.pc.in\" \"${PROJECT_BINARY_DIR}/torvasoft.pc\" @ONLY)")
install(FILES ${PROJECT_BINARY_DIR}/torvasoft.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
 )

# find_package(torvasoft): the imported target torvasoft::torvasoft.
include(CMakePackageConfigHelpers)
set(TORVA_CONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/torvasoft)
install(EXPORT torvasoftTargets NAMESPACE torvasoft:: DESTINATION ${TORVA_CONFIG_DIR})
configure_package_config_file(cmake/torvasoftConfig.cmake.in ${PROJECT_BINARY_DIR}/torvasoftConfig.cmake
  INSTALL_DESTINATION ${TORVA_CONFIG_DIR})
# Before 1.0 only the same minor version is compatible, as the SONAME says.
if(PROJECT_VERSION_MAJOR EQUAL 0)
  set(TORVA_COMPATIBILITY SameMinorVersion)
else()
  set(TORVA_COMPATIBILITY SameMajorVersion)
endif()
write_basic_package_version_file(${PROJECT_BINARY_DIR}/torvasoftConfigVersion.cmake
  COMPATIBILITY ${TORVA_COMPATIBILITY})
install(FILES ${PROJECT_BINARY_DIR}/torvasoftConfig.cmake ${PROJECT_BINARY_DIR}/torvasoftConfigVersion.cmake
  DESTINATION ${TORVA_CONFIG_DIR})

# The Debian package: everything above under /usr, the dependencies on
# Debian's runtime packages computed by dpkg-shlibdeps from the binaries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "the torvasoft authors <torvasoft@invalid>")
# The summary above is the first line of the description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "torvasoft reads the archives (ALD, ALK) and pictures (QNT, PMS, VSP) of a
family of games: the torva command lists and extracts archives and converts
pictures to PNG or BMP; the shared library, its header, pkg-config file and
CMake package let programs do the same.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Python package for Debian's Python 3 (python/CMakeLists.txt builds it
# into the build tree); its module links the library installed above.
if(TARGET torvasoft_python)
  install(DIRECTORY ${PROJECT_BINARY_DIR}/python/torvasoft DESTINATION lib/python3/dist-packages
    FILES_MATCHING PATTERN "*.py" PATTERN "_native*.so" PATTERN "__pycache__" EXCLUDE)
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "${TORVA_PYTHON_RANGE}, python3-cffi-backend, python3-pil")
endif()
set(CPACK_DEB_COMPONENT_INSTALL OFF)
# The desktop integration (desktop/): the package's scripts register the
# gdk-pixbuf loader and the MIME types; fusermount3 unmounts `torva mount`,
# gdk-pixbuf-thumbnailer makes the thumbnails.
if(TORVA_DESKTOP_DEB_SCRIPTS)
  list(APPEND CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${TORVA_DESKTOP_DEB_SCRIPTS})
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fuse3, shared-mime-info, libgdk-pixbuf2.0-bin")
include(CPack)

if(TORVA_BUILD_TESTS AND TARGET torva)
  # The page checked is the one installed, as configured.
  add_test(NAME man_page_covers_help COMMAND ${CMAKE_COMMAND} -DTORVA=$<TARGET_FILE:torva>
    -DMAN=${PROJECT_BINARY_DIR}/doc/torva.1 -DVERSION=${PROJECT_VERSION}
    -P ${PROJECT_SOURCE_DIR}/cmake/check_man_page.cmake)
endif()
