# libdeflate as a static library, built from Debian's source package that
# scripts/setup.sh fetches into third_party/src/ (the cross builds have no
# -dev package to link). Target: torva_libdeflate.
if(NOT TARGET torva_libdeflate)
  file(GLOB TORVA_LIBDEFLATE_DIR LIST_DIRECTORIES true ${PROJECT_SOURCE_DIR}/third_party/src/libdeflate-[0-9]*)
  if(NOT TORVA_LIBDEFLATE_DIR)
    message(FATAL_ERROR "libdeflate's source is missing: run scripts/setup.sh")
  endif()
  list(GET TORVA_LIBDEFLATE_DIR 0 TORVA_LIBDEFLATE_DIR)
  set(TORVA_LIBDEFLATE_SOURCES adler32.c crc32.c deflate_compress.c deflate_decompress.c utils.c
      zlib_compress.c zlib_decompress.c x86/cpu_features.c)
  list(TRANSFORM TORVA_LIBDEFLATE_SOURCES PREPEND ${TORVA_LIBDEFLATE_DIR}/lib/)
  add_library(torva_libdeflate STATIC ${TORVA_LIBDEFLATE_SOURCES})
  target_include_directories(torva_libdeflate SYSTEM PUBLIC ${TORVA_LIBDEFLATE_DIR})
  target_compile_options(torva_libdeflate PRIVATE -w)
  set_target_properties(torva_libdeflate PROPERTIES C_STANDARD 99 POSITION_INDEPENDENT_CODE ON)
endif()
