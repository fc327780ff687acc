// Byte layouts of the two archive formats.
//
// ALD: a file of 256-byte sectors without a magic number. It begins with the
// first table, 3-byte little-endian entries t[0], t[1], ...: t[0] is the number
// of sectors the table occupies (at most 255), t[1] a sector before the first
// member (never read here), t[2] onward the members' sectors, strictly
// increasing, the first 0 ending the list. Each member begins with a header:
// header length (u32), data size (i32), a UTC time stamp (u64, 100 ns units
// since 1601-01-01), then a NUL-terminated name of up to 48 bytes. A header
// length of "NL\x01\x00" marks the end.
//
// ALK: the magic "ALK0", a signed row count, then `count` rows of
// (u32 offset, i32 size); a size of 0 is an empty row. The members' data
// follows the table directly, so the first row's offset is 8 + 8 x count.
#pragma once

#include <cstdint>

namespace torva {
namespace archive {

constexpr uint32_t kAldSectorBytes = 256;
constexpr uint32_t kAldEntryBytes = 3;
constexpr uint32_t kAldMaxTableSectors = 255;
// Bytes of a member header the listing reads; longer headers are skipped by
// way of the header length.
constexpr uint32_t kAldHeaderReadBytes = 64;
constexpr uint32_t kAldSizeOffset = 4;
constexpr uint32_t kAldTimeOffset = 8;
constexpr uint32_t kAldNameOffset = 16;
constexpr uint32_t kAldNameBytes = 48;
// "NL" 0x01 0x00 read as a little-endian header length: the end of the archive.
constexpr uint32_t kAldEndMarker = 0x00014C4E;
// Detection needs t[0] and t[1].
constexpr uint32_t kAldMinHeadBytes = 6;

constexpr uint32_t kAlkMagic = 0x304B4C41;  // "ALK0"
constexpr uint32_t kAlkCountOffset = 4;
constexpr uint32_t kAlkTableOffset = 8;
constexpr uint32_t kAlkRowBytes = 8;
// Detection needs the magic, the count and the first row's offset.
constexpr uint32_t kAlkMinHeadBytes = 12;

// The plug-in's record of one member. Its block holds one per table row, so
// a table whose block one call may not allocate is refused by every host.
constexpr uint32_t kRecordBytes = 304;

// The archive's name without extension (the stem of ALK member names) is
// built in a buffer of this size.
constexpr uint32_t kBaseNameBytes = 260;

}  // namespace archive
}  // namespace torva
