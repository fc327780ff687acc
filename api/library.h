// The library's decoding and listing in C++, behind the C interface
// (torvasoft/torvasoft.h), which is the only way in for hosts.
//
// Nothing here throws. Every call answers with a `Status` that names what it
// found; pixels or members that were produced before a problem are still
// returned beside the status, so a host can show a partial picture, but a
// status other than `Complete` is never a success.
//
// Pixel rows handed out here are top-down (row 0 is the picture's top row),
// unlike the bottom-up bitmap the plug-in entry points return.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace torva {
namespace api {

// What a call found.
enum class Status : int {
    Complete = 0,     // the whole picture or table was read
    Truncated,        // the data ended early; what was there is returned
    Corrupt,          // an impossible code, a failed inflate, an inconsistent table
    OutsideFile,      // the header points past the bytes supplied
    TooLarge,         // the declared size exceeds the library's allocation cap
    OutOfMemory,      // an allocation failed
    NotRecognised,    // not one of the library's formats
};

// "complete", "truncated", "corrupt", "outside-file", "too-large",
// "out-of-memory", "not-recognised".
const char* StatusName(Status status);

enum class Kind : int { None = 0, Ald, Alk, Qnt, Pms, Vsp };

// "ald", "alk", "qnt", "pms", "vsp"; "none" for Kind::None.
const char* KindName(Kind kind);

// Detection from the file's bytes and name, exactly as the plug-in detects
// (the name decides ALD and VSP; `name` may be a path, only its last
// component counts). `bytes` may be only the head of an archive.
Kind DetectKind(const uint8_t* bytes, size_t size, const char* name);

// ---------------------------------------------------------------- pictures

// How the decoded pixels are laid out in `Picture::pixels()`.
enum class PixelFormat : int {
    Indexed4,   // two pixels a byte, high nibble first; `palette()` has 16 entries
    Indexed8,   // one byte a pixel; `palette()` has 256 entries
    Rgb555,     // 16-bit little-endian 0RRRRRGGGGGBBBBB (16-bit PMS, default mode)
    Bgr24,      // three bytes a pixel: blue, green, red
    Bgra32,     // four bytes a pixel: blue, green, red, alpha
};

struct PictureInfo {
    Kind kind = Kind::None;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t depth = 0;      // the bit depth the plug-in reports (4 for VSP; 8 or 16 for PMS; 24 or 32 for QNT)
    bool hasAlpha = false;   // the file carries an alpha plane
    int32_t x = 0;           // the picture's position on screen as stored (VSP; 0 where the library reads none)
    int32_t y = 0;
};

// Reads the header only: NotRecognised, or what the header alone tells
// (Complete, OutsideFile, Truncated when its streams run past the bytes,
// TooLarge). `info` is filled unless the status is NotRecognised.
Status InspectPicture(const uint8_t* bytes, size_t size, const char* name, PictureInfo* info);

struct DecodeOptions {
    // 16-bit PMS only: false gives Rgb555 (the plug-in's non-negative mode),
    // true gives Bgr24, or Bgra32 when the picture has alpha (negative mode).
    bool fullColour16 = false;
};

struct PaletteEntry {
    uint8_t red, green, blue;
};

// A decoded picture. Owns its pixels; movable, not copyable.
class Picture {
public:
    Picture() = default;
    Picture(Picture&&) noexcept;
    Picture& operator=(Picture&&) noexcept;
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    ~Picture();

    Status status() const { return status_; }
    const PictureInfo& info() const { return info_; }
    uint32_t width() const { return info_.width; }
    uint32_t height() const { return info_.height; }
    PixelFormat format() const { return format_; }
    // Bytes from one row's start to the next (rows are packed: no padding
    // beyond the last byte a row needs).
    size_t stride() const { return stride_; }
    // Rows top-down; null when nothing could be decoded.
    const uint8_t* pixels() const { return pixels_.empty() ? nullptr : pixels_.data(); }
    const uint8_t* row(uint32_t y) const { return pixels() + static_cast<size_t>(y) * stride_; }
    const std::vector<PaletteEntry>& palette() const { return palette_; }
    // Pixels the decoder produced in stream order before it stopped; equal
    // to width x height when the status is Complete.
    uint64_t pixelsProduced() const { return produced_; }

    // Top-down RGBA, 4 x width x height bytes, alpha 255 where the picture
    // has none. Returns false (and leaves `out` empty) when there are no pixels
    // or memory runs out.
    bool toRgba(std::vector<uint8_t>& out) const;

private:
    friend Picture DecodePicture(const uint8_t*, size_t, const char*, const DecodeOptions&);
    Status status_ = Status::NotRecognised;
    PictureInfo info_{};
    PixelFormat format_ = PixelFormat::Bgr24;
    size_t stride_ = 0;
    uint64_t produced_ = 0;
    std::vector<uint8_t> pixels_;
    std::vector<PaletteEntry> palette_;
};

// Decodes a whole picture file held in memory. The pixels are the same as
// those of the plug-in's bitmap for the same file (and, for 16-bit PMS, the
// same mode), turned top-down.
Picture DecodePicture(const uint8_t* bytes, size_t size, const char* name,
                                    const DecodeOptions& options = DecodeOptions());

// ---------------------------------------------------------------- archives

struct Member {
    std::string rawName;     // the name's stored bytes (code page 932 in practice), no terminator
    uint64_t position = 0;   // where the member's bytes start in the archive
    uint64_t size = 0;       // how many bytes it has
    bool hasTime = false;    // ALD members carry a time stamp, ALK members none
    uint64_t fileTime = 0;   // the stored time: 100 ns units since 1601-01-01, UTC
};

struct ArchiveListing {
    Status status = Status::NotRecognised;
    Kind kind = Kind::None;
    std::vector<Member> members;   // those read before any problem
};

// Reads `count` bytes at `offset` of the archive into `buffer`; returns how
// many bytes it delivered (fewer at the end of the file or on an error).
using ReadAt = size_t (*)(void* context, uint64_t offset, void* buffer, size_t count);

// Lists an archive read through `read`. `name` decides ALD detection as in
// the plug-in.
ArchiveListing ListArchive(const char* name, ReadAt read, void* context);

// Lists an archive held whole in memory.
ArchiveListing ListArchive(const uint8_t* bytes, size_t size, const char* name);

}  // namespace api
}  // namespace torva
