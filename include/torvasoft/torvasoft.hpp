// A header-only C++ view of the C interface (torvasoft/torvasoft.h): the same
// calls, with the buffers held in standard containers. Nothing here throws:
// an allocation the container refuses is reported as OutOfMemory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "torvasoft/torvasoft.h"

namespace torvasoft {

enum class Status : int {
    Complete = TORVASOFT_COMPLETE,
    Truncated = TORVASOFT_TRUNCATED,
    Corrupt = TORVASOFT_CORRUPT,
    OutsideFile = TORVASOFT_OUTSIDE_FILE,
    TooLarge = TORVASOFT_TOO_LARGE,
    OutOfMemory = TORVASOFT_OUT_OF_MEMORY,
    NotRecognised = TORVASOFT_NOT_RECOGNISED,
    InvalidArgument = TORVASOFT_INVALID_ARGUMENT,
    BufferTooSmall = TORVASOFT_BUFFER_TOO_SMALL,
    WriteFailed = TORVASOFT_WRITE_FAILED,
};

enum class Kind : int {
    None = TORVASOFT_KIND_NONE,
    Ald = TORVASOFT_KIND_ALD,
    Alk = TORVASOFT_KIND_ALK,
    Qnt = TORVASOFT_KIND_QNT,
    Pms = TORVASOFT_KIND_PMS,
    Vsp = TORVASOFT_KIND_VSP,
};

inline const char* StatusName(int status) { return torvasoft_status_name(status); }
inline const char* StatusName(Status status) { return torvasoft_status_name(static_cast<int>(status)); }
inline const char* StatusText(int status) { return torvasoft_status_text(status); }
inline const char* KindName(Kind kind) { return torvasoft_kind_name(static_cast<int>(kind)); }

inline Kind Detect(const void* bytes, size_t size, const char* name) {
    return static_cast<Kind>(torvasoft_detect(static_cast<const uint8_t*>(bytes), size, name));
}

// ---------------------------------------------------------------- pictures

inline Status Inspect(const void* bytes, size_t size, const char* name, torvasoft_info* info) {
    return static_cast<Status>(torvasoft_inspect(static_cast<const uint8_t*>(bytes), size, name, info));
}

// A decoded picture: its pixels as the request laid them out.
struct Picture {
    Status status = Status::NotRecognised;
    torvasoft_layout layout{};
    std::vector<uint8_t> pixels;            // layout.size bytes; empty when nothing could be decoded
    std::vector<torvasoft_colour> palette;  // layout.palette_entries colours
    uint64_t produced = 0;                  // pixels decoded before the decoder stopped

    // Pixels to show: the status is Complete, or the decoder stopped early
    // with the pixels it produced in place.
    bool hasPixels() const { return !pixels.empty(); }
    const uint8_t* row(uint32_t y) const { return pixels.data() + static_cast<size_t>(y) * layout.stride; }
};

// Decodes a whole picture file held in memory (request: a torvasoft_request).
inline Picture Decode(const void* bytes, size_t size, const char* name, int request = TORVASOFT_AS_RGBA8) {
    Picture picture;
    const auto* data = static_cast<const uint8_t*>(bytes);
    const int header = torvasoft_decoded_layout(data, size, name, request, &picture.layout);
    if (header != TORVASOFT_COMPLETE && header != TORVASOFT_TRUNCATED && header != TORVASOFT_OUTSIDE_FILE) {
        picture.status = static_cast<Status>(header);
        return picture;
    }
    try {
        picture.pixels.resize(picture.layout.size);
        picture.palette.resize(picture.layout.palette_entries);
    } catch (const std::bad_alloc&) {
        picture.pixels.clear();
        picture.palette.clear();
        picture.status = Status::OutOfMemory;
        return picture;
    }
    picture.status = static_cast<Status>(torvasoft_decode(data, size, name, request, picture.pixels.data(),
                                                          picture.pixels.size(), picture.palette.data(),
                                                          &picture.produced));
    if (picture.status != Status::Complete && picture.status != Status::Truncated &&
        picture.status != Status::Corrupt && picture.status != Status::OutsideFile) {
        picture.pixels.clear();
        picture.palette.clear();
    }
    return picture;
}

// ---------------------------------------------------------------- archives

struct Listing {
    Status status = Status::NotRecognised;
    Kind kind = Kind::None;
    std::vector<torvasoft_member> members;  // those read before any problem

    static std::string NameOf(const torvasoft_member& member) {
        return std::string(member.raw_name, member.raw_name_size);
    }
};

namespace detail {

template <typename ListFn>
Listing ListWith(ListFn list) {
    Listing listing;
    int kind = TORVASOFT_KIND_NONE;
    size_t count = 0;
    int status = list(&kind, nullptr, 0, &count);
    // A table read whole asks for room; a damaged one is read again for the
    // members before the damage.
    if (count > 0) {
        try {
            listing.members.resize(count);
        } catch (const std::bad_alloc&) {
            listing.status = Status::OutOfMemory;
            listing.kind = static_cast<Kind>(kind);
            return listing;
        }
        status = list(&kind, listing.members.data(), listing.members.size(), &count);
        if (count < listing.members.size()) listing.members.resize(count);
    }
    listing.status = static_cast<Status>(status);
    listing.kind = static_cast<Kind>(kind);
    return listing;
}

}  // namespace detail

inline Listing List(const char* name, torvasoft_read_fn read, void* context) {
    return detail::ListWith([&](int* kind, torvasoft_member* members, size_t capacity, size_t* count) {
        return static_cast<int>(torvasoft_list(name, read, context, kind, members, capacity, count));
    });
}

inline Listing List(const void* bytes, size_t size, const char* name) {
    return detail::ListWith([&](int* kind, torvasoft_member* members, size_t capacity, size_t* count) {
        return static_cast<int>(torvasoft_list_memory(static_cast<const uint8_t*>(bytes), size, name, kind,
                                                      members, capacity, count));
    });
}

// ---------------------------------------------------------------- writing

namespace detail {

inline int AppendTo(void* context, const void* bytes, size_t count) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    try {
        const auto* from = static_cast<const uint8_t*>(bytes);
        out->insert(out->end(), from, from + count);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return 1;
}

}  // namespace detail

// Encodes into `file` (emptied first; left empty on a refusal). The status is
// a torvasoft_status: TORVASOFT_COMPLETE or the reason.
inline int Encode(const torvasoft_picture& picture, const torvasoft_encode_options& options,
                  std::vector<uint8_t>& file, torvasoft_encode_report* report = nullptr) {
    file.clear();
    const int status = torvasoft_encode(&picture, &options, detail::AppendTo, &file, report);
    if (status == TORVASOFT_WRITE_FAILED) {
        file.clear();
        return TORVASOFT_OUT_OF_MEMORY;
    }
    if (status != TORVASOFT_COMPLETE) file.clear();
    return status;
}

}  // namespace torvasoft
