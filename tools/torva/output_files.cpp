// Output files: names made safe, and the rule for files that exist.
#include "tools/torva/commands_internal.h"
#include "tools/torva/staged_file.h"

namespace torva {
namespace {

const char kRefusal[] = "exists; not replaced (--overwrite replaces it, --skip-existing passes it over)";

}  // namespace

bool MayWrite(const std::string& path, Existing existing, Messages& messages) {
    if (existing == Existing::Overwrite || !FileExists(path)) return true;
    if (existing == Existing::Refuse) messages.fail(path, kRefusal);
    return false;
}

bool WriteOutput(const std::string& path, const std::string& bytes, Existing existing, const std::string& label,
                 Messages& messages) {
    std::string error;
    const size_t name = path.size() - BaseName(path).size();
    if (name > 0 && !MakeDirectories(path.substr(0, name), error)) {
        messages.fail(label, error);
        return false;
    }
    bool existed = false;
    if (WriteFileAtomically(path, bytes, existing == Existing::Overwrite ? Replace::Always : Replace::Never, existed,
                            error)) {
        return true;
    }
    if (existed) {
        // Another program made it since the run began.
        if (existing == Existing::Refuse) messages.fail(path, kRefusal);
        return false;
    }
    messages.fail(label, error);
    return false;
}

std::string ClaimOutputName(NameRegistry& names, const std::string& directory, const std::string& name,
                            std::string& note, const char* how) {
    std::string why;
    const std::string safe = FileNameFor(name, why);
    const std::string claimed = names.claim(directory, safe);
    std::string reasons = why.empty() ? std::string() : "the name " + why;
    if (claimed != safe) {
        reasons += (reasons.empty() ? "" : "; ") + safe + " is the name of an earlier output";
    }
    note = reasons.empty() ? std::string() : how + (" " + claimed) + " (" + reasons + ")";
    return claimed;
}

bool MayWriteToStandardOutput(bool toTerminal, Messages& messages) {
    if (toTerminal || !StandardOutputIsTerminal()) return true;
    messages.fail("standard output",
                  "is a terminal, and the output is binary; not written (redirect it to a file or a pipe, or "
                  "--force writes it anyway)");
    return false;
}

bool IsPictureName(const std::string& name) {
    std::string extension = name.size() >= 4 ? name.substr(name.size() - 4) : std::string();
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return extension == ".qnt" || extension == ".pms" || extension == ".vsp";
}

}  // namespace torva
