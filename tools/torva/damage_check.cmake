# Damage is told by the library's public API where the build has it;
# elsewhere the tool goes by the plug-in's results alone. Natively the API
# comes with torvasoft_core, which the tool links already; torva.exe takes
# it statically from torvasoft_api, while its pixels still come from
# torvasoft.dll.
if(TARGET torvasoft_api)
  target_sources(torva_cli PRIVATE ${CMAKE_CURRENT_LIST_DIR}/damage_api.cpp)
  if(WIN32)
    target_link_libraries(torva_cli PUBLIC torvasoft_api)
  endif()
else()
  target_sources(torva_cli PRIVATE ${CMAKE_CURRENT_LIST_DIR}/damage_unavailable.cpp)
endif()
