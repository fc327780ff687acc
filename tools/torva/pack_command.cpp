// torva pack: files to an ALD or ALK archive.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <new>

#include "author/archive_packer.h"
#include "tools/torva/authoring_commands.h"
#include "tools/torva/code_page.h"
#include "tools/torva/commands_internal.h"
#include "tools/torva/file_system.h"
#include "tools/torva/manifest.h"
#include "tools/torva/member_file_sink.h"
#include "tools/torva/file_system_platform.h"
#include "tools/torva/list_file.h"
#include "tools/torva/staged_file.h"

namespace torva {
namespace {

int Usage(const std::string& message) { return UsageError("pack", message); }

// ASCII letters lowered; UTF-8 bytes of other characters are all above 0x7F.
std::string AsciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return text;
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

class Collector {
public:
    Collector(bool recursive, Reporter& reporter) : recursive_(recursive), reporter_(reporter) {}

    void add(const std::string& path) {
        Input input{path, FileFacts()};
        std::string error;
        if (!StatFile(path, input.facts, error)) return fail(path, "cannot open: " + error);
        if (!input.facts.directory) {
            inputs.push_back(input);
            return;
        }
        if (!recursive_) return fail(path, "is a directory (use -r to pack the files inside)");
        std::vector<DirectoryEntry> entries;
        if (!ListDirectory(path, entries, error)) return fail(path, error);
        std::vector<std::string> names;
        for (const DirectoryEntry& entry : entries) names.push_back(entry.name);
        std::sort(names.begin(), names.end(), NaturalLess);
        for (const std::string& name : names) {
            // The manifest extract writes beside the members is no member
            // (pack --manifest reads it); a file given by name still is.
            if (IsManifestName(name)) continue;
            add(JoinPath(path, name));
        }
    }

    void fail(const std::string& what, const std::string& why) {
        reporter_.fail(what, why);
        ++failures;
    }

    std::vector<Input> inputs;
    int failures = 0;

private:
    bool recursive_;
    Reporter& reporter_;
};

// The row an extracted ALK member came from: its name without extension
// ends in '_' and at least three digits (STEM_NNN, NNN = row + 1), as
// extract names them. False for any other name.
const uint64_t kMostNumberedRows = uint64_t{1} << 20;
bool RowFromName(const std::string& path, uint64_t& row) {
    const std::string stem = StemOf(BaseName(path));
    size_t digits = 0;
    while (digits < stem.size() && stem[stem.size() - 1 - digits] >= '0' && stem[stem.size() - 1 - digits] <= '9') {
        ++digits;
    }
    if (digits < 3 || digits == stem.size() || stem[stem.size() - 1 - digits] != '_') return false;
    uint64_t number = 0;
    for (size_t i = stem.size() - digits; i < stem.size(); ++i) {
        number = number * 10 + uint64_t(stem[i] - '0');
        if (number > kMostNumberedRows) return false;
    }
    if (number == 0) return false;
    row = number - 1;
    return true;
}

// When every input is named STEM_NNN, each goes to its row and the rows no
// file names stay empty, so a folder extract wrote packs back with every
// member at the row it came from. False (inputs unchanged) otherwise;
// `clash` is set when two files name one row.
bool PlaceByRow(std::vector<Input>& inputs, std::string& clash) {
    if (inputs.empty()) return false;
    std::vector<uint64_t> rowOf(inputs.size());
    uint64_t rows = 0;
    for (size_t i = 0; i < inputs.size(); ++i) {
        if (!RowFromName(inputs[i].path, rowOf[i])) return false;
        rows = std::max(rows, rowOf[i] + 1);
    }
    std::vector<Input> placed(size_t(rows), Input{std::string(), FileFacts()});
    for (size_t i = 0; i < inputs.size(); ++i) {
        Input& slot = placed[size_t(rowOf[i])];
        if (!slot.path.empty()) {
            clash = slot.path + " and " + inputs[i].path + " both name row " + std::to_string(rowOf[i] + 1);
            return false;
        }
        slot = inputs[i];
    }
    inputs.swap(placed);
    return true;
}

bool IsAbsolute(const std::string& path) {
    return (!path.empty() && (path[0] == '/' || path[0] == '\\')) || (path.size() > 1 && path[1] == ':');
}

}  // namespace

int RunPack(const Options& options, Reporter& reporter) {
    const std::string& archive = options.output;
    if (archive.empty()) return Usage("say which archive to write: -o ARCHIVE.ald or -o ARCHIVE.alk");
    if (!options.manifest.empty()) return RunPackManifest(options, reporter);
    std::string extension = archive.size() >= 4 ? archive.substr(archive.size() - 4) : std::string();
    for (char& c : extension) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (extension != ".ald" && extension != ".alk") return Usage("the archive's name must end in .ald or .alk");
    const bool ald = extension == ".ald";
    const bool overwrite = options.existing == Existing::Overwrite;
    if (options.operands.empty() && !options.listGiven) return Usage("no file given");
    if (!overwrite && FileExists(archive)) {
        reporter.print("torva: " + archive + " exists (use --overwrite to replace it)", 1);
        return ExitFailed;
    }

    Collector collector(options.recursive, reporter);
    // A list names its files relative to its own directory; one read from
    // standard input ('-' or --list -), relative to the current one.
    auto addListed = [&](const std::string& listPath) {
        std::vector<std::string> entries;
        std::string error;
        if (!ReadListFile(listPath, entries, error)) {
            collector.fail(listPath == "-" ? "standard input" : listPath, "cannot read the list: " + error);
            return;
        }
        const std::string base =
            listPath == "-" ? std::string() : listPath.substr(0, listPath.size() - BaseName(listPath).size());
        for (const std::string& entry : entries) collector.add(IsAbsolute(entry) ? entry : base + entry);
    };
    size_t fromInput = options.listGiven && options.list == "-";
    for (const std::string& operand : options.operands) fromInput += operand == "-";
    if (fromInput > 1) return Usage("standard input ('-') can be read only once");
    for (const std::string& operand : options.operands) {
        if (operand == "-") {
            addListed("-");
        } else {
            collector.add(operand);
        }
    }
    if (options.listGiven) addListed(options.list);
    std::string clash;
    if (!ald) PlaceByRow(collector.inputs, clash);
    if (!clash.empty()) collector.fail(archive, clash);
    const std::vector<Input>& inputs = collector.inputs;

    // Every member is checked before anything is written.
    std::vector<std::string> names(inputs.size());
    std::vector<author::PackMember> members(inputs.size());
    std::map<std::string, std::string> taken;  // ALD names as compared, to the first file of each
    for (size_t i = 0; i < inputs.size(); ++i) {
        members[i].size = inputs[i].facts.size;
        members[i].fileTime = inputs[i].facts.fileTime;
        if (!ald) continue;
        const std::string name = BaseName(inputs[i].path);
        // Two members of one name could not both be found, extracted or
        // told apart: the tool matches ALD names without regard to ASCII
        // case, so that is how they must differ. (An ALK stores no names.)
        const auto first = taken.emplace(AsciiLower(name), inputs[i].path);
        if (!first.second) {
            collector.fail(inputs[i].path, "would be a second member named " + name + ", after " +
                                               first.first->second + " (ALD names differ in more than ASCII case)");
            continue;
        }
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
        reporter.print("torva: " + archive + ": not written", 0);
        return ExitFailed;
    }

    return WriteArchiveFile(archive, overwrite, options.verbose, inputs, [&](author::ArchiveSink& sink) {
        return ald ? author::PackAld(members.data(), members.size(), sink)
                   : author::PackAlk(members.data(), members.size(), sink);
    }, reporter);
}

}  // namespace torva
