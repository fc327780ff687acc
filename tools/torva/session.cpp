#include "tools/torva/session.h"

#include <algorithm>
#include <cstring>

#include "tools/torva/damage.h"
#include "tools/torva/file_system_platform.h"
#include "tools/torva/file_times.h"
#include "tools/torva/library_name.h"
#include "tools/torva/member_names.h"
#include "torvasoft/torvasoft.hpp"

namespace torva {
namespace {

// Archive detection looks at the first table, which is at most 255 sectors.
const size_t kArchiveHead = 65536;
// Nothing larger is taken for an image: the library reads pictures whole.
const uint64_t kLargestImage = 512u << 20;
// Directories nested deeper than this are not walked (a loop of links).
const int kDeepestWalk = 64;

// The library reads an archive through this, from the open file.
size_t ReadFromInput(void* context, uint64_t offset, void* buffer, size_t count) {
    InputFile& input = *static_cast<InputFile*>(context);
    if (offset >= input.size()) return 0;
    const uint64_t available = input.size() - offset;
    if (count > available) count = static_cast<size_t>(available);
    std::string bytes;
    if (!input.read(offset, count, bytes)) return 0;
    std::memcpy(buffer, bytes.data(), bytes.size());
    return bytes.size();
}

// The stored UTC time in local time, as a viewer shows it: today's offset
// of the zone applied to any instant; 0 when the result is out of range.
uint64_t LocalTimeOf(uint64_t utc, int64_t offset) {
    if (utc > uint64_t(INT64_MAX)) return 0;
    const int64_t stored = int64_t(utc);
    if (offset > 0 && stored > INT64_MAX - offset) return 0;
    const int64_t local = stored + offset;
    return local < 0 ? 0 : uint64_t(local);
}

}  // namespace

size_t MembersPastEnd(const std::vector<Member>& members, uint64_t archiveSize) {
    size_t past = 0;
    for (const Member& member : members) {
        past += member.position > archiveSize || member.size > archiveSize - member.position;
    }
    return past;
}

const char* ArchiveKindName(int kind) { return kind == TORVASOFT_KIND_ALD ? "ALD" : "ALK"; }

const char* ImageKindName(int kind) {
    switch (kind) {
    case TORVASOFT_KIND_QNT: return "QNT";
    case TORVASOFT_KIND_PMS: return "PMS";
    case TORVASOFT_KIND_VSP: return "VSP";
    default: return "unknown";
    }
}

Session::Session(const Options& options, Reporter& reporter) : options_(options), reporter_(reporter) {}

std::vector<Source> Session::sources(const std::vector<std::string>& operands) {
    std::vector<Source> found;
    for (const std::string& operand : operands) {
        if (operand == "-") {
            std::string bytes, error;
            if (!ReadStandardInput(bytes, error) || !spool_.openSpool(error) ||
                !spool_.write(bytes.data(), bytes.size()) || !spool_.closeSpool(error)) {
                spool_.abort();
                reporter_.fail("-", "cannot read standard input: " + (error.empty() ? "cannot spool it" : error));
                continue;
            }
            Source source;
            source.path = spool_.temporaryPath();
            // Messages name it as --name does, or "-".
            source.display = options_.inputName.empty() ? "-" : options_.inputName;
            source.name = options_.inputName.empty() ? "stdin" : options_.inputName;
            source.standardInput = true;
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

// The reason a file is not taken: for standard input without --name it
// may be only its missing name, which ALD and VSP detection need.
std::string Session::notOurs(const Source& source) const {
    std::string why = "not an archive or picture that torva can read";
    if (source.standardInput && options_.inputName.empty()) {
        why += " (an ALD archive or a VSP picture is known by its name: --name NAME.ald or --name NAME.vsp)";
    }
    return why;
}

bool Session::examine(const Source& source, Examined& file, InputFile& input) {
    file.source = source;
    file.libraryName = LibraryNameFor(source.name);
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
    const auto* head = reinterpret_cast<const uint8_t*>(bytes.data());
    const int kind = torvasoft_detect(head, bytes.size(), file.libraryName.c_str());
    if (kind == TORVASOFT_KIND_ALD || kind == TORVASOFT_KIND_ALK) {
        file.archiveKind = kind;
        return true;
    }
    if (file.size > kLargestImage) {
        if (!source.walked) reporter_.fail(source.display, notOurs(source));
        return false;
    }
    std::string whole;
    if (file.size > bytes.size() && !input.read(0, static_cast<size_t>(file.size), whole)) {
        reporter_.fail(source.display, "cannot read");
        return false;
    }
    const std::string& picture = file.size > bytes.size() ? whole : bytes;
    // The header alone: a picture whose streams are cut is still a picture.
    const torvasoft_status status = torvasoft_inspect(reinterpret_cast<const uint8_t*>(picture.data()),
                                                      picture.size(), file.libraryName.c_str(), &file.info);
    if (status == TORVASOFT_NOT_RECOGNISED || status == TORVASOFT_INVALID_ARGUMENT) {
        if (!source.walked) reporter_.fail(source.display, notOurs(source));
        return false;
    }
    file.imageKind = file.info.kind;
    file.head.clear();
    return true;
}

bool Session::listMembers(const Examined& file, InputFile& input, std::vector<Member>& members, bool* tableWhole) {
    const std::string& what = file.source.display;
    const torvasoft::Listing listing = torvasoft::List(file.libraryName.c_str(), ReadFromInput, &input);
    if (listing.status == torvasoft::Status::OutOfMemory) {
        reporter_.fail(what, "out of memory while listing the archive");
        return false;
    }
    const std::string damage = TableDamage(listing.status, listing.members.size());
    if (damage.empty() && listing.status != torvasoft::Status::Complete) {
        reporter_.fail(what, std::string("the archive could not be listed (") +
                                 torvasoft::StatusText(static_cast<int>(listing.status)) + ")");
        return false;
    }
    const int64_t offset = CurrentUtcOffset();
    for (const torvasoft_member& entry : listing.members) {
        Member member;
        member.raw = torvasoft::Listing::NameOf(entry);
        member.name = DecodeMemberName(member.raw, options_.names);
        member.position = entry.position;
        // A negative 32-bit size comes out sign-extended; as before, it is
        // a member of no bytes.
        member.size = entry.size > uint64_t(INT64_MAX) ? 0 : entry.size;
        member.utcTime = entry.has_time ? entry.file_time : 0;
        member.localTime = LocalTimeOf(member.utcTime, offset);
        member.hasTime = member.localTime != 0 && member.utcTime != 0;
        member.row = entry.row;
        members.push_back(member);
    }
    if (!damage.empty()) reporter_.fail(what, "damaged: " + damage);
    if (tableWhole != nullptr) *tableWhole = damage.empty();
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
