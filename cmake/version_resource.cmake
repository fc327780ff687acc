# A version resource in torvasoft.dll and torva.exe, from the project version,
# and the test that reads it back through the Windows version API.
if(NOT WIN32)
  return()
endif()
enable_language(RC)

set(TORVA_RC_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},0,0")
if(NOT "${PROJECT_VERSION_PATCH}" STREQUAL "")
  set(TORVA_RC_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
endif()

# torva_add_version_resource(TARGET FILE_NAME FILE_TYPE DESCRIPTION)
function(torva_add_version_resource target file_name file_type description)
  set(TORVA_RC_FILE_NAME "${file_name}")
  set(TORVA_RC_FILE_TYPE "${file_type}")
  set(TORVA_RC_DESCRIPTION "${description}")
  get_filename_component(TORVA_RC_INTERNAL_NAME "${file_name}" NAME_WE)
  set(rc "${PROJECT_BINARY_DIR}/version_resource/${target}.rc")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version_resource.rc.in "${rc}" @ONLY)
  target_sources(${target} PRIVATE "${rc}")
endfunction()

torva_add_version_resource(torvasoft torvasoft.dll VFT_DLL
  "Image-viewer plug-in for ALD and ALK archives and QNT, PMS and VSP pictures")
if(TARGET torva)
  torva_add_version_resource(torva torva.exe VFT_APP "torva: lists, extracts and converts game data files")
endif()

if(TORVA_BUILD_TESTS AND TARGET torva AND TARGET gtest_main)
  add_executable(torvasoft_version_tests ${PROJECT_SOURCE_DIR}/tests/windows/version_resource_test.cpp)
  target_link_libraries(torvasoft_version_tests PRIVATE gtest gtest_main version)
  set_target_properties(torvasoft_version_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
  add_dependencies(torvasoft_version_tests torvasoft torva)
  add_test(NAME version_resource_tests COMMAND torvasoft_version_tests)
endif()
