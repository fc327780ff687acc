// torva pack: files to an ALD or ALK archive.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "author/archive_packer.h"
#include "tools/torva/authoring_commands.h"
#include "tools/torva/authoring_files.h"
#include "tools/torva/command_line.h"
#include "tools/torva/commands.h"
#include "tools/torva/file_system.h"
#include "tools/torva/file_system_platform.h"

namespace torva {
namespace {

const char kPackHelp[] =
    "Usage: torva pack INPUT... -o ARCHIVE.ald|ARCHIVE.alk [-r] [--list FILE]\n"
    "                 [--overwrite]\n"
    "\n"
    "Packs the files INPUT into a new archive, the kind from its extension,\n"
    "members in the order given (a directory's files, with -r, in name order,\n"
    "numbers compared as numbers).\n"
    "\n"
    "ALD members are named after their files, in code page 932 (at most 47\n"
    "bytes), and keep the files' modification times (stored as UTC). A name that\n"
    "code page 932 cannot write is refused. ALK members have no names; an empty\n"
    "file becomes an empty row, which keeps its place but lists no member.\n"
    "Nothing is written unless every member can be packed.\n"
    "\n"
    "Options:\n"
    "  -o, --output ARCHIVE  the archive to write (.ald or .alk)\n"
    "  -r, --recursive       take the files inside directories, and theirs\n"
    "  --list FILE           also take the files named in FILE, one a line, in\n"
    "                        that order (relative to FILE's directory)\n"
    "  --overwrite           replace an existing archive (never replaced otherwise)\n"
    "  -v, --verbose         name each member packed\n"
    "  -h, --help            show this help\n";

int Usage(const std::string& message) {
    std::fprintf(stderr, "torva: %s\nTry 'torva pack --help'.\n", message.c_str());
    return ExitUsage;
}

// Byte order, except that runs of digits compare as numbers (so that
// x_2.dat comes before x_10.dat).
bool NaturalLess(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            size_t ei = i, ej = j;
            while (ei < a.size() && digit(a[ei])) ++ei;
            while (ej < b.size() && digit(b[ej])) ++ej;
            size_t si = i, sj = j;
            while (si + 1 < ei && a[si] == '0') ++si;
            while (sj + 1 < ej && b[sj] == '0') ++sj;
            if (ei - si != ej - sj) return ei - si < ej - sj;
            const int order = a.compare(si, ei - si, b, sj, ej - sj);
            if (order != 0) return order < 0;
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

struct Input {
    std::string path;
    FileFacts facts;
};

class Collector {
public:
    explicit Collector(bool recursive) : recursive_(recursive) {}

    void add(const std::string& path) {
        Input input{path, FileFacts()};
        std::string error;
        if (!StatFile(path, input.facts, error)) return fail(path, "cannot open: " + error);
        if (!input.facts.directory) {
            inputs.push_back(input);
            return;
        }
        if (!recursive_) return fail(path, "is a directory (use -r to pack the files inside)");
        std::vector<std::string> names;
        if (!ListDirectory(path, names, error)) return fail(path, error);
        std::sort(names.begin(), names.end(), NaturalLess);
        for (const std::string& name : names) add(JoinPath(path, name));
    }

    void fail(const std::string& what, const std::string& why) {
        std::fprintf(stderr, "torva: %s: %s\n", what.c_str(), why.c_str());
        ++failures;
    }

    std::vector<Input> inputs;
    int failures = 0;

private:
    bool recursive_;
};

bool IsAbsolute(const std::string& path) {
    return (!path.empty() && (path[0] == '/' || path[0] == '\\')) || (path.size() > 1 && path[1] == ':');
}

// Copies each member's file into the archive, exactly the size it had when
// the members were checked.
class FileSink : public author::ArchiveSink {
public:
    FileSink(StagedFile& out, const std::vector<Input>& inputs) : out_(out), inputs_(inputs) {}

    bool write(const uint8_t* bytes, size_t count) override { return out_.write(bytes, count); }

    bool writeMember(size_t index) override {
        const Input& input = inputs_[index];
        std::FILE* file = platform::OpenFile(input.path, "rb");
        if (file == nullptr) {
            problem = input.path + ": cannot open";
            return false;
        }
        std::unique_ptr<char[]> buffer(new char[kChunk]);
        uint64_t left = input.facts.size;
        bool ok = true;
        while (ok && left > 0) {
            const size_t step = left < kChunk ? size_t(left) : kChunk;
            ok = std::fread(buffer.get(), 1, step, file) == step && out_.write(buffer.get(), step);
            left -= step;
        }
        const bool grew = ok && std::fgetc(file) != EOF;
        std::fclose(file);
        if (!ok || grew) problem = input.path + ": changed while it was being packed";
        return ok && !grew;
    }

    std::string problem;

private:
    static const size_t kChunk = 1 << 20;
    StagedFile& out_;
    const std::vector<Input>& inputs_;
};

}  // namespace

int RunPack(const std::vector<std::string>& arguments) {
    const CommandLine line(arguments, {"-h", "--help", "--overwrite", "-r", "--recursive", "-v", "--verbose"},
                           {"-o", "--output", "--list"});
    if (!line.ok()) return Usage(line.error());
    if (line.has("-h", "--help")) {
        std::fputs(kPackHelp, stdout);
        return ExitOk;
    }
    const std::string archive = line.value("-o", "--output");
    if (archive.empty()) return Usage("say which archive to write: -o ARCHIVE.ald or -o ARCHIVE.alk");
    std::string extension = archive.size() >= 4 ? archive.substr(archive.size() - 4) : std::string();
    for (char& c : extension) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (extension != ".ald" && extension != ".alk") return Usage("the archive's name must end in .ald or .alk");
    const bool ald = extension == ".ald";
    if (line.operands().empty() && !line.has("--list")) return Usage("no file given");
    if (!line.has("--overwrite") && FileExists(archive)) {
        std::fprintf(stderr, "torva: %s exists (use --overwrite to replace it)\n", archive.c_str());
        return ExitFailed;
    }

    Collector collector(line.has("-r", "--recursive"));
    for (const std::string& operand : line.operands()) collector.add(operand);
    if (line.has("--list")) {
        const std::string listPath = line.value("--list");
        InputFile list;
        std::string text, error;
        if (!list.open(listPath, error) || !list.read(0, size_t(list.size()), text)) {
            collector.fail(listPath, "cannot read the list");
        } else {
            const std::string base = listPath.substr(0, listPath.size() - BaseName(listPath).size());
            size_t start = 0;
            while (start < text.size()) {
                size_t end = text.find('\n', start);
                if (end == std::string::npos) end = text.size();
                std::string entry = text.substr(start, end - start);
                if (!entry.empty() && entry.back() == '\r') entry.pop_back();
                if (!entry.empty()) collector.add(IsAbsolute(entry) ? entry : base + entry);
                start = end + 1;
            }
        }
    }
    const std::vector<Input>& inputs = collector.inputs;

    // Every member is checked before anything is written.
    std::vector<std::string> names(inputs.size());
    std::vector<author::PackMember> members(inputs.size());
    for (size_t i = 0; i < inputs.size(); ++i) {
        members[i].size = inputs[i].facts.size;
        members[i].fileTime = inputs[i].facts.fileTime;
        if (!ald) continue;
        const std::string name = BaseName(inputs[i].path);
        if (!NameToCodePage932(name, names[i])) {
            collector.fail(inputs[i].path, "its name cannot be written in code page 932, as ALD names are");
            continue;
        }
        members[i].name = reinterpret_cast<const uint8_t*>(names[i].data());
        members[i].nameLength = names[i].size();
        const author::AuthorStatus status = author::CheckAldMember(members[i]);
        if (status != author::AuthorStatus::Ok) collector.fail(inputs[i].path, author::AuthorStatusText(status));
    }
    if (collector.failures > 0) {
        std::fprintf(stderr, "torva: %s: not written\n", archive.c_str());
        return ExitFailed;
    }

    StagedFile staged;
    std::string error;
    if (!MakeDirectories(archive.substr(0, archive.size() - BaseName(archive).size()), error) ||
        !staged.open(archive, error)) {
        std::fprintf(stderr, "torva: %s\n", error.c_str());
        return ExitFailed;
    }
    FileSink sink(staged, inputs);
    const author::AuthorStatus status = ald ? author::PackAld(members.data(), members.size(), sink)
                                            : author::PackAlk(members.data(), members.size(), sink);
    if (status != author::AuthorStatus::Ok) {
        const std::string why = !sink.problem.empty() ? sink.problem : author::AuthorStatusText(status);
        std::fprintf(stderr, "torva: %s: %s; not written\n", archive.c_str(), why.c_str());
        return ExitFailed;
    }
    if (!staged.commit(line.has("--overwrite"), error)) {
        std::fprintf(stderr, "torva: %s\n", error.c_str());
        return ExitFailed;
    }
    if (line.has("-v", "--verbose")) {
        for (const Input& input : inputs) std::printf("%s\n", input.path.c_str());
    }
    return ExitOk;
}

}  // namespace torva
