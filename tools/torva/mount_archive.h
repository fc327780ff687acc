// What `torva mount` shows: an archive's members as the files of one folder,
// named as `torva extract` names them, with their times, and with --png a
// NAME.png for each picture member. The archive file stays open while
// mounted; members are read from it as they are asked for.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/torva/mount_png_cache.h"

namespace torva {

struct MountEntry {
    std::string name;        // the file name in the folder, UTF-8
    std::string rawName;     // the member's stored name, for detection
    uint64_t position = 0;   // where the member's bytes start in the archive
    uint64_t size = 0;       // the member's bytes that the archive holds; a PNG's
                             // once converted (0 before), kept when the PNG is dropped
    int64_t seconds = 0;     // its time, Unix seconds and nanoseconds
    long nanoseconds = 0;
    bool png = false;        // the PNG of the picture member `member`
    size_t member = 0;
};

// Most bytes of converted PNGs kept at once.
const uint64_t kMountPngCacheBytes = uint64_t(256) << 20;

class MountedArchive {
public:
    MountedArchive() : pngs_(kMountPngCacheBytes) {}
    ~MountedArchive();
    MountedArchive(const MountedArchive&) = delete;
    MountedArchive& operator=(const MountedArchive&) = delete;

    // Opens and lists the archive. False, with `error` saying why, when it
    // cannot be read or is no archive. `notes` receives what a user should
    // know: renamed members, a damaged table, members cut short.
    bool open(const std::string& path, bool pngs, std::string& error, std::vector<std::string>& notes);

    const std::vector<MountEntry>& entries() const { return entries_; }
    int64_t archiveSeconds() const { return archiveSeconds_; }
    long archiveNanoseconds() const { return archiveNanoseconds_; }

    // The entry with file name `name`, or -1.
    long find(const std::string& name) const;

    // Copies up to `count` bytes of member entry `index` from `offset`;
    // returns how many, or -1 when the archive cannot be read.
    long readMember(size_t index, char* buffer, size_t count, uint64_t offset);

    // The PNG of entry `index` (a --png entry): kept, or converted now. Null
    // with `error` saying why when the picture cannot be converted.
    SharedPng png(size_t index, std::string& error);

private:
    bool readAt(uint64_t offset, char* buffer, size_t count);

    int descriptor_ = -1;
    uint64_t fileSize_ = 0;
    int64_t archiveSeconds_ = 0;
    long archiveNanoseconds_ = 0;
    std::vector<MountEntry> entries_;
    std::map<std::string, size_t> byName_;
    PngCache pngs_;
};

}  // namespace torva
