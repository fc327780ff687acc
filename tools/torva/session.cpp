#include "tools/torva/session.h"

#include <algorithm>
#include <cstring>

#include "tools/torva/file_system_platform.h"
#include "tools/torva/file_times.h"
#include "tools/torva/host_record.h"
#include "tools/torva/member_names.h"

namespace torva {
namespace {

// Archive detection looks at the first table, which is at most 255 sectors.
const size_t kArchiveHead = 65536;
// Nothing larger is taken for an image: the plug-in needs images whole.
const uint64_t kLargestImage = 512u << 20;
// Directories nested deeper than this are not walked (a loop of links).
const int kDeepestWalk = 64;

}  // namespace

const char* ArchiveKindName(int32_t kind) { return kind == ArchiveAld ? "ALD" : "ALK"; }

const char* ImageKindName(int32_t kind) {
    switch (kind) {
    case ImageQnt: return "QNT";
    case ImagePms: return "PMS";
    case ImageVsp: return "VSP";
    default: return "unknown";
    }
}

Session::Session(PluginHost& host, const Options& options, Reporter& reporter)
    : host_(host), options_(options), reporter_(reporter), damage_(OpenDamageCheck()) {}

Session::~Session() {
    if (!spooled_.empty()) RemoveFileQuietly(spooled_);
}

std::vector<Source> Session::sources(const std::vector<std::string>& operands) {
    std::vector<Source> found;
    for (const std::string& operand : operands) {
        if (operand == "-") {
            std::string bytes, error;
            if (!ReadStandardInput(bytes, error) || !WriteTemporaryFile(bytes, spooled_, error)) {
                reporter_.fail("-", "cannot read standard input: " + error);
                continue;
            }
            Source source;
            source.path = spooled_;
            source.display = "-";
            source.name = options_.inputName.empty() ? "stdin" : options_.inputName;
            found.push_back(source);
        } else if (options_.recursive && IsDirectory(operand)) {
            walk(operand, operand, "", found, 0);
        } else {
            Source source;
            source.path = operand;
            source.display = operand;
            source.name = BaseName(operand);
            found.push_back(source);
        }
    }
    return found;
}

void Session::walk(const std::string& path, const std::string& display, const std::string& relative,
                   std::vector<Source>& found, int depth) {
    std::vector<DirectoryEntry> entries;
    std::string error;
    if (depth > kDeepestWalk) {
        reporter_.fail(display, "nested too deeply; not walked");
        return;
    }
    if (!ListDirectory(path, entries, error)) {
        reporter_.fail(display, "cannot read the directory: " + error);
        return;
    }
    for (const DirectoryEntry& entry : entries) {
        const std::string childPath = JoinPath(path, entry.name);
        const std::string childDisplay = display + (platform::IsSeparator(display.back()) ? "" : "/") + entry.name;
        const std::string childRelative = relative.empty() ? entry.name : relative + "/" + entry.name;
        if (entry.directory) {
            walk(childPath, childDisplay, childRelative, found, depth + 1);
            continue;
        }
        Source source;
        source.path = childPath;
        source.display = childDisplay;
        source.name = entry.name;
        source.relativeDir = relative;
        source.walked = true;
        found.push_back(source);
    }
}

bool Session::examine(const Source& source, Examined& file, InputFile& input) {
    file.source = source;
    file.recordName = RecordNameFor(source.name);
    std::string error;
    if (!input.open(source.path, error)) {
        reporter_.fail(source.display,
                       error == "is a directory" && !options_.recursive ? "is a directory (-r walks directories)"
                                                                        : "cannot open: " + error);
        return false;
    }
    file.size = input.size();
    std::string& bytes = file.head;
    if (!input.read(0, static_cast<size_t>(std::min<uint64_t>(file.size, kArchiveHead)), bytes)) {
        reporter_.fail(source.display, "cannot read");
        return false;
    }
    {
        HostRecord record(nullptr, bytes, file.recordName);
        int32_t kind = 0;
        if (host_.isSupported(record.get(), ServiceArchive, &kind) == 0 && kind != 0) {
            file.archiveKind = kind;
            return true;
        }
    }
    if (file.size > kLargestImage) {
        if (!source.walked) reporter_.fail(source.display, "not an archive or picture that torva can read");
        return false;
    }
    std::string whole;
    if (file.size > bytes.size() && !input.read(0, static_cast<size_t>(file.size), whole)) {
        reporter_.fail(source.display, "cannot read");
        return false;
    }
    const std::string& picture = file.size > bytes.size() ? whole : bytes;
    HostRecord record(nullptr, picture, file.recordName);
    int32_t kind = 0;
    if (host_.isSupported(record.get(), ServiceImage, &kind) != 0 || kind == 0 ||
        host_.getImageInfo(record.get(), &file.info) != 0) {
        // A picture cut inside its header is refused by the plug-in, and is
        // damaged rather than foreign.
        const std::string found = damage_ ? damage_->picture(picture, file.recordName, true) : std::string();
        if (!found.empty()) {
            reporter_.fail(source.display, "damaged: " + found);
        } else if (!source.walked) {
            reporter_.fail(source.display, "not an archive or picture that torva can read");
        }
        return false;
    }
    file.imageKind = kind;
    file.head.clear();
    return true;
}

bool Session::listMembers(const Examined& file, InputFile& input, std::vector<Member>& members) {
    const std::string& what = file.source.display;
    FileHandle handle(file.source.path);
    if (!handle.valid()) {
        reporter_.fail(what, "cannot open");
        return false;
    }
    HostRecord record(handle.get(), file.head, file.recordName);
    OwnedBlock block;
    int32_t count = 0;
    const int32_t result = host_.getArchiveInfo(record.get(), block.out(), &count);
    if (result != 0) {
        reporter_.fail(what, result == 1 ? "out of memory while listing the archive"
                                         : "the archive could not be listed (result " + std::to_string(result) + ")");
        return false;
    }
    if (count > 0) {
        const int64_t offset = CurrentUtcOffset();
        const size_t wanted = size_t(count) * sizeof(ArchiveEntry);
        const std::string bytes = block.copyBytes(wanted);
        if (bytes.size() < wanted) {
            reporter_.fail(what, "the plug-in returned a short member table");
            return false;
        }
        for (int32_t i = 0; i < count; ++i) {
            ArchiveEntry entry;
            std::memcpy(&entry, bytes.data() + size_t(i) * sizeof entry, sizeof entry);
            Member member;
            member.raw.assign(entry.name, strnlen(entry.name, sizeof entry.name));
            member.name = DecodeMemberName(member.raw, options_.names);
            member.position = entry.position;
            member.size = entry.size < 0 ? 0 : uint64_t(entry.size);
            member.localTime = uint64_t(entry.timestamp.dwHighDateTime) << 32 | entry.timestamp.dwLowDateTime;
            // The plug-in turned the stored UTC time into local time with
            // today's offset; the same offset turns it back.
            member.utcTime = member.localTime - uint64_t(offset);
            member.hasTime = member.localTime != 0 && member.utcTime != 0;
            members.push_back(member);
        }
    }
    if (damage_) {
        const std::string found = damage_->archive(input, file.recordName);
        if (!found.empty()) reporter_.fail(what, "damaged: " + found);
    }
    return true;
}

bool Session::readMember(const Examined& archive, InputFile& input, const Member& member, std::string& bytes,
                         bool keepDamaged, Messages& messages) {
    const std::string what = archive.source.display + ": " + member.name;
    if (member.position > archive.size || member.size > archive.size - member.position) {
        const uint64_t there = member.position > archive.size ? 0 : archive.size - member.position;
        messages.fail(what, "damaged: the member lies beyond the end of the archive (" + std::to_string(there) +
                                 " of " + std::to_string(member.size) + " bytes there)");
        if (!keepDamaged) return false;
        return input.read(member.position > archive.size ? archive.size : member.position, size_t(there), bytes);
    }
    if (member.size > kLargestImage * 4 || !input.read(member.position, static_cast<size_t>(member.size), bytes)) {
        messages.fail(what, "cannot read the member");
        return false;
    }
    return true;
}

}  // namespace torva
