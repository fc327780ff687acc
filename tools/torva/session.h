// One run of a command: the files it was given (directories walked, standard
// input spooled), what each of them is, and the members of archives.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/torva/file_system.h"
#include "tools/torva/options.h"
#include "tools/torva/report.h"
#include "tools/torva/staged_file.h"
#include "torvasoft/torvasoft.h"

namespace torva {

// A file to work on.
struct Source {
    std::string path;         // what is opened
    std::string display;      // how messages name it ("-" for standard input)
    std::string name;         // its own name, for detection and output names
    std::string relativeDir;  // where it lies under a walked directory, '/' separated
    bool walked = false;      // found by walking a directory, not named
    bool standardInput = false;  // '-': spooled from standard input
};

struct Member {
    std::string raw;   // the stored name's bytes
    std::string name;  // as shown and matched (UTF-8, see --names)
    uint64_t position = 0;
    uint64_t size = 0;
    bool hasTime = false;    // a stored time of zero is none
    uint64_t localTime = 0;  // FILETIME in local time, with the zone's offset of today
    uint64_t utcTime = 0;    // the stored time, UTC
    uint32_t row = 0;        // the table row, from 0 (torvasoft_member)
};

// What a file turned out to be.
struct Examined {
    Source source;
    uint64_t size = 0;
    int archiveKind = TORVASOFT_KIND_NONE;  // ALD or ALK
    int imageKind = TORVASOFT_KIND_NONE;    // QNT, PMS or VSP
    torvasoft_info info{};
    std::string libraryName;  // the name the library is given (LibraryNameFor)
    std::string head;        // the first bytes, for archives
};

// How many of an archive's members lie, wholly or in part, past its end.
size_t MembersPastEnd(const std::vector<Member>& members, uint64_t archiveSize);

const char* ArchiveKindName(int kind);  // "ALD", "ALK"
const char* ImageKindName(int kind);    // "QNT", "PMS", "VSP"

class Session {
public:
    Session(const Options& options, Reporter& reporter);

    const Options& options() const { return options_; }
    Reporter& reporter() { return reporter_; }

    // The files named in `operands`, directories walked under -r and
    // '-' read from standard input. Failures are reported; the rest come back
    // in command-line order, each directory's files sorted by name.
    std::vector<Source> sources(const std::vector<std::string>& operands);

    // Finds out what `source` is, leaving `input` open on it. False (with the
    // failure reported, unless a walked file is simply none of ours) when it
    // cannot be read or is neither an archive nor a picture.
    bool examine(const Source& source, Examined& file, InputFile& input);

    // Lists an examined archive. False (reported) when it cannot be listed;
    // `members` then holds none. A damaged table is reported and its
    // readable members are returned, with true; `tableWhole`, when given,
    // tells whether the table was read whole.
    bool listMembers(const Examined& file, InputFile& input, std::vector<Member>& members,
                     bool* tableWhole = nullptr);

    // Reads a member's bytes. False (reported) when it cannot be read; when
    // the member runs past the end of the archive it is reported as damaged,
    // and with `keepDamaged` the bytes that are there come back with true.
    bool readMember(const Examined& archive, InputFile& input, const Member& member, std::string& bytes,
                    bool keepDamaged, Messages& messages);

private:
    std::string notOurs(const Source& source) const;
    void walk(const std::string& path, const std::string& display, const std::string& relative,
              std::vector<Source>& found, int depth);

    const Options& options_;
    Reporter& reporter_;
    StagedFile spool_;  // the temporary copy of standard input
};

}  // namespace torva
