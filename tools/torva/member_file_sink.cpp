#include "tools/torva/member_file_sink.h"

#include <cstdio>
#include <memory>
#include <new>

#include "tools/torva/commands_internal.h"
#include "tools/torva/file_system_platform.h"

namespace torva {

bool FileSink::writeMember(size_t index) {
    const Input& input = inputs_[index];
    std::FILE* file = platform::OpenFile(input.path, "rb");
    if (file == nullptr) {
        problem = input.path + ": cannot open";
        return false;
    }
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kChunk]);
    if (!buffer) {
        std::fclose(file);
        problem = input.path + ": out of memory";
        return false;
    }
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

int WriteArchiveFile(const std::string& archive, bool overwrite, bool verbose, const std::vector<Input>& inputs,
                     const std::function<author::AuthorStatus(author::ArchiveSink&)>& write, Reporter& reporter) {
    StagedFile staged;
    std::string error;
    if (!MakeDirectories(archive.substr(0, archive.size() - BaseName(archive).size()), error) ||
        !staged.open(archive, error)) {
        reporter.print("torva: " + error, 1);
        return ExitFailed;
    }
    FileSink sink(staged, inputs);
    const author::AuthorStatus status = write(sink);
    if (status != author::AuthorStatus::Ok) {
        const std::string why = !sink.problem.empty() ? sink.problem : author::AuthorStatusText(status);
        reporter.print("torva: " + archive + ": " + why + "; not written", 1);
        return ExitFailed;
    }
    bool existed = false;
    if (!staged.commit(overwrite ? Replace::Always : Replace::Never, existed, error)) {
        reporter.print("torva: " + (existed ? archive + " exists (use --overwrite to replace it)" : error), 1);
        return ExitFailed;
    }
    if (verbose) {
        std::string names;
        for (const Input& input : inputs) {
            // Rows left empty have no file.
            if (!input.path.empty()) names += input.path + "\n";
        }
        WriteStandardOutput(names);
    }
    return ExitOk;
}

}  // namespace torva
