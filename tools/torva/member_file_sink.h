// The archive writers' sink for members held in files: each member's file
// copied into the archive, exactly the size it had when it was checked.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "author/archive_packer.h"
#include "tools/torva/file_system.h"
#include "tools/torva/report.h"
#include "tools/torva/staged_file.h"

namespace torva {

struct Input {
    std::string path;
    FileFacts facts;
};

// Member i is the file inputs[i].
class FileSink : public author::ArchiveSink {
public:
    FileSink(StagedFile& out, const std::vector<Input>& inputs) : out_(out), inputs_(inputs) {}

    bool write(const uint8_t* bytes, size_t count) override { return out_.write(bytes, count); }

    bool writeMember(size_t index) override;

    std::string problem;

private:
    static const size_t kChunk = 1 << 20;
    StagedFile& out_;
    const std::vector<Input>& inputs_;
};

// Writes `archive` (staged, then renamed into place) with `write`, which
// streams the archive to the sink over `inputs`; under `verbose` names each
// member file packed. Nothing is left behind on a refusal. Returns the
// command's exit status.
int WriteArchiveFile(const std::string& archive, bool overwrite, bool verbose, const std::vector<Input>& inputs,
                     const std::function<author::AuthorStatus(author::ArchiveSink&)>& write, Reporter& reporter);

}  // namespace torva
