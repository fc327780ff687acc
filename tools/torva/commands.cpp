#include "tools/torva/commands.h"

#include "torvasoft/version.h"
#include "tools/torva/authoring_commands.h"
#include "tools/torva/commands_internal.h"
#include "tools/torva/help_text.h"
#include "tools/torva/mount_command.h"

namespace torva {
namespace {

// The commands: a new one is one entry here, its help in help_text.cpp and
// its name in the option table's lists.
struct Command {
    const char* name;
    int (*run)(const Options& options, Reporter& reporter);
    // The usage error for no operands; null where the command checks its
    // operands itself.
    const char* noOperands;
};

template <int (*Run)(Session&)>
int InSession(const Options& options, Reporter& reporter) {
    Session session(options, reporter);
    return Run(session);
}

const Command kCommands[] = {
    {"info", InSession<RunInfo>, "no file given"},
    {"list", InSession<RunList>, "no archive given"},
    {"extract", InSession<RunExtract>, "no archive given"},
    {"convert", InSession<RunConvert>, "no file given"},
    {"test", InSession<RunTest>, "no file given"},
    {"encode", RunEncode, nullptr},
    {"pack", RunPack, nullptr},
    {"mount", RunMount, "no archive given"},
};

const Command* FindCommand(const std::string& name) {
    for (const Command& command : kCommands) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

// Standard output is checked once at the end: anything lost on the way
// (a full disk, a closed pipe) turns the run into a failure.
int Finish(int status) {
    std::string error;
    if (!FlushStandardOutput(error)) {
        WriteStandardError("torva: standard output: cannot write: " + error + "\n");
        return ExitFailed;
    }
    return status;
}

int PrintText(const char* text) {
    WriteStandardOutput(text);
    return Finish(ExitOk);
}

}  // namespace

int UsageError(const std::string& command, const std::string& message) {
    WriteStandardError("torva: " + message + "\nTry 'torva " + (command.empty() ? "" : command + " ") +
                       "--help'.\n");
    return ExitUsage;
}

int RunTool(const std::vector<std::string>& arguments) {
    if (arguments.empty()) return UsageError("", "no command given");
    const std::string& name = arguments[0];
    if (name == "-h" || name == "--help") return PrintText(kMainHelp);
    if (name == "--version") {
        if (arguments.size() > 1) return UsageError("", "--version takes nothing after it");
        return PrintText("torva " TORVASOFT_VERSION_STRING "\n");
    }
    if (name == "help") {
        if (arguments.size() == 1) return PrintText(kMainHelp);
        const bool ownHelp = arguments[1] == "-h" || arguments[1] == "--help";
        const char* help = CommandHelp(ownHelp ? "help" : arguments[1]);
        if (help == nullptr || arguments.size() > 2) {
            return UsageError("", arguments.size() > 2 ? "help takes one command" : "unknown command '" + arguments[1] + "'");
        }
        return PrintText(help);
    }
    const Command* command = FindCommand(name);
    const char* help = CommandHelp(name);
    if (command == nullptr || help == nullptr) return UsageError("", "unknown command '" + name + "'");

    Options options;
    std::string fault;
    if (!ParseOptions(name, std::vector<std::string>(arguments.begin() + 1, arguments.end()), options, fault)) {
        return UsageError(name, fault);
    }
    if (options.help) return PrintText(help);
    if (options.operands.empty() && command->noOperands != nullptr) return UsageError(name, command->noOperands);
    Reporter reporter;
    return Finish(command->run(options, reporter));
}

}  // namespace torva
