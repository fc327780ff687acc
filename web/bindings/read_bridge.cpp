// What torva.js cannot do itself: hand torvasoft_list a read callback. The
// callback reads through Module.torvaReadAt, so that an archive's bytes need
// not be copied into the module's memory whole. Everything else torva.js
// calls is the C interface (torvasoft.h) and the PNG writer (png_writer.h)
// directly, reading and writing their structures in the module's memory at
// the offsets checked below.
#include <emscripten/emscripten.h>

#include <cstddef>
#include <cstdint>

#include "png/png_writer.h"
#include "torvasoft/torvasoft.h"

EM_JS(uint32_t, torva_read_from_script, (double offset, void* buffer, uint32_t count), {
    return Module.torvaReadAt(offset, buffer, count);
});

namespace {

size_t ReadThroughScript(void* /*context*/, uint64_t offset, void* buffer, size_t count) {
    const uint32_t asked = count > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(count);
    return torva_read_from_script(static_cast<double>(offset), buffer, asked);
}

// The layouts torva.js reads and writes (library_tail.js).
static_assert(sizeof(torvasoft_info) == 60 && offsetof(torvasoft_info, width) == 4 &&
                  offsetof(torvasoft_info, height) == 8 && offsetof(torvasoft_info, depth) == 12 &&
                  offsetof(torvasoft_info, has_alpha) == 16,
              "torvasoft_info as torva.js reads it");
static_assert(sizeof(torvasoft_layout) == 24 && offsetof(torvasoft_layout, format) == 0 &&
                  offsetof(torvasoft_layout, width) == 4 && offsetof(torvasoft_layout, height) == 8 &&
                  offsetof(torvasoft_layout, stride) == 12 && offsetof(torvasoft_layout, size) == 16 &&
                  offsetof(torvasoft_layout, palette_entries) == 20,
              "torvasoft_layout as torva.js reads it");
static_assert(sizeof(torvasoft_member) == 304 && offsetof(torvasoft_member, raw_name_size) == 256 &&
                  offsetof(torvasoft_member, position) == 264 && offsetof(torvasoft_member, size) == 272 &&
                  offsetof(torvasoft_member, row) == 296,
              "torvasoft_member as torva.js reads it");
static_assert(sizeof(torva_png_image) == 28 && offsetof(torva_png_image, format) == 8 &&
                  offsetof(torva_png_image, pixels) == 12 && offsetof(torva_png_image, stride) == 16 &&
                  offsetof(torva_png_image, palette) == 20 && offsetof(torva_png_image, palette_entries) == 24,
              "torva_png_image as torva.js writes it");
static_assert(sizeof(torvasoft_colour) == 4 && sizeof(torva_png_colour) == 4,
              "a decoded palette is the PNG writer's palette");

}  // namespace

extern "C" EMSCRIPTEN_KEEPALIVE torvasoft_read_fn torva_script_reader(void) { return ReadThroughScript; }
