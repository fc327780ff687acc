// extract: members copied out of one archive, byte for byte, into a
// directory or to standard output.
#include "tools/torva/commands_internal.h"
#include "tools/torva/manifest.h"

namespace torva {
namespace {

// The members asked for, in archive order; each name or pattern asked for
// must match at least one member.
std::vector<const Member*> ChooseMembers(const std::vector<Member>& members, const std::vector<std::string>& wanted,
                                         const std::string& archive, Messages& messages) {
    std::vector<const Member*> chosen;
    std::vector<bool> found(wanted.size(), false);
    for (const Member& member : members) {
        bool take = wanted.empty();
        for (size_t i = 0; i < wanted.size(); ++i) {
            if (MatchesPattern(wanted[i], member.name)) {
                take = true;
                found[i] = true;
            }
        }
        if (take) chosen.push_back(&member);
    }
    for (size_t i = 0; i < wanted.size(); ++i) {
        if (!found[i]) {
            messages.fail(archive, (IsPattern(wanted[i]) ? "no member matches " : "no member named ") +
                                       wanted[i]);
        }
    }
    return chosen;
}

// The manifest beside the members: every row of the archive, those not
// extracted (not chosen, or not written) with no file.
void WriteManifest(const Examined& file, InputFile& input, const std::vector<std::string>& filesByRow,
                   const std::string& path, const Options& options, Reporter& reporter) {
    Manifest manifest;
    manifest.archive = BaseName(file.source.name);
    std::string error;
    if (!ReadArchiveManifest(file.archiveKind == TORVASOFT_KIND_ALD, file.head, input, manifest, error)) {
        reporter.fail(file.source.display, "no manifest written: " + error);
        return;
    }
    for (size_t row = 0; row < manifest.rows.size() && row < filesByRow.size(); ++row) {
        manifest.rows[row].file = filesByRow[row];
    }
    if (!MayWrite(path, options.existing, reporter)) return;
    WriteOutput(path, ManifestJson(manifest), options.existing, file.source.display + ": manifest", reporter);
    if (options.verbose) reporter.print("manifest -> " + path, 0);
}

}  // namespace

int RunExtract(Session& session) {
    const Options& options = session.options();
    Reporter& reporter = session.reporter();
    const std::vector<Source> sources = session.sources({options.operands[0]});
    if (sources.empty()) return ExitFailed;
    Examined file;
    InputFile input;
    std::vector<Member> members;
    if (!session.examine(sources[0], file, input)) return ExitFailed;
    const std::string& archive = sources[0].display;
    if (file.archiveKind == 0) {
        reporter.fail(archive, "not an archive (it is a " + std::string(ImageKindName(file.imageKind)) + " picture)");
        return ExitFailed;
    }
    if (!session.listMembers(file, input, members)) return ExitFailed;
    const std::vector<std::string> wanted(options.operands.begin() + 1, options.operands.end());
    const std::vector<const Member*> chosen = ChooseMembers(members, wanted, archive, reporter);

    if (options.toStandardOutput) {
        if (chosen.size() != 1) {
            reporter.fail(archive, "--stdout writes one member, and " + std::to_string(chosen.size()) +
                                       (chosen.size() == 1 ? " was" : " were") + " chosen");
            return ExitFailed;
        }
        if (!MayWriteToStandardOutput(options.toTerminal, reporter)) return ExitFailed;
        std::string bytes;
        if (session.readMember(file, input, *chosen[0], bytes, options.keepDamaged, reporter) &&
            !WriteStandardOutput(bytes)) {
            reporter.fail("standard output", "cannot write");
        }
        return reporter.failed() ? ExitFailed : ExitOk;
    }

    std::string error;
    if (!MakeDirectories(options.output, error)) {
        reporter.fail(options.output, error);
        return ExitFailed;
    }
    Progress progress(chosen.size(), StandardErrorIsTerminal());
    reporter.setProgress(&progress);
    NameRegistry names;
    // Claimed first, so that a member of the same name is the one renamed.
    const std::string manifestPath =
        JoinPath(options.output, names.claim("", ManifestNameFor(BaseName(sources[0].name))));
    std::vector<std::string> filesByRow;
    for (size_t i = 0; i < chosen.size(); ++i) {
        const Member& member = *chosen[i];
        const std::string label = archive + ": " + member.name;
        progress.update(i, member.name);
        std::string note;
        const std::string fileName = ClaimOutputName(names, "", member.name, note);
        if (!note.empty()) reporter.note(label, note);
        const std::string outPath = JoinPath(options.output, fileName);
        if (!MayWrite(outPath, options.existing, reporter)) continue;
        std::string bytes;
        if (!session.readMember(file, input, member, bytes, options.keepDamaged, reporter)) continue;
        if (!WriteOutput(outPath, bytes, options.existing, label, reporter)) continue;
        if (member.row >= filesByRow.size()) filesByRow.resize(size_t(member.row) + 1);
        filesByRow[member.row] = fileName;
        if (member.hasTime && !SetModificationTime(outPath, member.utcTime)) {
            reporter.fail(outPath, "cannot set the file's time");
        }
        if (options.verbose) reporter.print(member.name + " -> " + outPath, 0);
    }
    progress.finish();
    reporter.setProgress(nullptr);
    WriteManifest(file, input, filesByRow, manifestPath, options, reporter);
    return reporter.failed() ? ExitFailed : ExitOk;
}

}  // namespace torva
