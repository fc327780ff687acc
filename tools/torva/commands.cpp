#include "tools/torva/commands.h"

#include <memory>

#include "torvasoft/version.h"
#include "tools/torva/authoring_commands.h"
#include "tools/torva/commands_internal.h"
#include "tools/torva/help_text.h"
#include "tools/torva/mount_command.h"
#include "tools/torva/plugin_host.h"

namespace torva {
namespace {

int UsageError(const std::string& command, const std::string& message) {
    WriteStandardError("torva: " + message + "\nTry 'torva " + (command.empty() ? "" : command + " ") +
                       "--help'.\n");
    return ExitUsage;
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

int RunTool(const std::vector<std::string>& arguments) {
    if (arguments.empty()) return UsageError("", "no command given");
    const std::string& command = arguments[0];
    if (command == "-h" || command == "--help") return PrintText(kMainHelp);
    if (command == "--version") return PrintText("torva " TORVASOFT_VERSION_STRING "\n");
    const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
    if (command == "encode") return RunEncode(rest);
    if (command == "pack") return RunPack(rest);
    if (command == "mount") return Finish(RunMount(rest));
    if (command == "help") {
        if (arguments.size() == 1) return PrintText(kMainHelp);
        if (arguments.size() == 2 && arguments[1] == "encode") return RunEncode({"--help"});
        if (arguments.size() == 2 && arguments[1] == "pack") return RunPack({"--help"});
        if (arguments.size() == 2 && arguments[1] == "mount") return Finish(RunMount({"--help"}));
        const char* help = CommandHelp(arguments[1]);
        if (help == nullptr || arguments.size() > 2) {
            return UsageError("", arguments.size() > 2 ? "help takes one command" : "unknown command '" + arguments[1] + "'");
        }
        return PrintText(help);
    }
    const char* help = CommandHelp(command);
    if (help == nullptr) return UsageError("", "unknown command '" + command + "'");

    Options options;
    std::string fault;
    if (!ParseOptions(command, std::vector<std::string>(arguments.begin() + 1, arguments.end()), options, fault)) {
        return UsageError(command, fault);
    }
    if (options.help) return PrintText(help);
    if (options.operands.empty()) {
        return UsageError(command, command == "info" || command == "convert" ? "no file given" : "no archive given");
    }

    std::string error;
    std::unique_ptr<PluginHost> host = OpenPluginHost(error);
    if (!host) {
        WriteStandardError("torva: " + error + "\n");
        return ExitFailed;
    }
    Reporter reporter;
    Session session(*host, options, reporter);
    int status = ExitOk;
    if (command == "info") status = RunInfo(session);
    if (command == "list") status = RunList(session);
    if (command == "extract") status = RunExtract(session);
    if (command == "convert") status = RunConvert(session);
    return Finish(status);
}

}  // namespace torva
