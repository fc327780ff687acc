// torva pack --manifest: an archive rebuilt from the manifest extract wrote
// and the member files beside it.
#include <vector>

#include "author/archive_repacker.h"
#include "tools/torva/authoring_commands.h"
#include "tools/torva/commands_internal.h"
#include "tools/torva/file_system.h"
#include "tools/torva/manifest.h"
#include "tools/torva/member_file_sink.h"
#include "tools/torva/staged_file.h"

namespace torva {
namespace {

bool ReadManifestFile(const std::string& path, Manifest& manifest, std::string& error) {
    InputFile file;
    std::string text;
    if (!file.open(path, error)) return false;
    if (!file.read(0, size_t(file.size()), text)) {
        error = "cannot read it";
        return false;
    }
    return ParseManifest(text, manifest, error);
}

}  // namespace

int RunPackManifest(const Options& options, Reporter& reporter) {
    const std::string& archive = options.output;
    const std::string& manifestPath = options.manifest;
    if (!options.operands.empty() || options.listGiven) {
        return UsageError("pack", "--manifest takes its members from the manifest; give no files or --list");
    }
    Manifest manifest;
    std::string error;
    if (!ReadManifestFile(manifestPath, manifest, error)) {
        reporter.print("torva: " + manifestPath + ": " + error, 1);
        return ExitFailed;
    }
    std::string extension = archive.size() >= 4 ? archive.substr(archive.size() - 4) : std::string();
    for (char& c : extension) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (extension != (manifest.ald ? ".ald" : ".alk")) {
        return UsageError("pack", std::string("the manifest describes an ") + (manifest.ald ? "ALD" : "ALK") +
                                      " archive: its name must end in " + (manifest.ald ? ".ald" : ".alk"));
    }
    const bool overwrite = options.existing == Existing::Overwrite;
    if (!overwrite && FileExists(archive)) {
        reporter.print("torva: " + archive + " exists (use --overwrite to replace it)", 1);
        return ExitFailed;
    }

    // Each placed member's file, beside the manifest; the others are kept
    // inside the framing and their files are not read.
    const std::string directory = manifestPath.substr(0, manifestPath.size() - BaseName(manifestPath).size());
    std::vector<Input> inputs(manifest.rows.size());
    std::vector<author::RepackRow> rows(manifest.rows.size());
    bool missing = false;
    for (size_t i = 0; i < manifest.rows.size(); ++i) {
        const ManifestRow& from = manifest.rows[i];
        author::RepackRow& to = rows[i];
        to.empty = from.empty;
        to.placed = from.placed;
        to.storedPosition = from.position;
        to.storedSize = int32_t(from.size);
        to.hasTime = from.hasTime;
        to.fileTime = from.fileTime;
        to.name = reinterpret_cast<const uint8_t*>(from.name.data());
        to.nameLength = from.name.size();
        if (!from.placed) continue;
        if (from.file.empty()) {
            reporter.fail(manifestPath, "row " + std::to_string(i) + " has no file (it was not extracted)");
            missing = true;
            continue;
        }
        inputs[i].path = directory + from.file;
        if (!StatFile(inputs[i].path, inputs[i].facts, error) || inputs[i].facts.directory) {
            reporter.fail(inputs[i].path, inputs[i].facts.directory ? "is a directory" : "cannot open: " + error);
            missing = true;
            continue;
        }
        to.newSize = inputs[i].facts.size;
    }
    if (missing) {
        reporter.print("torva: " + archive + ": not written", 0);
        return ExitFailed;
    }
    std::vector<author::RepackSegment> segments(manifest.layout.size());
    for (size_t i = 0; i < manifest.layout.size(); ++i) {
        const ManifestPiece& piece = manifest.layout[i];
        segments[i].row = piece.row;
        segments[i].bytes = reinterpret_cast<const uint8_t*>(piece.framing.data());
        segments[i].size = piece.framing.size();
    }

    return WriteArchiveFile(archive, overwrite, options.verbose, inputs, [&](author::ArchiveSink& sink) {
        return author::RepackArchive(manifest.ald, rows.data(), rows.size(), segments.data(), segments.size(), sink);
    }, reporter);
}

}  // namespace torva
