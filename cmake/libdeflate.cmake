# libdeflate as the target torva_libdeflate: deflate, inflate, Adler-32 and
# CRC-32, compiled in every build (native, Windows, browser) from Debian's
# source package, which scripts/setup.sh fetches into third_party/src/.
#
# The decompressor carries libdeflate-zlib-verdicts.patch: it makes
# libdeflate refuse every stream zlib's inflate refuses (too many declared
# codes, repeats past the declared lengths, incomplete codes, the static
# code's unused symbols), so that whatever it accepts, zlib accepts with the
# same output (codec/zlib_inflate.cpp relies on that). The compressor is
# untouched, so every build writes the same compressed bytes.
if(TARGET torva_libdeflate)
  return()
endif()

file(GLOB TORVA_LIBDEFLATE_DIRS LIST_DIRECTORIES true ${PROJECT_SOURCE_DIR}/third_party/src/libdeflate-[0-9]*)
list(LENGTH TORVA_LIBDEFLATE_DIRS TORVA_LIBDEFLATE_COUNT)
if(NOT TORVA_LIBDEFLATE_COUNT EQUAL 1)
  message(FATAL_ERROR "expected one libdeflate source tree in third_party/src (run scripts/setup.sh)")
endif()

# The patched copy lives in the build tree; it is made again whenever the
# patch or the source tree it applies to changes.
set(TORVA_LIBDEFLATE_PATCH ${CMAKE_CURRENT_LIST_DIR}/libdeflate-zlib-verdicts.patch)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TORVA_LIBDEFLATE_PATCH})
file(SHA256 ${TORVA_LIBDEFLATE_PATCH} patch_hash)
set(dir ${CMAKE_BINARY_DIR}/third_party/libdeflate)
set(stamp "${TORVA_LIBDEFLATE_DIRS} ${patch_hash}")
set(stamp_file ${dir}/.patched)
set(current_stamp "")
if(EXISTS ${stamp_file})
  file(READ ${stamp_file} current_stamp)
endif()
if(NOT current_stamp STREQUAL stamp)
  find_program(TORVA_PATCH_PROGRAM patch REQUIRED)
  file(REMOVE_RECURSE ${dir})
  file(MAKE_DIRECTORY ${dir})
  file(COPY ${TORVA_LIBDEFLATE_DIRS}/lib ${TORVA_LIBDEFLATE_DIRS}/common_defs.h ${TORVA_LIBDEFLATE_DIRS}/libdeflate.h
       DESTINATION ${dir})
  execute_process(COMMAND ${TORVA_PATCH_PROGRAM} -p1 --quiet --forward -i ${TORVA_LIBDEFLATE_PATCH}
                  WORKING_DIRECTORY ${dir} RESULT_VARIABLE patch_result)
  if(NOT patch_result EQUAL 0)
    message(FATAL_ERROR "libdeflate-zlib-verdicts.patch does not apply to ${TORVA_LIBDEFLATE_DIRS}")
  endif()
  file(WRITE ${stamp_file} "${stamp}")
endif()

add_library(torva_libdeflate STATIC
  ${dir}/lib/adler32.c ${dir}/lib/crc32.c ${dir}/lib/utils.c
  ${dir}/lib/deflate_compress.c ${dir}/lib/deflate_decompress.c
  ${dir}/lib/zlib_compress.c ${dir}/lib/zlib_decompress.c
  ${dir}/lib/gzip_compress.c ${dir}/lib/gzip_decompress.c
  ${dir}/lib/x86/cpu_features.c ${dir}/lib/arm/cpu_features.c)
target_include_directories(torva_libdeflate SYSTEM PUBLIC ${dir})
# The library's own flags, whatever the build type; its warnings are not ours
# to fix. Sanitizer and coverage flags of the build still apply.
target_compile_options(torva_libdeflate PRIVATE -O2 -w)
set_target_properties(torva_libdeflate PROPERTIES C_STANDARD 99 POSITION_INDEPENDENT_CODE ON)
unset(dir)
unset(stamp)
unset(stamp_file)
unset(current_stamp)
unset(patch_hash)
