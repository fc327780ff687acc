#include "tools/torva/options.h"

#include <cstdlib>

#include "tools/torva/file_system.h"

namespace torva {
namespace {

typedef bool (*Handler)(const std::string& value, Options& options, std::string& fault);

// An option, the commands that take it, and what it does.
struct OptionUse {
    const char* shortName;
    const char* longName;
    bool takesValue;
    const char* commands;  // space-separated, with a space at each end
    Handler apply;
};

bool Flag(bool Options::*field, Options& options) {
    options.*field = true;
    return true;
}

bool ChooseExisting(Existing wanted, Options& options, std::string& fault) {
    if (options.existing != Existing::Refuse && options.existing != wanted) {
        fault = "--overwrite and --skip-existing exclude each other";
        return false;
    }
    options.existing = wanted;
    return true;
}

bool ChooseNames(const std::string& value, Options& options, std::string& fault) {
    if (value != "cp932" && value != "raw") {
        fault = "unknown names '" + value + "' (cp932 or raw)";
        return false;
    }
    options.names = value == "raw" ? NameMode::Raw : NameMode::Cp932;
    return true;
}

bool NameStandardInput(const std::string& value, Options& options, std::string& fault) {
    if (value.empty()) {
        fault = "the name is empty";
        return false;
    }
    options.inputName = value;
    return true;
}

const OptionUse kOptions[] = {
    {"-h", "--help", false, " info list extract convert encode pack mount ",
     [](const std::string&, Options& o, std::string&) { return Flag(&Options::help, o); }},
    {"-v", "--verbose", false, " extract convert encode pack ",
     [](const std::string&, Options& o, std::string&) { return Flag(&Options::verbose, o); }},
    {"", "--png", false, " mount ", [](const std::string&, Options& o, std::string&) { return Flag(&Options::png, o); }},
    {"-o", "--output", true, " extract convert encode pack ",
     [](const std::string& value, Options& o, std::string& fault) {
         if (value.empty()) {
             fault = "the output is empty";
             return false;
         }
         o.output = value;
         return true;
     }},
    {"-f", "--format", true, " convert ",
     [](const std::string& value, Options& o, std::string& fault) {
         if (value != "png" && value != "bmp") {
             fault = "unknown format '" + value + "' (png or bmp)";
             return false;
         }
         o.format = value;
         o.formatGiven = true;
         return true;
     }},
    // encode checks its formats against the output it is given.
    {"-f", "--format", true, " encode ",
     [](const std::string& value, Options& o, std::string&) {
         o.format = value;
         o.formatGiven = !value.empty();
         return true;
     }},
    {"-d", "--depth", true, " convert ",
     [](const std::string& value, Options& o, std::string& fault) {
         if (value != "16" && value != "24") {
             fault = "unknown depth '" + value + "' (16 or 24)";
             return false;
         }
         o.depth = value == "16" ? 16 : 24;
         return true;
     }},
    {"", "--level", true, " convert ",
     [](const std::string& value, Options& o, std::string& fault) {
         if (value == "fast") {
             o.level = PngLevel::Fast;
         } else if (value == "default") {
             o.level = PngLevel::Default;
         } else if (value == "best") {
             o.level = PngLevel::Best;
         } else {
             fault = "unknown level '" + value + "' (fast, default or best)";
             return false;
         }
         return true;
     }},
    {"-j", "--jobs", true, " convert ",
     [](const std::string& value, Options& o, std::string& fault) {
         char* end = nullptr;
         const unsigned long jobs = std::strtoul(value.c_str(), &end, 10);
         if (value.empty() || *end != '\0' || value[0] == '-' || jobs < 1 || jobs > 64) {
             fault = "the number of jobs must be from 1 to 64, not '" + value + "'";
             return false;
         }
         o.jobs = unsigned(jobs);
         return true;
     }},
    {"-r", "--recursive", false, " info list convert pack ",
     [](const std::string&, Options& o, std::string&) { return Flag(&Options::recursive, o); }},
    {"", "--flat", false, " convert ",
     [](const std::string&, Options& o, std::string&) { return Flag(&Options::flat, o); }},
    {"", "--json", false, " info list ",
     [](const std::string&, Options& o, std::string&) { return Flag(&Options::json, o); }},
    {"", "--keep-damaged", false, " extract convert ",
     [](const std::string&, Options& o, std::string&) { return Flag(&Options::keepDamaged, o); }},
    {"", "--overwrite", false, " extract convert encode pack ",
     [](const std::string&, Options& o, std::string& fault) { return ChooseExisting(Existing::Overwrite, o, fault); }},
    {"", "--skip-existing", false, " extract convert ",
     [](const std::string&, Options& o, std::string& fault) { return ChooseExisting(Existing::Skip, o, fault); }},
    {"", "--stdout", false, " extract ",
     [](const std::string&, Options& o, std::string&) { return Flag(&Options::toStandardOutput, o); }},
    {"", "--force", false, " extract convert encode ",
     [](const std::string&, Options& o, std::string&) { return Flag(&Options::toTerminal, o); }},
    {"", "--names", true, " info list extract convert ", ChooseNames},
    {"", "--name", true, " info list extract convert encode ", NameStandardInput},
    {"-m", "--member", true, " convert ",
     [](const std::string& value, Options& o, std::string&) {
         o.members.push_back(value);
         return true;
     }},
    {"", "--at", true, " encode ",
     [](const std::string& value, Options& o, std::string&) {
         o.at = value;
         o.atGiven = true;
         return true;
     }},
    {"", "--like", true, " encode ",
     [](const std::string& value, Options& o, std::string&) {
         o.like = value;
         return true;
     }},
    {"", "--list", true, " pack ",
     [](const std::string& value, Options& o, std::string&) {
         o.list = value;
         o.listGiven = true;
         return true;
     }},
    {"", "--manifest", true, " pack ",
     [](const std::string& value, Options& o, std::string& fault) {
         if (value.empty()) {
             fault = "the manifest's name is empty";
             return false;
         }
         o.manifest = value;
         return true;
     }},

    // test: reads and decodes, writes nothing.
    {"-h", "--help", false, " test ",
     [](const std::string&, Options& o, std::string&) { return Flag(&Options::help, o); }},
    {"-r", "--recursive", false, " test ",
     [](const std::string&, Options& o, std::string&) { return Flag(&Options::recursive, o); }},
    {"", "--json", false, " test ",
     [](const std::string&, Options& o, std::string&) { return Flag(&Options::json, o); }},
    {"", "--names", true, " test ", ChooseNames},
    {"", "--name", true, " test ", NameStandardInput},
};

const OptionUse* FindOption(const std::string& command, const std::string& name) {
    for (const OptionUse& option : kOptions) {
        if (name != option.shortName && name != option.longName) continue;
        if (std::string(option.commands).find(" " + command + " ") != std::string::npos) return &option;
    }
    return nullptr;
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
    if (options.command == "convert" && !options.output.empty() && !IsDirectory(options.output) &&
        !OutputNamesFile(options.output, fromExtension) && !OutputExtension(options.output).empty()) {
        fault = "the output " + options.output +
                " is no directory and no output convert knows: a .png or .bmp file, or a directory (a name without "
                "an extension, or one that exists)";
        return false;
    }
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

std::string OutputExtension(const std::string& output) {
    const std::string name = BaseName(output);
    const size_t dot = name.rfind('.');
    // ".hidden", "..", "name." have none.
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size() || name == "..") return std::string();
    std::string extension = name.substr(dot);
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return extension;
}

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
        // Short options combine as in "-rv"; one that takes a value ends the
        // group and takes the rest of the argument, or else the next one
        // ("-ofile", "-vo file").
        std::string name, value;
        bool hasValue = SplitOptionArgument(argument, name, value);
        for (;;) {
            const OptionUse* option = FindOption(command, name);
            const bool grouped = hasValue && argument[1] != '-' && option != nullptr && !option->takesValue;
            if (option == nullptr || (hasValue && !option->takesValue && !grouped)) {
                fault = "unknown option " + (option == nullptr && argument[1] != '-' ? name : argument);
                return false;
            }
            if (option->takesValue && !hasValue) {
                if (i + 1 >= arguments.size()) {
                    fault = "option " + name + " needs a value";
                    return false;
                }
                value = arguments[++i];
            }
            if (!option->apply(grouped ? std::string() : value, options, fault)) return false;
            if (!grouped) break;
            name = "-" + value.substr(0, 1);
            value.erase(0, 1);
            hasValue = !value.empty();
        }
    }
    // The writing commands check their choices themselves.
    if (options.help || command == "encode" || command == "pack" || command == "mount") return true;
    return CheckCombination(options, fault);
}

}  // namespace torva
