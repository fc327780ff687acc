// The command line of torva: which options each command takes, and what
// they ask for.
#pragma once

#include <string>
#include <vector>

#include "tools/torva/member_names.h"
#include "tools/torva/bitmap_png.h"

namespace torva {

enum class Existing {
    Refuse,     // an output file that exists is named and not replaced
    Overwrite,  // --overwrite
    Skip,       // --skip-existing
};

// What the command line asks for, for every command.
struct Options {
    std::string command;
    bool help = false;
    bool verbose = false;
    bool png = false;  // mount: each picture member also as NAME.png
    bool recursive = false;
    bool flat = false;
    bool json = false;
    bool keepDamaged = false;
    bool toStandardOutput = false;  // extract --stdout, or -o -
    bool toTerminal = false;        // --force: binary output even to a terminal
    Existing existing = Existing::Refuse;
    NameMode names = NameMode::Cp932;
    std::string output;
    std::string format = "png";  // convert: png or bmp; encode: as given
    bool formatGiven = false;
    int depth = 24;
    PngLevel level = PngLevel::Default;
    unsigned jobs = 0;  // 0: one per core
    std::string inputName;  // --name: the name of what '-' reads
    std::vector<std::string> members;  // convert --member
    std::string at;                    // encode --at, as given
    bool atGiven = false;
    std::string like;                  // encode --like: the original picture whose header is kept
    std::string list;                  // pack --list FILE
    bool listGiven = false;
    std::string manifest;              // pack --manifest FILE (extract's record of an archive)
    std::vector<std::string> operands;
};

// Splits an option argument into its name and, for "--name=value" and
// "-xvalue", its attached value; returns whether a value was attached.
bool SplitOptionArgument(const std::string& argument, std::string& name, std::string& value);

// Parses the arguments after the command name: one table says which
// commands take each option and hands its value to the option's handler;
// a command that reads the game's files then has its choices checked
// together. False with `fault` set for a usage error. A new command is
// named in the `commands` lists of the options it takes.
bool ParseOptions(const std::string& command, const std::vector<std::string>& arguments, Options& options,
                  std::string& fault);

// The extension of an output's last component, lower case with its dot
// (".png"); empty when it has none. A name without one is a directory.
std::string OutputExtension(const std::string& output);

// True when -o names one file (its extension is .png or .bmp) rather than a
// directory; sets `format` to what the extension says.
bool OutputNamesFile(const std::string& output, std::string& format);

}  // namespace torva
