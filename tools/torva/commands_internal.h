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

// The file name for a member's (or file's) name, reporting a change once.
std::string MappedFileName(const std::string& label, const std::string& name, Messages& messages);

// False (reported) when binary output would go to standard output and that
// is a terminal, unless --force asks for it anyway.
bool MayWriteToStandardOutput(bool toTerminal, Messages& messages);

// True for the picture extensions .qnt, .pms and .vsp.
bool IsPictureName(const std::string& name);

}  // namespace torva
