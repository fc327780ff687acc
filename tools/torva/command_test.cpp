// test: every picture, and every member of every archive, read and decoded
// whole; each damaged one is reported, nothing is written.
#include <string>
#include <vector>

#include "tools/torva/commands_internal.h"
#include "tools/torva/damage.h"
#include "tools/torva/json.h"
#include "torvasoft/torvasoft.hpp"

namespace torva {
namespace {

// What the decode of a picture's bytes finds wrong with it; empty when it is
// whole or is no picture (`picture` then false). Running out of memory says
// nothing about the file: it is reported as a failure of its own.
std::string DecodeDamage(const std::string& bytes, const std::string& libraryName, bool& picture,
                         const std::string& what, Messages& messages) {
    const torvasoft::Picture decoded =
        torvasoft::Decode(bytes.data(), bytes.size(), libraryName.c_str(), TORVASOFT_AS_STORED_FULL);
    picture = decoded.status != torvasoft::Status::NotRecognised &&
              decoded.status != torvasoft::Status::InvalidArgument;
    if (!picture) return std::string();
    if (decoded.status == torvasoft::Status::OutOfMemory && decoded.layout.width != 0 && decoded.layout.height != 0) {
        messages.fail(what, "out of memory while decoding");
        return std::string();
    }
    const std::string damage = PictureDamage(decoded);
    if (!damage.empty()) return damage;
    if (!decoded.hasPixels()) return "the picture is empty";
    return std::string();
}

// Collects the failures of one file or member, to count and keep them for the JSON
// document, and passes them on.
class MemberMessages final : public Messages {
public:
    explicit MemberMessages(Messages& out) : out_(out) {}
    void print(const std::string& line, int failures) override {
        if (failures != 0) lines_.push_back(line);
        out_.print(line, failures);
    }
    const std::vector<std::string>& lines() const { return lines_; }

private:
    Messages& out_;
    std::vector<std::string> lines_;
};

// What a message says after "torva: WHAT: ".
std::string MessageText(const std::string& line, const std::string& what) {
    const std::string prefix = "torva: " + what + ": ";
    return line.compare(0, prefix.size(), prefix) == 0 ? line.substr(prefix.size()) : line;
}

std::string DamageJson(const std::string& text) {
    const std::string damaged = "damaged: ";
    return JsonString(text.compare(0, damaged.size(), damaged) == 0 ? text.substr(damaged.size()) : text);
}

}  // namespace

int RunTest(Session& session) {
    const Options& options = session.options();
    Reporter& reporter = session.reporter();
    std::string document;
    auto add = [&](const std::string& entry) { document += (document.empty() ? "\n    " : ",\n    ") + entry; };
    for (const Source& source : session.sources(options.operands)) {
        Examined file;
        InputFile input;
        if (!session.examine(source, file, input)) {
            if (options.json && !source.walked) add(JsonError(source.display, reporter.lastFailure()));
            continue;
        }
        const std::string fileJson = "{\"file\": " + JsonString(source.display);
        if (file.archiveKind == 0) {
            std::string bytes;
            std::string damage;
            bool picture = true;
            if (!input.read(0, static_cast<size_t>(file.size), bytes)) {
                damage = "cannot be read whole";
            } else {
                MemberMessages messages(reporter);
                damage = DecodeDamage(bytes, file.libraryName, picture, source.display, messages);
                if (damage.empty() && !messages.lines().empty()) continue;  // out of memory, reported
            }
            if (!damage.empty()) reporter.fail(source.display, "damaged: " + damage);
            if (options.json) {
                add(fileJson + ", \"ok\": " + (damage.empty() ? "true" : "false") +
                    (damage.empty() ? std::string() : ", \"damage\": " + JsonString(damage)) + "}");
            } else if (damage.empty()) {
                WriteStandardOutput(source.display + ": ok\n");
            }
            continue;
        }
        // A damaged table is reported by the listing itself.
        std::vector<Member> members;
        bool tableWhole = true;
        if (!session.listMembers(file, input, members, &tableWhole)) {
            if (options.json) add(JsonError(source.display, reporter.lastFailure()));
            continue;
        }
        std::string membersJson;
        size_t damaged = 0;
        for (const Member& member : members) {
            const std::string what = source.display + ": " + member.name;
            MemberMessages messages(reporter);
            std::string bytes;
            if (session.readMember(file, input, member, bytes, false, messages)) {
                bool picture = false;
                const std::string damage = DecodeDamage(bytes, member.raw, picture, what, messages);
                if (!damage.empty()) {
                    messages.fail(what, "damaged: " + damage);
                } else if (!picture && IsPictureName(member.name)) {
                    messages.fail(what, "damaged: not a picture that torva can read");
                }
            }
            if (messages.lines().empty()) continue;
            ++damaged;
            membersJson += std::string(membersJson.empty() ? "" : ", ") + "{\"name\": " + JsonString(member.name) +
                           ", \"damage\": " + DamageJson(MessageText(messages.lines().front(), what)) + "}";
        }
        const bool ok = tableWhole && damaged == 0;
        if (options.json) {
            add(fileJson + ", \"ok\": " + (ok ? "true" : "false") + ", \"members\": " +
                std::to_string(members.size()) + ", \"table_whole\": " + (tableWhole ? "true" : "false") +
                ", \"damaged\": [" + membersJson + "]}");
        } else if (ok) {
            WriteStandardOutput(source.display + ": ok, " + std::to_string(members.size()) +
                                (members.size() == 1 ? " member\n" : " members\n"));
        }
    }
    if (options.json) WriteStandardOutput("{\"files\": [" + document + (document.empty() ? "]}\n" : "\n  ]}\n"));
    return reporter.failed() ? ExitFailed : ExitOk;
}

}  // namespace torva
