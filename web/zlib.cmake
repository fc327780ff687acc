# zlib for the browser build, compiled from Debian's source package that
# scripts/setup.sh unpacks into third_party/src/. Only the one-call inflate,
# deflate (for the PNG writer) and what they need are built.
file(GLOB TORVA_WEB_ZLIB_DIR LIST_DIRECTORIES true ${PROJECT_SOURCE_DIR}/third_party/src/zlib-[0-9]*)
list(FILTER TORVA_WEB_ZLIB_DIR INCLUDE REGEX "/zlib-[0-9][^/]*$")
list(LENGTH TORVA_WEB_ZLIB_DIR TORVA_WEB_ZLIB_DIRS)
if(NOT TORVA_WEB_ZLIB_DIRS EQUAL 1 OR NOT IS_DIRECTORY "${TORVA_WEB_ZLIB_DIR}")
  message(FATAL_ERROR "zlib's source is not in third_party/src/zlib-VERSION/: run scripts/setup.sh")
endif()

add_library(torva_web_zlib STATIC
  ${TORVA_WEB_ZLIB_DIR}/adler32.c
  ${TORVA_WEB_ZLIB_DIR}/crc32.c
  ${TORVA_WEB_ZLIB_DIR}/deflate.c
  ${TORVA_WEB_ZLIB_DIR}/inffast.c
  ${TORVA_WEB_ZLIB_DIR}/inflate.c
  ${TORVA_WEB_ZLIB_DIR}/inftrees.c
  ${TORVA_WEB_ZLIB_DIR}/trees.c
  ${TORVA_WEB_ZLIB_DIR}/uncompr.c
  ${TORVA_WEB_ZLIB_DIR}/zutil.c)
target_include_directories(torva_web_zlib SYSTEM PUBLIC ${TORVA_WEB_ZLIB_DIR})
target_compile_options(torva_web_zlib PRIVATE -w)
