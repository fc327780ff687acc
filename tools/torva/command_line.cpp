#include "tools/torva/command_line.h"

#include <algorithm>

#include "tools/torva/options.h"

namespace torva {

CommandLine::CommandLine(const std::vector<std::string>& arguments, const std::vector<std::string>& flags,
                         const std::vector<std::string>& valued) {
    auto known = [](const std::vector<std::string>& names, const std::string& name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    bool onlyOperands = false;
    for (size_t i = 0; i < arguments.size() && error_.empty(); ++i) {
        const std::string& argument = arguments[i];
        if (onlyOperands || argument.size() < 2 || argument[0] != '-') {
            operands_.push_back(argument);
            continue;
        }
        if (argument == "--") {
            onlyOperands = true;
            continue;
        }
        std::string name, value;
        const bool hasValue = SplitOptionArgument(argument, name, value);
        if (known(flags, name) && !hasValue) {
            given_.emplace_back(name, "");
        } else if (known(valued, name)) {
            if (!hasValue) {
                if (i + 1 >= arguments.size()) {
                    error_ = "option " + name + " needs a value";
                    break;
                }
                value = arguments[++i];
            }
            given_.emplace_back(name, value);
        } else {
            error_ = "unknown option " + argument;
        }
    }
}

bool CommandLine::has(const std::string& name, const std::string& alias) const {
    for (const auto& option : given_) {
        if (option.first == name || (!alias.empty() && option.first == alias)) return true;
    }
    return false;
}

std::string CommandLine::value(const std::string& name, const std::string& alias) const {
    std::string found;
    for (const auto& option : given_) {
        if (option.first == name || (!alias.empty() && option.first == alias)) found = option.second;
    }
    return found;
}

}  // namespace torva
