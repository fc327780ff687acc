// The C functions that torva.js calls. They speak only the library's C
// interface. Results that do not fit in a return value are handed over as records
// in the module's memory, which the caller reads and then releases with
// torva_release_* (the records own their buffers).
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "torvasoft/torvasoft.hpp"

namespace {

// Read by torva.js as eight 32-bit words.
struct PictureRecord {
    int32_t status;
    uint32_t width;
    uint32_t height;
    uint32_t depth;
    uint32_t hasAlpha;
    int32_t kind;
    const uint8_t* rgba;   // null when nothing could be decoded
    uint32_t rgbaSize;
    std::vector<uint8_t> rgbaStore;
};

// Read by torva.js: status, kind and member count as 32-bit words; each
// member then through torva_listing_member.
struct ListingRecord {
    int32_t status;
    int32_t kind;
    uint32_t memberCount;
    torvasoft::Listing listing;
};

}  // namespace

// Reads the archive that torva.js holds, through Module.torvaReadAt, so that
// an archive's bytes need not be copied into the module's memory whole.
EM_JS(uint32_t, torva_read_archive_from_script, (double offset, void* buffer, uint32_t count), {
    return Module.torvaReadAt(offset, buffer, count);
});

static size_t ReadThroughScript(void* /*context*/, uint64_t offset, void* buffer, size_t count) {
    const uint32_t asked = count > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(count);
    return torva_read_archive_from_script(static_cast<double>(offset), buffer, asked);
}

extern "C" {

EMSCRIPTEN_KEEPALIVE int32_t torva_detect_kind(const uint8_t* bytes, uint32_t size, const char* name) {
    return torvasoft_detect(bytes, size, name);
}

// Header only: `out` receives status, width, height, depth, hasAlpha, kind.
EMSCRIPTEN_KEEPALIVE void torva_inspect_picture(const uint8_t* bytes, uint32_t size, const char* name,
                                                int32_t* out) {
    torvasoft_info info{};
    const torvasoft_status status = torvasoft_inspect(bytes, size, name, &info);
    out[0] = static_cast<int32_t>(status);
    out[1] = static_cast<int32_t>(info.width);
    out[2] = static_cast<int32_t>(info.height);
    out[3] = static_cast<int32_t>(info.depth);
    out[4] = info.has_alpha;
    out[5] = info.kind;
}

// Null only when memory runs out before the record exists.
EMSCRIPTEN_KEEPALIVE PictureRecord* torva_decode(const uint8_t* bytes, uint32_t size, const char* name,
                                                 int32_t fullColour16) {
    auto* record = new (std::nothrow) PictureRecord();
    if (record == nullptr) return nullptr;
    torvasoft_info info{};
    torvasoft_inspect(bytes, size, name, &info);
    torvasoft::Picture picture =
        torvasoft::Decode(bytes, size, name, fullColour16 != 0 ? TORVASOFT_AS_RGBA8 : TORVASOFT_AS_RGBA8_FROM_STORED);
    record->status = static_cast<int32_t>(picture.status);
    record->width = info.width;
    record->height = info.height;
    record->depth = info.depth;
    record->hasAlpha = info.has_alpha;
    record->kind = info.kind;
    if (picture.hasPixels()) {
        record->rgbaStore = std::move(picture.pixels);
        record->rgba = record->rgbaStore.data();
        record->rgbaSize = static_cast<uint32_t>(record->rgbaStore.size());
    }
    return record;
}

EMSCRIPTEN_KEEPALIVE void torva_release_picture(PictureRecord* record) { delete record; }

// Lists the archive that torva.js lends through Module.torvaReadAt. Null
// only when memory runs out before the record exists.
EMSCRIPTEN_KEEPALIVE ListingRecord* torva_list_archive_read(const char* name) {
    auto* record = new (std::nothrow) ListingRecord();
    if (record == nullptr) return nullptr;
    record->listing = torvasoft::List(name, ReadThroughScript, nullptr);
    record->status = static_cast<int32_t>(record->listing.status);
    record->kind = static_cast<int32_t>(record->listing.kind);
    record->memberCount = static_cast<uint32_t>(record->listing.members.size());
    return record;
}

// `out` receives the member's rawName address and length, position and size,
// as doubles (all below 2^53). False when `index` is past the last member.
EMSCRIPTEN_KEEPALIVE int32_t torva_listing_member(const ListingRecord* record, uint32_t index, double* out) {
    if (index >= record->listing.members.size()) return 0;
    const torvasoft_member& member = record->listing.members[index];
    out[0] = static_cast<double>(reinterpret_cast<uintptr_t>(member.raw_name));
    out[1] = static_cast<double>(member.raw_name_size);
    out[2] = static_cast<double>(member.position);
    out[3] = static_cast<double>(member.size);
    return 1;
}

EMSCRIPTEN_KEEPALIVE void torva_release_listing(ListingRecord* record) { delete record; }

}  // extern "C"
