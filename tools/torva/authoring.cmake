# The authoring commands of torva (encode, pack) and their file-system
# helpers, added to the tool's library.
target_sources(torva_cli PRIVATE
  torva/authoring_files.cpp
  torva/command_line.cpp
  torva/encode_command.cpp
  torva/pack_command.cpp)
if(WIN32)
  target_sources(torva_cli PRIVATE torva/authoring_files_win32.cpp)
else()
  target_sources(torva_cli PRIVATE torva/authoring_files_posix.cpp)
endif()
target_link_libraries(torva_cli PUBLIC torvasoft_author)
