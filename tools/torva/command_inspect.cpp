// info and list: what files are and what archives hold, as lines of text or
// as one JSON document.
#include <cinttypes>
#include <cstdio>

#include "tools/torva/commands_internal.h"
#include "tools/torva/damage.h"
#include "tools/torva/file_times.h"
#include "tools/torva/json.h"
#include "torvasoft/torvasoft.hpp"

namespace torva {
namespace {

std::string Number(uint64_t value) { return std::to_string(value); }

// `stored`: the archive stores its members' names (ALD); an ALK's are made
// up, and have no raw bytes to show.
std::string MemberJson(const Member& member, int64_t offset, bool stored) {
    return "{\"name\": " + JsonString(member.name) +
           ", \"raw_name\": " + (stored ? "\"" + HexBytes(member.raw) + "\"" : std::string("null")) +
           ", \"position\": " + Number(member.position) + ", \"size\": " + Number(member.size) + ", \"time\": " +
           (member.hasTime ? "\"" + FormatLocalTime(member.localTime, offset) + "\"" : std::string("null")) + "}";
}

std::string ArchiveJson(const Examined& file, const std::vector<Member>& members, int64_t offset,
                        const std::string& damage) {
    std::string json = "{\"file\": " + JsonString(file.source.display) + ", \"kind\": \"" +
                       (file.archiveKind == TORVASOFT_KIND_ALD ? "ald" : "alk") + "\", \"size\": " + Number(file.size) +
                       (damage.empty() ? std::string() : ", \"damage\": " + JsonString(damage)) + ", \"members\": [";
    for (size_t i = 0; i < members.size(); ++i) {
        json += (i == 0 ? "\n      " : ",\n      ") + MemberJson(members[i], offset, file.archiveKind == TORVASOFT_KIND_ALD);
    }
    return json + (members.empty() ? "]}" : "\n    ]}");
}

std::string Signed(int32_t value) { return std::to_string(value); }

std::string PmsFlagsHex(const torvasoft_info& info) {
    return HexBytes(std::string(reinterpret_cast<const char*>(info.pms_flags), sizeof info.pms_flags));
}

// The header fields that only re-encoding needs, in the JSON entry.
std::string HeaderFieldsJson(const torvasoft_info& info) {
    std::string json = ", \"alpha\": " + std::string(info.has_alpha ? "true" : "false");
    if (info.has_position) json += ", \"x\": " + Signed(info.x) + ", \"y\": " + Signed(info.y);
    json += ", \"version\": " + Number(info.version) + ", \"header_size\": " + Number(info.header_size);
    switch (info.kind) {
        case TORVASOFT_KIND_QNT: return json + ", \"reserved\": " + Number(info.reserved);
        case TORVASOFT_KIND_PMS:
            return json + ", \"shadow_depth\": " + Number(info.shadow_depth) + ", \"flags\": \"" +
                   PmsFlagsHex(info) + "\", \"comment_offset\": " + Number(info.comment_offset);
        case TORVASOFT_KIND_VSP: return json + ", \"reserved\": " + Number(info.reserved);
        default: return json;
    }
}

// The same in the text line, after the size.
std::string HeaderFieldsText(const torvasoft_info& info) {
    std::string text = info.has_alpha ? "; alpha" : "; no alpha";
    if (info.has_position) text += ", at " + Signed(info.x) + "," + Signed(info.y);
    if (info.kind != TORVASOFT_KIND_VSP) text += ", version " + Number(info.version);
    text += ", header " + Number(info.header_size) + " bytes";
    switch (info.kind) {
        case TORVASOFT_KIND_QNT: return text + ", reserved " + Number(info.reserved);
        case TORVASOFT_KIND_PMS:
            return text + ", shadow depth " + Number(info.shadow_depth) + ", flags " + PmsFlagsHex(info) +
                   ", comment at " + Number(info.comment_offset);
        case TORVASOFT_KIND_VSP: return text + ", reserved " + Number(info.reserved);
        default: return text;
    }
}

std::string PictureJson(const Examined& file, const std::string& damage) {
    std::string kind = ImageKindName(file.imageKind);
    for (char& c : kind) c = char(c - 'A' + 'a');
    return "{\"file\": " + JsonString(file.source.display) + ", \"kind\": \"" + kind + "\", \"size\": " +
           Number(file.size) + ", \"width\": " + Number(file.info.width) + ", \"height\": " +
           Number(file.info.height) + ", \"depth\": " + Number(file.info.depth) + HeaderFieldsJson(file.info) +
           (damage.empty() ? std::string() : ", \"damage\": " + JsonString(damage)) + "}";
}

// Collects the entries of the JSON document and writes it whole at the end.
class JsonDocument {
public:
    void add(const std::string& entry) { entries_ += (entries_.empty() ? "\n    " : ",\n    ") + entry; }
    // A file that failed, with the reason that went to standard error.
    void addError(const std::string& file, const Reporter& reporter) { add(JsonError(file, reporter.lastFailure())); }
    std::string text() const { return "{\"files\": [" + entries_ + (entries_.empty() ? "]}\n" : "\n  ]}\n"); }

private:
    std::string entries_;
};

// Lists an archive as list and info show it. A table read whole may still
// name members past the end of the file (an ALK has no member headers that
// would be read): the archive was cut after its table, which is reported
// too. False when it cannot be listed (reported).
bool ListArchive(Session& session, const Examined& file, InputFile& input, std::vector<Member>& members,
                 std::string& damage) {
    bool tableWhole = true;
    if (!session.listMembers(file, input, members, &tableWhole)) return false;
    const size_t past = MembersPastEnd(members, file.size);
    if (!tableWhole || past == 0) return true;
    damage = "the archive ends early (" + std::to_string(past) + " of " + std::to_string(members.size()) +
             " members lie past its end)";
    session.reporter().fail(file.source.display, "damaged: " + damage);
    return true;
}

// Decodes a picture whole, for what its streams turn out to be.
std::string DamageOf(const Examined& file, InputFile& input) {
    std::string bytes;
    if (!input.read(0, static_cast<size_t>(file.size), bytes)) return "cannot be read whole";
    return PictureDamage(
        torvasoft::Decode(bytes.data(), bytes.size(), file.libraryName.c_str(), TORVASOFT_AS_STORED_FULL));
}

}  // namespace

int RunInfo(Session& session) {
    const Options& options = session.options();
    JsonDocument document;
    const int64_t offset = CurrentUtcOffset();
    for (const Source& source : session.sources(options.operands)) {
        Examined file;
        InputFile input;
        if (!session.examine(source, file, input)) {
            if (options.json && !source.walked) document.addError(source.display, session.reporter());
            continue;
        }
        if (file.archiveKind != 0) {
            std::vector<Member> members;
            std::string damage;
            if (!ListArchive(session, file, input, members, damage)) {
                if (options.json) document.addError(source.display, session.reporter());
                continue;
            }
            if (options.json) {
                document.add(ArchiveJson(file, members, offset, damage));
                continue;
            }
            char line[160];
            std::snprintf(line, sizeof line, ": %s archive, %" PRIu64 " member%s, %" PRIu64 " bytes\n",
                          ArchiveKindName(file.archiveKind), uint64_t(members.size()), members.size() == 1 ? "" : "s",
                          file.size);
            WriteStandardOutput(source.display + line);
            continue;
        }
        const std::string damage = DamageOf(file, input);
        if (!damage.empty()) session.reporter().fail(source.display, "damaged: " + damage);
        if (options.json) {
            document.add(PictureJson(file, damage));
            continue;
        }
        char line[160];
        std::snprintf(line, sizeof line, ": %s picture, %u x %u, %u-bit, %" PRIu64 " bytes",
                      ImageKindName(file.imageKind), unsigned(file.info.width), unsigned(file.info.height),
                      unsigned(file.info.depth), file.size);
        WriteStandardOutput(source.display + line + HeaderFieldsText(file.info) + "\n");
    }
    if (options.json) WriteStandardOutput(document.text());
    return session.reporter().failed() ? ExitFailed : ExitOk;
}

int RunList(Session& session) {
    const Options& options = session.options();
    JsonDocument document;
    const int64_t offset = CurrentUtcOffset();
    const std::vector<Source> sources = session.sources(options.operands);
    const bool several = sources.size() > 1 || options.recursive;
    for (const Source& source : sources) {
        Examined file;
        InputFile input;
        std::vector<Member> members;
        if (!session.examine(source, file, input)) {
            if (options.json && !source.walked) document.addError(source.display, session.reporter());
            continue;
        }
        if (file.archiveKind == 0) {
            // A picture met while walking a tree is simply no archive.
            if (source.walked) continue;
            session.reporter().fail(source.display,
                                    "not an archive (it is a " + std::string(ImageKindName(file.imageKind)) +
                                        " picture)");
            if (options.json) document.addError(source.display, session.reporter());
            continue;
        }
        std::string damage;
        if (!ListArchive(session, file, input, members, damage)) {
            if (options.json) document.addError(source.display, session.reporter());
            continue;
        }
        if (options.json) {
            document.add(ArchiveJson(file, members, offset, damage));
            continue;
        }
        std::string text;
        for (const Member& member : members) {
            char fields[80];
            std::snprintf(fields, sizeof fields, "%10" PRIu64 " %10" PRIu64 " %-19s ", member.position, member.size,
                          member.hasTime ? FormatLocalTime(member.localTime).c_str() : "-");
            text += (several ? source.display + ": " : std::string()) + fields + member.name + "\n";
        }
        WriteStandardOutput(text);
    }
    if (options.json) WriteStandardOutput(document.text());
    return session.reporter().failed() ? ExitFailed : ExitOk;
}

}  // namespace torva
