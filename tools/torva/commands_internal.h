// The commands behind RunTool, and what extract and convert share.
#pragma once

#include <string>

#include "tools/torva/commands.h"
#include "tools/torva/glob.h"
#include "tools/torva/member_names.h"
#include "tools/torva/session.h"

namespace torva {

int RunInfo(Session& session);
int RunList(Session& session);
int RunExtract(Session& session);
int RunConvert(Session& session);
int RunTest(Session& session);

// Says what is wrong with the command line and where help is; returns
// ExitUsage.
int UsageError(const std::string& command, const std::string& message);

// Whether an output file may be written, before any work is spent on it:
// false when it exists and is to be refused (reported) or skipped (quietly).
bool MayWrite(const std::string& path, Existing existing, Messages& messages);

// Writes one output file under the existing-file rule; false when it was not
// written (a refusal or failure is reported, a skip is quiet).
bool WriteOutput(const std::string& path, const std::string& bytes, Existing existing, const std::string& label,
                 Messages& messages);

// The one rule for output names in every command that writes files: the
// output file name for `name` (a member's or a file's) in `directory` (a
// '/'-separated path under the output, as NameRegistry takes it), made safe (FileNameFor) and numbered
// "~2", "~3"... when an earlier output of the run has it already. `note`
// receives what was changed and why, in one message, or is left empty; the
// caller reports it once, as a note, when it writes the file. `how` begins
// the note ("shown as" for the files of a mount).
std::string ClaimOutputName(NameRegistry& names, const std::string& directory, const std::string& name,
                            std::string& note, const char* how = "written as");

// False (reported) when binary output would go to standard output and that
// is a terminal, unless --force asks for it anyway.
bool MayWriteToStandardOutput(bool toTerminal, Messages& messages);

// True for the picture extensions .qnt, .pms and .vsp.
bool IsPictureName(const std::string& name);

}  // namespace torva
