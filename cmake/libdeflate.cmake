# libdeflate as the target torva_libdeflate: deflate, inflate and CRC-32.
# Natively it is Debian's libdeflate-dev; the cross builds compile the same
# version from Debian's source package, which scripts/setup.sh fetches into
# third_party/src/, so that both give the same compressed bytes.
if(TARGET torva_libdeflate)
  return()
endif()

if(CMAKE_CROSSCOMPILING)
  file(GLOB TORVA_LIBDEFLATE_DIRS LIST_DIRECTORIES true ${PROJECT_SOURCE_DIR}/third_party/src/libdeflate-[0-9]*)
  list(LENGTH TORVA_LIBDEFLATE_DIRS TORVA_LIBDEFLATE_COUNT)
  if(NOT TORVA_LIBDEFLATE_COUNT EQUAL 1)
    message(FATAL_ERROR "expected one libdeflate source tree in third_party/src (run scripts/setup.sh)")
  endif()
  set(dir ${TORVA_LIBDEFLATE_DIRS})
  add_library(torva_libdeflate STATIC
    ${dir}/lib/adler32.c ${dir}/lib/crc32.c ${dir}/lib/utils.c
    ${dir}/lib/deflate_compress.c ${dir}/lib/deflate_decompress.c
    ${dir}/lib/zlib_compress.c ${dir}/lib/zlib_decompress.c
    ${dir}/lib/gzip_compress.c ${dir}/lib/gzip_decompress.c
    ${dir}/lib/x86/cpu_features.c ${dir}/lib/arm/cpu_features.c)
  target_include_directories(torva_libdeflate SYSTEM PUBLIC ${dir})
  # The library's own flags; its warnings are not ours to fix.
  target_compile_options(torva_libdeflate PRIVATE -O2 -w)
  set_target_properties(torva_libdeflate PROPERTIES C_STANDARD 99 POSITION_INDEPENDENT_CODE ON)
  unset(dir)
else()
  find_path(TORVA_LIBDEFLATE_INCLUDE libdeflate.h REQUIRED)
  find_library(TORVA_LIBDEFLATE_LIBRARY NAMES deflate REQUIRED)
  add_library(torva_libdeflate UNKNOWN IMPORTED)
  set_target_properties(torva_libdeflate PROPERTIES
    IMPORTED_LOCATION ${TORVA_LIBDEFLATE_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${TORVA_LIBDEFLATE_INCLUDE})
endif()
