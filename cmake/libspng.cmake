# libspng as a static library, built from Debian's source package that
# scripts/setup.sh fetches into third_party/src/, against the zlib the build
# already links. Target: torva_libspng. Natively Debian's libspng-dev is used.
if(NOT TARGET torva_libspng)
  file(GLOB TORVA_LIBSPNG_DIR LIST_DIRECTORIES true ${PROJECT_SOURCE_DIR}/third_party/src/libspng-[0-9]*)
  if(NOT TORVA_LIBSPNG_DIR)
    message(FATAL_ERROR "libspng's source is missing: run scripts/setup.sh")
  endif()
  list(GET TORVA_LIBSPNG_DIR 0 TORVA_LIBSPNG_DIR)
  add_library(torva_libspng STATIC ${TORVA_LIBSPNG_DIR}/spng/spng.c)
  target_include_directories(torva_libspng SYSTEM PUBLIC ${TORVA_LIBSPNG_DIR}/spng)
  target_compile_definitions(torva_libspng PUBLIC SPNG_STATIC)
  target_compile_options(torva_libspng PRIVATE -w)
  target_link_libraries(torva_libspng PUBLIC ${TORVA_ZLIB})
  set_target_properties(torva_libspng PROPERTIES C_STANDARD 99 POSITION_INDEPENDENT_CODE ON)
endif()
