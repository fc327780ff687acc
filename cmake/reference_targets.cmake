# The plain reference decoders and the fast-against-plain comparisons the
# per-codec fuzz targets run: linked by the tests and the fuzzers, never by
# the product.
if(TORVA_BUILD_TESTS OR TORVA_BUILD_FUZZ)
  file(GLOB TORVA_REFERENCE_SOURCES CONFIGURE_DEPENDS tests/support/reference/*.cpp)
  add_library(torvasoft_reference STATIC ${TORVA_REFERENCE_SOURCES} fuzz/codec_comparisons.cpp)
  target_include_directories(torvasoft_reference PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(torvasoft_reference PUBLIC torvasoft_core)
endif()
