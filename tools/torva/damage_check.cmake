# Damage is told by the library's C interface where the build has it;
# elsewhere the tool goes by the plug-in's results alone. The tool links it
# statically from torvasoft_api; torva.exe's pixels still come from
# torvasoft.dll.
if(TARGET torvasoft_api)
  target_sources(torva_cli PRIVATE ${CMAKE_CURRENT_LIST_DIR}/damage_api.cpp)
  target_link_libraries(torva_cli PUBLIC torvasoft_api)
else()
  target_sources(torva_cli PRIVATE ${CMAKE_CURRENT_LIST_DIR}/damage_unavailable.cpp)
endif()
