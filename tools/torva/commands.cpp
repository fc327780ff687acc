#include "tools/torva/commands.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "tools/torva/authoring_commands.h"
#include "tools/torva/bitmap_view.h"
#include "tools/torva/file_system.h"
#include "tools/torva/host_record.h"
#include "tools/torva/member_names.h"
#include "tools/torva/plugin_host.h"
#include "tools/torva/png_encoder.h"
#include "tools/torva/progress.h"

namespace torva {
namespace {

// Archive detection looks at the first table, which is at most 255 sectors.
const size_t kArchiveHead = 65536;
// Nothing larger is taken for an image: the plug-in needs images whole.
const uint64_t kLargestImage = 512u << 20;

const char kMainHelp[] =
    "Usage: torva COMMAND [OPTIONS] ARGUMENTS\n"
    "\n"
    "Reads the archives (ALD, ALK) and pictures (QNT, PMS, VSP) of the game data\n"
    "through the torvasoft plug-in, and writes new ones.\n"
    "\n"
    "Commands:\n"
    "  info FILE...       kind, size and depth of pictures; kind and members of archives\n"
    "  list ARCHIVE       the members of an archive with position, size and time stamp\n"
    "  extract ARCHIVE    copy members out of an archive\n"
    "  convert FILE...    turn pictures, or the pictures inside archives, into PNG or BMP\n"
    "  encode PICTURE...  write PNG or BMP pictures as QNT, PMS or VSP\n"
    "  pack FILE...       put files into a new ALD or ALK archive\n"
    "\n"
    "'torva COMMAND --help' tells more about a command.\n"
    "Exit status: 0 all went well, 1 some file failed, 2 the command line is wrong.\n";

const char kInfoHelp[] =
    "Usage: torva info FILE...\n"
    "\n"
    "Tells for each FILE what it is: for a picture its format, width x height and\n"
    "bits per pixel; for an archive its format and number of members.\n"
    "\n"
    "Options:\n"
    "  -h, --help   show this help\n";

const char kListHelp[] =
    "Usage: torva list ARCHIVE\n"
    "\n"
    "Lists the members of ARCHIVE, one a line: byte position in the archive,\n"
    "size in bytes, time stamp (local time; '-' when the archive keeps none) and\n"
    "name.\n"
    "\n"
    "Options:\n"
    "  -h, --help   show this help\n";

const char kExtractHelp[] =
    "Usage: torva extract ARCHIVE [-o DIR] [MEMBER...]\n"
    "\n"
    "Copies the members of ARCHIVE into DIR, all of them or only those named\n"
    "(names compared without regard to ASCII case). Names are made safe for the\n"
    "file system: path separators and characters that cannot be in a file name\n"
    "become '_'; a name met twice gets '~2', '~3'... added.\n"
    "\n"
    "Options:\n"
    "  -o, --output DIR   where to write (default: the current directory)\n"
    "  -v, --verbose      name each file written\n"
    "  -h, --help         show this help\n";

const char kConvertHelp[] =
    "Usage: torva convert FILE... [-o DIR] [--format png|bmp] [--depth 16|24]\n"
    "\n"
    "Converts each picture FILE into DIR, named after it with the extension\n"
    "replaced. A FILE that is an archive has its pictures converted straight out\n"
    "of it, each named after its member.\n"
    "\n"
    "Options:\n"
    "  -o, --output DIR     where to write (default: the current directory)\n"
    "  -f, --format FORMAT  png (default) or bmp, the bitmap exactly as the plug-in\n"
    "                       builds it\n"
    "  -d, --depth DEPTH    24 (default): full colour, with alpha where the picture\n"
    "                       has it; 16: 16-bit colour for 16-bit PMS pictures\n"
    "  -v, --verbose        name each file written\n"
    "  -h, --help           show this help\n";

struct Options {
    bool help = false;
    bool verbose = false;
    std::string output;
    std::string format = "png";
    int depth = 24;
    std::vector<std::string> operands;
};

// Thrown nowhere: usage faults are collected and reported by the caller.
struct UsageFault {
    std::string message;
};

bool ParseOptions(const std::string& command, const std::vector<std::string>& arguments, Options& options,
                  UsageFault& fault) {
    const bool takesOutput = command == "extract" || command == "convert";
    const bool takesConversion = command == "convert";
    bool onlyOperands = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (onlyOperands || argument.size() < 2 || argument[0] != '-') {
            options.operands.push_back(argument);
            continue;
        }
        if (argument == "--") {
            onlyOperands = true;
            continue;
        }
        // The option's name and, for "--name=value" and "-xvalue", its value.
        std::string name = argument, value;
        bool hasValue = false;
        if (argument.compare(0, 2, "--") == 0) {
            const size_t equals = argument.find('=');
            if (equals != std::string::npos) {
                name = argument.substr(0, equals);
                value = argument.substr(equals + 1);
                hasValue = true;
            }
        } else if (argument.size() > 2) {
            name = argument.substr(0, 2);
            value = argument.substr(2);
            hasValue = true;
        }
        auto takeValue = [&]() {
            if (hasValue) return true;
            if (i + 1 >= arguments.size()) {
                fault.message = "option " + name + " needs a value";
                return false;
            }
            value = arguments[++i];
            return true;
        };
        if ((name == "-h" || name == "--help") && !hasValue) {
            options.help = true;
        } else if ((name == "-v" || name == "--verbose") && !hasValue && takesOutput) {
            options.verbose = true;
        } else if ((name == "-o" || name == "--output") && takesOutput) {
            if (!takeValue()) return false;
            if (value.empty()) {
                fault.message = "the output directory is empty";
                return false;
            }
            options.output = value;
        } else if ((name == "-f" || name == "--format") && takesConversion) {
            if (!takeValue()) return false;
            if (value != "png" && value != "bmp") {
                fault.message = "unknown format '" + value + "' (png or bmp)";
                return false;
            }
            options.format = value;
        } else if ((name == "-d" || name == "--depth") && takesConversion) {
            if (!takeValue()) return false;
            if (value != "16" && value != "24") {
                fault.message = "unknown depth '" + value + "' (16 or 24)";
                return false;
            }
            options.depth = value == "16" ? 16 : 24;
        } else {
            fault.message = "unknown option " + argument;
            return false;
        }
    }
    return true;
}

int UsageError(const std::string& command, const std::string& message) {
    std::fprintf(stderr, "torva: %s\n", message.c_str());
    if (command.empty()) {
        std::fprintf(stderr, "Try 'torva --help'.\n");
    } else {
        std::fprintf(stderr, "Try 'torva %s --help'.\n", command.c_str());
    }
    return ExitUsage;
}

const char* ArchiveKindName(int32_t kind) { return kind == ArchiveAld ? "ALD" : "ALK"; }

const char* ImageKindName(int32_t kind) {
    switch (kind) {
    case ImageQnt: return "QNT";
    case ImagePms: return "PMS";
    case ImageVsp: return "VSP";
    default: return "unknown";
    }
}

struct Member {
    std::string name;
    uint64_t position = 0;
    int64_t size = 0;
    uint32_t timeLow = 0, timeHigh = 0;
};

// What a file on the command line turned out to be.
struct Examined {
    std::string path;
    uint64_t size = 0;
    int32_t archiveKind = 0;
    int32_t imageKind = 0;
    ImageInfo info{};
    std::string bytes;  // the head of an archive, the whole of an image
};

class Session {
public:
    explicit Session(PluginHost& host) : host_(host) {}

    void fail(const std::string& what, const std::string& message) {
        ++failures_;
        const std::string line = "torva: " + what + ": " + message;
        if (progress_ != nullptr) {
            progress_->message(line);
        } else {
            std::fprintf(stderr, "%s\n", line.c_str());
        }
    }
    int status() const { return failures_ == 0 ? ExitOk : ExitFailed; }
    void setProgress(Progress* progress) { progress_ = progress; }
    PluginHost& host() { return host_; }

    // Finds out what `path` is. False (with the failure reported) when it
    // cannot be read or is neither an archive nor a picture of ours.
    bool examine(const std::string& path, Examined& file, InputFile& input) {
        file.path = path;
        std::string error;
        if (!input.open(path, error)) {
            fail(path, "cannot open: " + error);
            return false;
        }
        file.size = input.size();
        const std::string recordName = RecordNameForPath(path);
        if (!input.read(0, static_cast<size_t>(std::min<uint64_t>(file.size, kArchiveHead)), file.bytes)) {
            fail(path, "cannot read");
            return false;
        }
        {
            HostRecord record(nullptr, file.bytes, recordName);
            int32_t kind = 0;
            if (host_.isSupported(record.get(), ServiceArchive, &kind) == 0 && kind != 0) {
                file.archiveKind = kind;
                return true;
            }
        }
        if (file.size > kLargestImage) {
            fail(path, "not an archive or picture that torva can read");
            return false;
        }
        if (file.size > file.bytes.size() && !input.read(0, static_cast<size_t>(file.size), file.bytes)) {
            fail(path, "cannot read");
            return false;
        }
        HostRecord record(nullptr, file.bytes, recordName);
        int32_t kind = 0;
        if (host_.isSupported(record.get(), ServiceImage, &kind) != 0 || kind == 0 ||
            host_.getImageInfo(record.get(), &file.info) != 0) {
            fail(path, "not an archive or picture that torva can read");
            return false;
        }
        file.imageKind = kind;
        return true;
    }

    // Lists an examined archive. False (reported) when the plug-in fails.
    bool listMembers(const Examined& file, std::vector<Member>& members) {
        FileHandle handle(file.path);
        if (!handle.valid()) {
            fail(file.path, "cannot open");
            return false;
        }
        HostRecord record(handle.get(), file.bytes, RecordNameForPath(file.path));
        OwnedBlock block;
        int32_t count = 0;
        const int32_t result = host_.getArchiveInfo(record.get(), block.out(), &count);
        if (result != 0) {
            fail(file.path, result == 1 ? "out of memory while listing the archive"
                                        : "the archive could not be listed (result " + std::to_string(result) + ")");
            return false;
        }
        if (count <= 0) return true;
        const size_t wanted = size_t(count) * sizeof(ArchiveEntry);
        const std::string bytes = block.copyBytes(wanted);
        if (bytes.size() < wanted) {
            fail(file.path, "the plug-in returned a short member table");
            return false;
        }
        for (int32_t i = 0; i < count; ++i) {
            ArchiveEntry entry;
            std::memcpy(&entry, bytes.data() + size_t(i) * sizeof entry, sizeof entry);
            Member member;
            member.name.assign(entry.name, strnlen(entry.name, sizeof entry.name));
            member.position = entry.position;
            member.size = entry.size;
            member.timeLow = entry.timestamp.dwLowDateTime;
            member.timeHigh = entry.timestamp.dwHighDateTime;
            members.push_back(member);
        }
        return true;
    }

    // Reads a member's bytes from the archive, as the host must.
    bool readMember(const Examined& archive, InputFile& input, const Member& member, std::string& bytes) {
        if (member.size < 0 || member.position > archive.size ||
            uint64_t(member.size) > archive.size - member.position) {
            fail(archive.path + ": " + member.name, "damaged: the member lies beyond the end of the archive");
            return false;
        }
        if (uint64_t(member.size) > kLargestImage * 4 ||
            !input.read(member.position, static_cast<size_t>(member.size), bytes)) {
            fail(archive.path + ": " + member.name, "cannot read the member");
            return false;
        }
        return true;
    }

private:
    PluginHost& host_;
    Progress* progress_ = nullptr;
    int failures_ = 0;
};

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    year = int64_t(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

bool NameStaysInDirectory(const std::string& name) { return BaseName(name) == name; }

bool IsPictureName(const std::string& name) {
    const std::string extension = name.size() >= 4 ? name.substr(name.size() - 4) : std::string();
    std::string lower;
    for (char c : extension) lower += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower == ".qnt" || lower == ".pms" || lower == ".vsp";
}

// ---- info ----

int RunInfo(Session& session, const Options& options) {
    for (const std::string& path : options.operands) {
        Examined file;
        InputFile input;
        if (!session.examine(path, file, input)) continue;
        if (file.archiveKind != 0) {
            std::vector<Member> members;
            if (!session.listMembers(file, members)) continue;
            std::printf("%s: %s archive, %llu member%s, %llu bytes\n", path.c_str(), ArchiveKindName(file.archiveKind),
                        static_cast<unsigned long long>(members.size()), members.size() == 1 ? "" : "s", static_cast<unsigned long long>(file.size));
        } else {
            std::printf("%s: %s picture, %u x %u, %u-bit, %llu bytes\n", path.c_str(),
                        ImageKindName(file.imageKind), unsigned(file.info.width), unsigned(file.info.height),
                        unsigned(file.info.bitDepth), static_cast<unsigned long long>(file.size));
        }
    }
    return session.status();
}

// ---- list ----

// Opens `path` as an archive and lists its members; false (with the reason
// reported) when it is not one or cannot be listed.
bool OpenArchive(Session& session, const std::string& path, Examined& file, InputFile& input,
                 std::vector<Member>& members) {
    if (!session.examine(path, file, input)) return false;
    if (file.archiveKind == 0) {
        session.fail(path, "not an archive (it is a " + std::string(ImageKindName(file.imageKind)) + " picture)");
        return false;
    }
    return session.listMembers(file, members);
}

int RunList(Session& session, const Options& options) {
    const std::string& path = options.operands[0];
    Examined file;
    InputFile input;
    std::vector<Member> members;
    if (!OpenArchive(session, path, file, input, members)) return session.status();
    std::printf("%10s %10s  %-19s  %s\n", "position", "size", "time stamp", "name");
    for (const Member& member : members) {
        std::printf("%10llu %10lld  %-19s  %s\n", static_cast<unsigned long long>(member.position),
                    static_cast<long long>(member.size), FormatFileTime(member.timeLow, member.timeHigh).c_str(),
                    member.name.c_str());
    }
    std::printf("%llu member%s in %s archive %s\n", static_cast<unsigned long long>(members.size()), members.size() == 1 ? "" : "s",
                ArchiveKindName(file.archiveKind), path.c_str());
    return session.status();
}

// ---- extract ----

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

int RunExtract(Session& session, const Options& options) {
    const std::string& path = options.operands[0];
    Examined file;
    InputFile input;
    std::vector<Member> members;
    if (!OpenArchive(session, path, file, input, members)) return session.status();

    // The members asked for, in archive order; every name asked for must exist.
    std::vector<const Member*> chosen;
    const std::vector<std::string> wanted(options.operands.begin() + 1, options.operands.end());
    std::vector<bool> found(wanted.size(), false);
    for (const Member& member : members) {
        bool take = wanted.empty();
        for (size_t i = 0; i < wanted.size(); ++i) {
            if (EqualIgnoringAsciiCase(member.name, wanted[i])) {
                take = true;
                found[i] = true;
            }
        }
        if (take) chosen.push_back(&member);
    }
    for (size_t i = 0; i < wanted.size(); ++i) {
        if (!found[i]) session.fail(path, "no member named " + wanted[i]);
    }

    std::string error;
    if (!MakeDirectories(options.output, error)) {
        session.fail(options.output, error);
        return session.status();
    }
    Progress progress(chosen.size(), StandardErrorIsTerminal());
    session.setProgress(&progress);
    NameRegistry names;
    for (size_t i = 0; i < chosen.size(); ++i) {
        const Member& member = *chosen[i];
        progress.update(i, member.name);
        const std::string outName = names.claim(SafeMemberName(member.name));
        if (!NameStaysInDirectory(outName)) {
            session.fail(path + ": " + member.name, "the name cannot be written safely on this system");
            continue;
        }
        std::string bytes;
        if (!session.readMember(file, input, member, bytes)) continue;
        const std::string outPath = JoinPath(options.output, outName);
        if (!WriteFileAtomically(outPath, bytes, error)) {
            session.fail(path + ": " + member.name, error);
            continue;
        }
        if (options.verbose) progress.message(member.name + " -> " + outPath);
    }
    progress.finish();
    session.setProgress(nullptr);
    return session.status();
}

// ---- convert ----

struct ConvertJob {
    size_t source;        // index into the examined files
    const Member* member; // null for a picture file
    std::string label;
};

class Converter {
public:
    Converter(Session& session, const Options& options) : session_(session), options_(options) {}

    // Builds the bitmap of one picture and writes it out.
    void convert(const std::string& label, const std::string& bytes, const std::string& recordName,
                 const std::string& outStem, bool mustBePicture) {
        HostRecord record(nullptr, bytes, recordName);
        int32_t kind = 0;
        if (session_.host().isSupported(record.get(), ServiceImage, &kind) != 0 || kind == 0) {
            if (mustBePicture) session_.fail(label, "not a picture that torva can read");
            return;
        }
        OwnedBlock block;
        uint32_t size = 0;
        const int32_t mode = options_.depth == 16 ? 0 : -1;
        const int32_t result = session_.host().getImage(record.get(), block.out(), &size, mode);
        if (result != 0) {
            session_.fail(label, result == 1 ? "out of memory while building the bitmap"
                                             : "the bitmap could not be built (result " + std::to_string(result) + ")");
            return;
        }
        const std::string bitmapBytes = block.copyBytes(size);
        BitmapView bitmap;
        std::string error;
        if (!bitmap.parse(bitmapBytes, error)) {
            session_.fail(label, "damaged: " + error);
            return;
        }
        std::string output;
        if (options_.format == "bmp") {
            output = bitmapBytes;
        } else if (!EncodePng(bitmap, PngLevel::Default, output, error)) {
            session_.fail(label, error);
            return;
        }
        const std::string outName = names_.claim(SafeMemberName(ReplaceExtension(outStem, "." + options_.format)));
        if (!NameStaysInDirectory(outName)) {
            session_.fail(label, "the name cannot be written safely on this system");
            return;
        }
        const std::string outPath = JoinPath(options_.output, outName);
        if (!WriteFileAtomically(outPath, output, error)) {
            session_.fail(label, error);
            return;
        }
        if (options_.verbose && progress_ != nullptr) progress_->message(label + " -> " + outPath);
    }

    void setProgress(Progress* progress) { progress_ = progress; }

private:
    Session& session_;
    const Options& options_;
    Progress* progress_ = nullptr;
    NameRegistry names_;
};

int RunConvert(Session& session, const Options& options) {
    // First find out what every file is, so that the work can be counted.
    std::vector<Examined> files(options.operands.size());
    std::vector<std::unique_ptr<InputFile>> inputs;
    std::vector<std::vector<Member>> members(options.operands.size());
    std::vector<bool> usable(options.operands.size(), false);
    std::vector<ConvertJob> jobs;
    for (size_t i = 0; i < options.operands.size(); ++i) {
        inputs.push_back(std::make_unique<InputFile>());
        if (!session.examine(options.operands[i], files[i], *inputs[i])) continue;
        if (files[i].archiveKind == 0) {
            // Pictures are read again when their turn comes; only archives
            // stay open, for their members.
            inputs[i].reset();
            files[i].bytes.clear();
            files[i].bytes.shrink_to_fit();
        }
        if (files[i].archiveKind != 0) {
            if (!session.listMembers(files[i], members[i])) continue;
            for (const Member& member : members[i]) {
                jobs.push_back(ConvertJob{i, &member, files[i].path + ": " + member.name});
            }
        } else {
            jobs.push_back(ConvertJob{i, nullptr, files[i].path});
        }
    }

    std::string error;
    if (!jobs.empty() && !MakeDirectories(options.output, error)) {
        session.fail(options.output, error);
        return session.status();
    }
    Progress progress(jobs.size(), StandardErrorIsTerminal());
    session.setProgress(&progress);
    Converter converter(session, options);
    converter.setProgress(&progress);
    for (size_t j = 0; j < jobs.size(); ++j) {
        const ConvertJob& job = jobs[j];
        progress.update(j, job.label);
        Examined& file = files[job.source];
        if (job.member == nullptr) {
            InputFile input;
            std::string bytes;
            if (!input.open(file.path, error) || !input.read(0, static_cast<size_t>(input.size()), bytes)) {
                session.fail(file.path, "cannot read");
                continue;
            }
            converter.convert(job.label, bytes, RecordNameForPath(file.path), BaseName(file.path), true);
            continue;
        }
        std::string bytes;
        if (!session.readMember(file, *inputs[job.source], *job.member, bytes)) continue;
        converter.convert(job.label, bytes, job.member->name, job.member->name, IsPictureName(job.member->name));
    }
    progress.finish();
    session.setProgress(nullptr);
    return session.status();
}

}  // namespace

std::string FormatFileTime(uint32_t low, uint32_t high) {
    const uint64_t ticks = uint64_t(high) << 32 | low;
    if (ticks == 0) return "-";
    // FILETIME counts 100 ns steps from 1601-01-01; 1970 is 11644473600 s on.
    const int64_t seconds = static_cast<int64_t>(ticks / 10000000u) - 11644473600LL;
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    int64_t year;
    unsigned month, day;
    CivilFromDays(days, year, month, day);
    char text[48];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02u:%02u:%02u", static_cast<long long>(year), month, day,
                  unsigned(rest / 3600), unsigned(rest / 60 % 60), unsigned(rest % 60));
    return text;
}

int RunTool(const std::vector<std::string>& arguments) {
    if (arguments.empty()) return UsageError("", "no command given");
    const std::string& command = arguments[0];
    if (command == "-h" || command == "--help" || command == "help") {
        std::fputs(kMainHelp, stdout);
        return ExitOk;
    }
    const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
    if (command == "encode") return RunEncode(rest);
    if (command == "pack") return RunPack(rest);
    const char* help = nullptr;
    size_t minimum = 1, maximum = SIZE_MAX;
    if (command == "info") {
        help = kInfoHelp;
    } else if (command == "list") {
        help = kListHelp;
        maximum = 1;
    } else if (command == "extract") {
        help = kExtractHelp;
    } else if (command == "convert") {
        help = kConvertHelp;
    } else {
        return UsageError("", "unknown command '" + command + "'");
    }

    Options options;
    UsageFault fault;
    if (!ParseOptions(command, std::vector<std::string>(arguments.begin() + 1, arguments.end()), options, fault)) {
        return UsageError(command, fault.message);
    }
    if (options.help) {
        std::fputs(help, stdout);
        return ExitOk;
    }
    if (options.operands.size() < minimum) {
        return UsageError(command, command == "info" || command == "convert" ? "no file given" : "no archive given");
    }
    if (options.operands.size() > maximum) return UsageError(command, "only one archive can be listed at a time");

    std::string error;
    std::unique_ptr<PluginHost> host = OpenPluginHost(error);
    if (!host) {
        std::fprintf(stderr, "torva: %s\n", error.c_str());
        return ExitFailed;
    }
    Session session(*host);
    int status = ExitOk;
    if (command == "info") status = RunInfo(session, options);
    if (command == "list") status = RunList(session, options);
    if (command == "extract") status = RunExtract(session, options);
    if (command == "convert") status = RunConvert(session, options);
    std::fflush(stdout);
    return status;
}

}  // namespace torva
