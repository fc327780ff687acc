#include "tools/torva/mount_archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <new>

#include "tools/torva/commands_internal.h"
#include "tools/torva/member_names.h"
#include "tools/torva/mount_picture_png.h"
#include "torvasoft/torvasoft.h"

namespace torva {
namespace {

// Seconds between 1601-01-01 and 1970-01-01, the epochs of the archive's
// times (100 ns units) and of the file system's.
const int64_t kEpochDifference = 11644473600;

size_t ReadArchive(void* context, uint64_t offset, void* buffer, size_t count) {
    const int descriptor = *static_cast<const int*>(context);
    size_t done = 0;
    while (done < count) {
        if (offset + done > uint64_t(INT64_MAX)) break;
        const ssize_t got = pread(descriptor, static_cast<char*>(buffer) + done, count - done, off_t(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += size_t(got);
    }
    return done;
}

std::string ArchiveFileName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Whether a member is shown with a PNG: by the magic at its start (QNT,
// PMS), else by its name (VSP has no magic), as the MIME types tell them.
// Telling a picture for certain takes its whole file; a member that turns
// out not to convert fails to open.
const size_t kPictureHead = 4;

bool LooksLikePicture(const std::string& head, const std::string& name) {
    if (head.size() == kPictureHead) {
        if (head.compare(0, 4, std::string("QNT\0", 4)) == 0) return true;
        if (head[0] == 'P' && head[1] == 'M' && (head[2] == 1 || head[2] == 2) && head[3] == 0) return true;
    }
    return IsPictureName(name);
}

}  // namespace

MountedArchive::~MountedArchive() {
    if (descriptor_ >= 0) close(descriptor_);
}

bool MountedArchive::readAt(uint64_t offset, char* buffer, size_t count) {
    return ReadArchive(&descriptor_, offset, buffer, count) == count;
}

bool MountedArchive::open(const std::string& path, bool pngs, std::string& error, std::vector<std::string>& notes) {
    descriptor_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status;
    if (descriptor_ < 0 || fstat(descriptor_, &status) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        error = "not a file";
        return false;
    }
    fileSize_ = uint64_t(status.st_size);
    archiveSeconds_ = int64_t(status.st_mtim.tv_sec);
    archiveNanoseconds_ = long(status.st_mtim.tv_nsec);

    const std::string name = ArchiveFileName(path);
    int kind = TORVASOFT_KIND_NONE;
    size_t count = 0;
    torvasoft_status listed = torvasoft_list(name.c_str(), ReadArchive, &descriptor_, &kind, nullptr, 0, &count);
    if (kind != TORVASOFT_KIND_ALD && kind != TORVASOFT_KIND_ALK) {
        error = kind == TORVASOFT_KIND_NONE ? "not an archive torva can read" : "not an archive (a picture)";
        return false;
    }
    std::unique_ptr<torvasoft_member[]> members(new (std::nothrow) torvasoft_member[count == 0 ? 1 : count]);
    if (!members) {
        error = "out of memory for the member table";
        return false;
    }
    const size_t capacity = count;
    listed = torvasoft_list(name.c_str(), ReadArchive, &descriptor_, &kind, members.get(), capacity, &count);
    if (count > capacity) count = capacity;
    if (listed != TORVASOFT_COMPLETE) {
        if (count == 0) {
            error = std::string("the member table is damaged: ") + torvasoft_status_text(listed);
            return false;
        }
        notes.push_back(std::string("the member table is damaged (") + torvasoft_status_text(listed) +
                        "): the " + std::to_string(count) + " members read before it are shown");
    }

    // The same names, in the same order, as extract writes them.
    NameRegistry names;
    for (size_t i = 0; i < count; ++i) {
        const torvasoft_member& member = members[i];
        MountEntry entry;
        entry.rawName.assign(member.raw_name, member.raw_name_size);
        const std::string decoded = DecodeMemberName(entry.rawName, NameMode::Cp932);
        std::string note;
        entry.name = ClaimOutputName(names, "", decoded, note, "shown as");
        if (!note.empty()) notes.push_back(decoded + ": " + note);
        entry.position = member.position;
        entry.size = member.position > fileSize_ ? 0 : std::min(member.size, fileSize_ - member.position);
        if (entry.size < member.size) notes.push_back(entry.name + ": cut short by the archive's end");
        if (member.has_time && member.file_time != 0) {
            entry.seconds = int64_t(member.file_time / 10000000) - kEpochDifference;
            entry.nanoseconds = long(member.file_time % 10000000) * 100;
        } else {
            entry.seconds = archiveSeconds_;
            entry.nanoseconds = archiveNanoseconds_;
        }
        entries_.push_back(entry);
    }

    if (pngs) {
        const size_t memberCount = entries_.size();
        std::string head;
        for (size_t i = 0; i < memberCount; ++i) {
            head.resize(size_t(std::min<uint64_t>(entries_[i].size, kPictureHead)));
            if (!head.empty() && !readAt(entries_[i].position, &head[0], head.size())) continue;
            if (!LooksLikePicture(head, entries_[i].name)) continue;
            MountEntry entry = entries_[i];
            entry.png = true;
            entry.member = i;
            entry.size = 0;
            std::string note;
            entry.name = ClaimOutputName(names, "", entries_[i].name + ".png", note, "shown as");
            if (!note.empty()) notes.push_back(entries_[i].name + ": its picture " + note);
            entries_.push_back(entry);
        }
    }
    for (size_t i = 0; i < entries_.size(); ++i) byName_[entries_[i].name] = i;
    return true;
}

long MountedArchive::find(const std::string& name) const {
    const auto found = byName_.find(name);
    return found == byName_.end() ? -1 : long(found->second);
}

long MountedArchive::readMember(size_t index, char* buffer, size_t count, uint64_t offset) {
    const MountEntry& entry = entries_[index];
    if (offset >= entry.size) return 0;
    const uint64_t left = entry.size - offset;
    const size_t wanted = size_t(std::min<uint64_t>(left, std::min<size_t>(count, size_t(LONG_MAX))));
    const size_t got = ReadArchive(&descriptor_, entry.position + offset, buffer, wanted);
    return got == wanted ? long(got) : -1;
}

SharedPng MountedArchive::png(size_t index, std::string& error) {
    SharedPng kept = pngs_.find(index);
    if (kept) return kept;
    MountEntry& entry = entries_[index];
    const MountEntry& member = entries_[entry.member];
    std::string bytes(size_t(member.size), '\0');
    if (!bytes.empty() && !readAt(member.position, &bytes[0], bytes.size())) {
        error = "cannot read the member";
        return nullptr;
    }
    auto png = std::make_shared<std::string>();
    if (!PictureToPng(bytes, member.rawName, *png, error)) return nullptr;
    entry.size = png->size();
    pngs_.keep(index, png);
    return png;
}

}  // namespace torva
