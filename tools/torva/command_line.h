// A small reader of command-line options for the authoring commands:
// "--name value", "--name=value", "-x value", "-xvalue", flags, and "--"
// before operands that start with '-'.
#pragma once

#include <string>
#include <vector>

namespace torva {

class CommandLine {
public:
    CommandLine(const std::vector<std::string>& arguments, const std::vector<std::string>& flags,
                const std::vector<std::string>& valued);

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    // Whether the option (or its other spelling) was given.
    bool has(const std::string& name, const std::string& alias = std::string()) const;
    // The last value given under either spelling, or empty.
    std::string value(const std::string& name, const std::string& alias = std::string()) const;
    const std::vector<std::string>& operands() const { return operands_; }

private:
    std::vector<std::pair<std::string, std::string>> given_;
    std::vector<std::string> operands_;
    std::string error_;
};

}  // namespace torva
