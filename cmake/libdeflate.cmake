# libdeflate, the inflate engine behind the QNT decoders, as the target
# torva_libdeflate. Native builds link Debian's libdeflate-dev. The Windows
# build (and later the browser build) compiles a static library from Debian's
# source package, which scripts/setup.sh unpacks into third_party/src/.
if(WIN32 OR EMSCRIPTEN)
  file(GLOB TORVA_LIBDEFLATE_DIRS LIST_DIRECTORIES true ${PROJECT_SOURCE_DIR}/third_party/src/libdeflate-[0-9]*)
  list(FILTER TORVA_LIBDEFLATE_DIRS INCLUDE REGEX "/libdeflate-[0-9.]+$")
  if(NOT TORVA_LIBDEFLATE_DIRS)
    message(FATAL_ERROR "libdeflate's source is missing from third_party/src: run scripts/setup.sh")
  endif()
  list(SORT TORVA_LIBDEFLATE_DIRS)
  list(GET TORVA_LIBDEFLATE_DIRS -1 TORVA_LIBDEFLATE_DIR)
  set(lib ${TORVA_LIBDEFLATE_DIR}/lib)
  # Whole-buffer inflate and deflate with the zlib wrapper, Adler-32 and
  # CRC-32, and the processor feature checks that pick the vector routines.
  add_library(torva_libdeflate STATIC
    ${lib}/deflate_decompress.c ${lib}/zlib_decompress.c
    ${lib}/deflate_compress.c ${lib}/zlib_compress.c
    ${lib}/adler32.c ${lib}/crc32.c ${lib}/utils.c
    ${lib}/x86/cpu_features.c ${lib}/arm/cpu_features.c)
  target_include_directories(torva_libdeflate SYSTEM PUBLIC ${TORVA_LIBDEFLATE_DIR})
  # The flags of the package's own makefile; _ANSI_SOURCE keeps its Windows
  # build from asking for anything beyond the C runtime.
  target_compile_options(torva_libdeflate PRIVATE -O2 -fomit-frame-pointer -w)
  target_compile_definitions(torva_libdeflate PRIVATE _ANSI_SOURCE)
  set_target_properties(torva_libdeflate PROPERTIES C_STANDARD 99 C_EXTENSIONS OFF
    C_VISIBILITY_PRESET hidden POSITION_INDEPENDENT_CODE ON)
else()
  find_path(TORVA_LIBDEFLATE_INCLUDE libdeflate.h REQUIRED)
  find_library(TORVA_LIBDEFLATE_LIBRARY NAMES deflate REQUIRED)
  add_library(torva_libdeflate UNKNOWN IMPORTED)
  set_target_properties(torva_libdeflate PROPERTIES IMPORTED_LOCATION ${TORVA_LIBDEFLATE_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${TORVA_LIBDEFLATE_INCLUDE})
endif()
