# The library's code, compiled once into an object library and put together
# from it:
#   torvasoft        the shared library (natively) or the DLL (win32), which
#                    exports the six entry points (and natively the public API)
#   torvasoft_core   a static library of the same objects, for the tests, the
#                    fuzzers and the native tool
#   torvasoft_api    the same objects for a host that wants the public API
#                    linked in statically (torva.exe on Windows)
# Natively the stand-in platform comes along; the allocation-failure and code
# page hooks that tests drive are in torvasoft_test_hooks only.
file(GLOB TORVA_CORE_SOURCES CONFIGURE_DEPENDS
  base/*.cpp plugin/*.cpp archive/*.cpp image/*.cpp codec/*.cpp api/*.cpp)

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

foreach(library torvasoft_core torvasoft_api)
  add_library(${library} STATIC ${TORVA_CORE_OBJECTS})
  target_include_directories(${library} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include
    ${PROJECT_BINARY_DIR}/include)
  target_link_libraries(${library} PUBLIC ${TORVA_ZLIB} torva_libdeflate)
  if(NOT WIN32)
    target_link_libraries(${library} PUBLIC Threads::Threads)
  endif()
endforeach()

if(WIN32)
  add_library(torvasoft SHARED ${TORVA_CORE_OBJECTS} platform/win32/dll_main.cpp plugin/torvasoft.def)
  target_include_directories(torvasoft PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(torvasoft PRIVATE ${TORVA_ZLIB} torva_libdeflate)
  set_target_properties(torvasoft PROPERTIES PREFIX "" OUTPUT_NAME torvasoft
    RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
  # Undecorated export names for the stdcall entry points.
  target_link_options(torvasoft PRIVATE -Wl,--kill-at -Wl,--enable-stdcall-fixup)
else()
  add_library(torvasoft SHARED ${TORVA_CORE_OBJECTS})
  target_include_directories(torvasoft PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include
    ${PROJECT_BINARY_DIR}/include)
  target_link_libraries(torvasoft PRIVATE ${TORVA_ZLIB} torva_libdeflate Threads::Threads)
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
