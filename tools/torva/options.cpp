#include "tools/torva/options.h"

#include <cstdlib>

#include "tools/torva/file_system.h"

namespace torva {
namespace {

// Which command takes which option.
struct OptionUse {
    const char* shortName;
    const char* longName;
    bool takesValue;
    const char* commands;  // space-separated, with a space at each end
};

const OptionUse kOptions[] = {
    {"-h", "--help", false, " info list extract convert "},
    {"-v", "--verbose", false, " extract convert "},
    {"-o", "--output", true, " extract convert "},
    {"-f", "--format", true, " convert "},
    {"-d", "--depth", true, " convert "},
    {"", "--level", true, " convert "},
    {"-j", "--jobs", true, " convert "},
    {"-r", "--recursive", false, " info list convert "},
    {"", "--flat", false, " convert "},
    {"", "--json", false, " info list "},
    {"", "--keep-damaged", false, " extract convert "},
    {"", "--overwrite", false, " extract convert "},
    {"", "--skip-existing", false, " extract convert "},
    {"", "--stdout", false, " extract "},
    {"", "--names", true, " info list extract convert "},
    {"", "--name", true, " info list extract convert "},
    {"-m", "--member", true, " convert "},
};

const OptionUse* FindOption(const std::string& command, const std::string& name) {
    for (const OptionUse& option : kOptions) {
        if (name != option.shortName && name != option.longName) continue;
        if (std::string(option.commands).find(" " + command + " ") == std::string::npos) return nullptr;
        return &option;
    }
    return nullptr;
}

bool Apply(const std::string& name, const std::string& value, Options& options, std::string& fault) {
    if (name == "-h" || name == "--help") {
        options.help = true;
    } else if (name == "-v" || name == "--verbose") {
        options.verbose = true;
    } else if (name == "-o" || name == "--output") {
        if (value.empty()) {
            fault = "the output is empty";
            return false;
        }
        options.output = value;
    } else if (name == "-f" || name == "--format") {
        if (value != "png" && value != "bmp") {
            fault = "unknown format '" + value + "' (png or bmp)";
            return false;
        }
        options.format = value;
        options.formatGiven = true;
    } else if (name == "-d" || name == "--depth") {
        if (value != "16" && value != "24") {
            fault = "unknown depth '" + value + "' (16 or 24)";
            return false;
        }
        options.depth = value == "16" ? 16 : 24;
    } else if (name == "--level") {
        if (value == "fast") {
            options.level = PngLevel::Fast;
        } else if (value == "default") {
            options.level = PngLevel::Default;
        } else if (value == "best") {
            options.level = PngLevel::Best;
        } else {
            fault = "unknown level '" + value + "' (fast, default or best)";
            return false;
        }
    } else if (name == "-j" || name == "--jobs") {
        char* end = nullptr;
        const unsigned long jobs = std::strtoul(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || value[0] == '-' || jobs < 1 || jobs > 64) {
            fault = "the number of jobs must be from 1 to 64, not '" + value + "'";
            return false;
        }
        options.jobs = unsigned(jobs);
    } else if (name == "-r" || name == "--recursive") {
        options.recursive = true;
    } else if (name == "--flat") {
        options.flat = true;
    } else if (name == "--json") {
        options.json = true;
    } else if (name == "--keep-damaged") {
        options.keepDamaged = true;
    } else if (name == "--overwrite" || name == "--skip-existing") {
        const Existing wanted = name == "--overwrite" ? Existing::Overwrite : Existing::Skip;
        if (options.existing != Existing::Refuse && options.existing != wanted) {
            fault = "--overwrite and --skip-existing exclude each other";
            return false;
        }
        options.existing = wanted;
    } else if (name == "--stdout") {
        options.toStandardOutput = true;
    } else if (name == "--names") {
        if (value != "cp932" && value != "raw") {
            fault = "unknown names '" + value + "' (cp932 or raw)";
            return false;
        }
        options.names = value == "raw" ? NameMode::Raw : NameMode::Cp932;
    } else if (name == "--name") {
        if (value.empty()) {
            fault = "the name is empty";
            return false;
        }
        options.inputName = value;
    } else if (name == "-m" || name == "--member") {
        options.members.push_back(value);
    }
    return true;
}

// Checks that the options asked for go together.
bool CheckCombination(Options& options, std::string& fault) {
    if (options.output == "-") {
        options.toStandardOutput = true;
        options.output.clear();
    } else if (options.toStandardOutput && !options.output.empty()) {
        fault = "--stdout and -o exclude each other";
        return false;
    }
    std::string fromExtension;
    if (!options.output.empty() && OutputNamesFile(options.output, fromExtension) && !IsDirectory(options.output)) {
        if (options.formatGiven && options.format != fromExtension) {
            fault = "the output " + options.output + " is no " + options.format + " file";
            return false;
        }
        options.format = fromExtension;
    }
    if (options.depth == 16 && options.format == "png") {
        fault = "--depth 16 applies to BMP only: PNG keeps every picture's full precision and alpha";
        return false;
    }
    size_t fromInput = 0;
    for (const std::string& operand : options.operands) fromInput += operand == "-";
    if (fromInput > 1) {
        fault = "standard input ('-') can be read only once";
        return false;
    }
    if (!options.inputName.empty() && fromInput == 0) {
        fault = "--name names what '-' reads, and no '-' is given";
        return false;
    }
    return true;
}

}  // namespace

bool OutputNamesFile(const std::string& output, std::string& format) {
    if (output.size() < 5) return false;
    std::string extension = output.substr(output.size() - 4);
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    if (extension != ".png" && extension != ".bmp") return false;
    format = extension.substr(1);
    return true;
}

bool SplitOptionArgument(const std::string& argument, std::string& name, std::string& value) {
    name = argument;
    value.clear();
    if (argument.compare(0, 2, "--") == 0) {
        const size_t equals = argument.find('=');
        if (equals == std::string::npos) return false;
        name = argument.substr(0, equals);
        value = argument.substr(equals + 1);
        return true;
    }
    if (argument.size() <= 2) return false;
    name = argument.substr(0, 2);
    value = argument.substr(2);
    return true;
}

bool ParseOptions(const std::string& command, const std::vector<std::string>& arguments, Options& options,
                  std::string& fault) {
    options.command = command;
    bool onlyOperands = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (onlyOperands || argument.size() < 2 || argument[0] != '-') {
            options.operands.push_back(argument);
            continue;
        }
        if (argument == "--") {
            onlyOperands = true;
            continue;
        }
        std::string name, value;
        const bool hasValue = SplitOptionArgument(argument, name, value);
        const OptionUse* option = FindOption(command, name);
        if (option == nullptr || (hasValue && !option->takesValue)) {
            fault = "unknown option " + argument;
            return false;
        }
        if (option->takesValue && !hasValue) {
            if (i + 1 >= arguments.size()) {
                fault = "option " + name + " needs a value";
                return false;
            }
            value = arguments[++i];
        }
        if (!Apply(name, value, options, fault)) return false;
    }
    return options.help || CheckCombination(options, fault);
}

}  // namespace torva
