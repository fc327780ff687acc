# The authoring commands of torva (encode, pack), added to the tool's library.
target_sources(torva_cli PRIVATE
  torva/encode_command.cpp
  torva/member_file_sink.cpp
  torva/pack_command.cpp
  torva/pack_manifest.cpp)
target_link_libraries(torva_cli PUBLIC torvasoft_author)
