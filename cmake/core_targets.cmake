# The library's code, compiled once into object libraries and put together
# from them:
#   torvasoft        natively the shared library, which exports the six entry
#                    points and the C interface; on Windows the plug-in DLL,
#                    which exports the six entry points only
#   torvasoft_c      Windows only: torvasoft-c.dll, the C interface, with its
#                    import library
#   torvasoft_core   a static library of the format core and the plug-in, for
#                    the tests and the fuzzers
#   torvasoft_api    the same with the C interface and authoring, for hosts
#                    that link it statically (the tool, the tests of the C
#                    interface)
# Natively the stand-in platform comes along; the allocation-failure and code
# page hooks that tests drive are in torvasoft_test_hooks only.
file(GLOB TORVA_CORE_SOURCES CONFIGURE_DEPENDS
  base/*.cpp formats/*.cpp codec/*.cpp plugin/*.cpp)

add_library(torvasoft_objects OBJECT ${TORVA_CORE_SOURCES})
set_target_properties(torvasoft_objects PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
target_include_directories(torvasoft_objects PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(torvasoft_objects PUBLIC ${TORVA_ZLIB} torva_libdeflate)
set(TORVA_CORE_OBJECTS $<TARGET_OBJECTS:torvasoft_objects>)

if(NOT WIN32)
  find_package(Threads REQUIRED)
  file(GLOB TORVA_PLATFORM_SOURCES CONFIGURE_DEPENDS platform/standin/*.cpp)
  list(FILTER TORVA_PLATFORM_SOURCES EXCLUDE REGEX "test_hooks\\.cpp$")
  add_library(torvasoft_platform OBJECT ${TORVA_PLATFORM_SOURCES})
  set_target_properties(torvasoft_platform PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_include_directories(torvasoft_platform PUBLIC ${PROJECT_SOURCE_DIR})
  list(APPEND TORVA_CORE_OBJECTS $<TARGET_OBJECTS:torvasoft_platform>)
endif()

# The C interface over the core; authoring (torvasoft_author, author/) is
# linked beside it.
file(GLOB TORVA_CAPI_SOURCES CONFIGURE_DEPENDS capi/*.cpp)
add_library(torvasoft_capi_objects OBJECT ${TORVA_CAPI_SOURCES})
set_target_properties(torvasoft_capi_objects PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
target_include_directories(torvasoft_capi_objects PUBLIC ${PROJECT_SOURCE_DIR})
if(WIN32)
  # Exported through the module definition, not by declaration.
  target_compile_definitions(torvasoft_capi_objects PUBLIC TORVASOFT_STATIC)
endif()
set(TORVA_CAPI_OBJECTS ${TORVA_CORE_OBJECTS} $<TARGET_OBJECTS:torvasoft_capi_objects>)

add_library(torvasoft_core STATIC ${TORVA_CORE_OBJECTS})
target_include_directories(torvasoft_core PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include
  ${PROJECT_BINARY_DIR}/include)
target_link_libraries(torvasoft_core PUBLIC ${TORVA_ZLIB} torva_libdeflate)
if(NOT WIN32)
  target_link_libraries(torvasoft_core PUBLIC Threads::Threads)
endif()

add_library(torvasoft_api STATIC $<TARGET_OBJECTS:torvasoft_capi_objects>)
target_link_libraries(torvasoft_api PUBLIC torvasoft_core torvasoft_author)
if(WIN32)
  target_compile_definitions(torvasoft_api INTERFACE TORVASOFT_STATIC)
endif()

if(WIN32)
  add_library(torvasoft SHARED ${TORVA_CORE_OBJECTS} platform/win32/dll_main.cpp plugin/torvasoft.def)
  target_include_directories(torvasoft PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(torvasoft PRIVATE ${TORVA_ZLIB} torva_libdeflate)
  set_target_properties(torvasoft PROPERTIES PREFIX "" OUTPUT_NAME torvasoft
    RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
  # Undecorated export names for the stdcall entry points.
  target_link_options(torvasoft PRIVATE -Wl,--kill-at -Wl,--enable-stdcall-fixup)

  add_library(torvasoft_c SHARED ${TORVA_CAPI_OBJECTS} capi/torvasoft-c.def)
  target_include_directories(torvasoft_c PUBLIC ${PROJECT_SOURCE_DIR}/include ${PROJECT_BINARY_DIR}/include)
  target_link_libraries(torvasoft_c PRIVATE ${TORVA_ZLIB} torva_libdeflate torvasoft_author)
  set_target_properties(torvasoft_c PROPERTIES PREFIX "" OUTPUT_NAME torvasoft-c IMPORT_PREFIX lib
    RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin ARCHIVE_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib)
else()
  add_library(torvasoft SHARED ${TORVA_CAPI_OBJECTS})
  target_include_directories(torvasoft PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include
    ${PROJECT_BINARY_DIR}/include)
  target_link_libraries(torvasoft PRIVATE ${TORVA_ZLIB} torva_libdeflate torvasoft_author Threads::Threads)
  set_target_properties(torvasoft PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib
    LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/torvasoft_exports.map)
  # Template code the public API instantiates from the standard library, and
  # the stand-in's replacement operator new, stay inside as well.
  target_link_options(torvasoft PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/torvasoft_exports.map)

  # Test-only: the hooks that make allocations fail and pick the code page.
  add_library(torvasoft_test_hooks STATIC platform/standin/test_hooks.cpp)
  target_include_directories(torvasoft_test_hooks PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(torvasoft_test_hooks PUBLIC torvasoft_core)
endif()
