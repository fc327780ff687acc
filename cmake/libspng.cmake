# libspng as the target torva_libspng, for reading PNG input. Native builds
# link Debian's libspng-dev; the Windows build compiles a static library from
# Debian's source package (third_party/src/, unpacked by scripts/setup.sh)
# against the zlib the build already links.
if(NOT TARGET torva_libspng)
  if(WIN32 OR EMSCRIPTEN)
    file(GLOB TORVA_LIBSPNG_DIRS LIST_DIRECTORIES true ${PROJECT_SOURCE_DIR}/third_party/src/libspng-[0-9]*)
    list(FILTER TORVA_LIBSPNG_DIRS INCLUDE REGEX "/libspng-[0-9.]+$")
    if(NOT TORVA_LIBSPNG_DIRS)
      message(FATAL_ERROR "libspng's source is missing from third_party/src: run scripts/setup.sh")
    endif()
    list(SORT TORVA_LIBSPNG_DIRS)
    list(GET TORVA_LIBSPNG_DIRS -1 TORVA_LIBSPNG_DIR)
    add_library(torva_libspng STATIC ${TORVA_LIBSPNG_DIR}/spng/spng.c)
    target_include_directories(torva_libspng SYSTEM PUBLIC ${TORVA_LIBSPNG_DIR}/spng)
    target_compile_definitions(torva_libspng PUBLIC SPNG_STATIC)
    target_compile_options(torva_libspng PRIVATE -O2 -w)
    target_link_libraries(torva_libspng PUBLIC ${TORVA_ZLIB})
    set_target_properties(torva_libspng PROPERTIES C_STANDARD 99 C_VISIBILITY_PRESET hidden
      POSITION_INDEPENDENT_CODE ON)
  else()
    find_path(TORVA_LIBSPNG_INCLUDE spng.h REQUIRED)
    find_library(TORVA_LIBSPNG_LIBRARY NAMES spng REQUIRED)
    add_library(torva_libspng UNKNOWN IMPORTED)
    set_target_properties(torva_libspng PROPERTIES IMPORTED_LOCATION ${TORVA_LIBSPNG_LIBRARY}
      INTERFACE_INCLUDE_DIRECTORIES ${TORVA_LIBSPNG_INCLUDE})
  endif()
endif()
