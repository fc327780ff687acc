// Files, shell words and tool runs for the end-to-end tests of the tool
// (POSIX hosts).
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace torvae2e {

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// `text` as one word for the shell.
inline std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

inline bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

struct Outcome {
    int status = -1;
    std::string out, err;
};

// Runs `command` (a shell word or several: the tool, with any environment
// before it) with `arguments` in `directory`, standard input from `input`
// ("" for /dev/null); what it printed is kept and its files removed.
inline Outcome RunTool(const std::string& command, const std::string& directory,
                       const std::vector<std::string>& arguments, const std::string& input = "") {
    std::string line = "cd " + Quote(directory) + " && " + command;
    for (const std::string& argument : arguments) line += " " + Quote(argument);
    line += " >.out 2>.err <" + (input.empty() ? std::string("/dev/null") : Quote(input));
    const int raw = std::system(line.c_str());
    Outcome outcome{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(directory + "/.out"),
                    ReadFile(directory + "/.err")};
    std::remove((directory + "/.out").c_str());
    std::remove((directory + "/.err").c_str());
    return outcome;
}

}  // namespace torvae2e
