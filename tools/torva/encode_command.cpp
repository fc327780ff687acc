// torva encode: PNG or BMP pictures to QNT, PMS or VSP.
#include <cstdio>
#include <set>

#include "author/picture_encoder.h"
#include "author/picture_reader.h"
#include "tools/torva/authoring_commands.h"
#include "tools/torva/commands_internal.h"
#include "tools/torva/file_system.h"
#include "tools/torva/member_names.h"
#include "tools/torva/staged_file.h"

namespace torva {
namespace {

struct FormatName {
    const char* name;
    author::PictureFormat format;
    const char* extension;
    const char* title;
};

const FormatName kFormats[] = {
    {"qnt", author::PictureFormat::Qnt, ".qnt", "QNT"},
    {"pms8", author::PictureFormat::Pms8, ".pms", "8-bit PMS"},
    {"pms16", author::PictureFormat::Pms16, ".pms", "16-bit PMS"},
    {"vsp", author::PictureFormat::Vsp, ".vsp", "VSP"},
};

const FormatName& Describe(author::PictureFormat format) {
    for (const FormatName& f : kFormats) {
        if (f.format == format) return f;
    }
    return kFormats[0];
}

int Usage(const std::string& message) { return UsageError("encode", message); }

// Why the format cannot hold the picture, in the user's terms.
std::string Refusal(author::AuthorStatus status, const FormatName& format, const author::EncodeReport& report,
                    const author::InputPicture& picture, const author::EncodeOptions& options) {
    using author::AuthorStatus;
    const std::string size = std::to_string(picture.width) + " x " + std::to_string(picture.height);
    switch (status) {
    case AuthorStatus::TooManyColours:
        return std::string(format.title) + " holds at most " + (options.format == author::PictureFormat::Vsp ? "16" : "256") +
               " colours and the picture has " + std::to_string(report.colours) +
               (options.format == author::PictureFormat::Vsp ? "" : " (pms16 or qnt hold any number)");
    case AuthorStatus::HasAlpha:
        return std::string("the picture has translucent pixels and ") + format.title +
               " has no alpha (pms16 and qnt have)";
    case AuthorStatus::NotFourBitLevels:
        return "VSP colours are made of the 16 levels 0, 17, 34 ... 255 a channel, and some colour of the picture is not";
    case AuthorStatus::BadWidth:
        return "VSP widths are multiples of 8 and the picture is " + size;
    case AuthorStatus::OutOfBounds:
        return "a VSP picture is at most 640 x 400 at X 0..640 (a multiple of 8) and Y 0..400; this one is " + size +
               " at " + std::to_string(options.left) + "," + std::to_string(options.top);
    default: return author::AuthorStatusText(status);
    }
}

bool ParsePosition(const std::string& text, uint32_t& x, uint32_t& y) {
    unsigned long a = 0, b = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%lu,%lu%c", &a, &b, &tail) != 2 || a > 100000 || b > 100000) return false;
    if (text.empty() || text[0] < '0' || text[0] > '9') return false;
    x = uint32_t(a);
    y = uint32_t(b);
    return true;
}

}  // namespace

int RunEncode(const Options& given, Reporter& reporter) {
    const std::vector<std::string>& inputs = given.operands;
    if (inputs.empty()) return Usage("no picture given");

    const std::string& output = given.output;
    const bool toStandardOutput = output == "-";
    const bool toDirectory = output.empty() || (!toStandardOutput && IsDirectory(output));
    const std::string extension = toDirectory || toStandardOutput ? std::string() : OutputExtension(output);
    const bool toFile = extension == ".qnt" || extension == ".pms" || extension == ".vsp";
    // A name without an extension is a directory to write into.
    if (!extension.empty() && !toFile) {
        return Usage("the output " + output +
                     " is no output encode knows: a .qnt, .pms or .vsp file, '-' (standard output) or a directory "
                     "(a name without an extension, or one that exists)");
    }
    if ((toFile || toStandardOutput) && inputs.size() != 1) {
        return Usage("-o " + output + " names one file, and " + std::to_string(inputs.size()) + " pictures were given");
    }
    size_t fromInput = 0;
    for (const std::string& input : inputs) fromInput += input == "-";
    if (fromInput > 1) return Usage("standard input ('-') can be read only once");
    if (!given.inputName.empty() && fromInput == 0) return Usage("--name names what '-' reads, and no '-' is given");

    author::EncodeOptions options;
    bool formatGiven = false, pmsEitherDepth = false;
    const std::string formatName = given.formatGiven ? given.format : std::string();
    if (!formatName.empty()) {
        for (const FormatName& f : kFormats) {
            if (formatName == f.name) {
                options.format = f.format;
                formatGiven = true;
            }
        }
        if (!formatGiven) return Usage("unknown format '" + formatName + "' (qnt, pms8, pms16 or vsp)");
        if (toFile && extension != Describe(options.format).extension) {
            return Usage("--format " + formatName + " writes " + Describe(options.format).extension + " files, not " + extension);
        }
    } else if (toFile) {
        options.format = extension == ".qnt" ? author::PictureFormat::Qnt
                         : extension == ".vsp" ? author::PictureFormat::Vsp
                                               : author::PictureFormat::Pms8;
        pmsEitherDepth = extension == ".pms";
    } else {
        return Usage("say which format to write: --format qnt|pms8|pms16|vsp, or -o FILE with its extension");
    }
    if (given.atGiven) {
        if (options.format != author::PictureFormat::Vsp) return Usage("--at applies to VSP only");
        if (!ParsePosition(given.at, options.left, options.top)) {
            return Usage("--at takes X,Y, two numbers such as 64,120");
        }
    }
    const bool overwrite = given.existing == Existing::Overwrite, verbose = given.verbose;
    const std::string directory = toFile || toStandardOutput ? std::string() : output;
    std::string error;
    if (toStandardOutput && !MayWriteToStandardOutput(given.toTerminal, reporter)) return ExitFailed;
    if (!toStandardOutput &&
        !MakeDirectories(toFile ? output.substr(0, output.size() - BaseName(output).size()) : directory, error)) {
        reporter.print("torva: " + error, 1);
        return ExitFailed;
    }

    std::set<std::string> written;
    auto fail = [&](const std::string& what, const std::string& why) { reporter.fail(what, why); };
    for (const std::string& path : inputs) {
        // Standard input is shown and named by --name, or as "-" and "stdin".
        const bool standardInput = path == "-";
        const std::string input = standardInput && !given.inputName.empty() ? given.inputName : path;
        const std::string inputName = standardInput && given.inputName.empty() ? std::string("stdin") : input;
        std::string bytes;
        if (standardInput) {
            if (!ReadStandardInput(bytes, error)) {
                fail(input, "cannot read standard input: " + error);
                continue;
            }
        } else {
            InputFile file;
            if (!file.open(path, error)) {
                fail(input, "cannot open: " + error);
                continue;
            }
            if (file.size() > (uint64_t{1} << 30) || !file.read(0, size_t(file.size()), bytes)) {
                fail(input, "cannot read");
                continue;
            }
        }
        author::InputPicture picture;
        const char* reason = "";
        if (!author::ReadInputPicture(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), picture, &reason)) {
            fail(input, reason);
            continue;
        }
        author::EncodeOptions chosen = options;
        author::EncodeReport report;
        author::ByteBuffer encoded;
        author::AuthorStatus status = author::EncodePicture(picture.source(), chosen, encoded, &report);
        if (pmsEitherDepth &&
            (status == author::AuthorStatus::TooManyColours || status == author::AuthorStatus::HasAlpha)) {
            reporter.note(input, std::string("note: ") +
                                     (status == author::AuthorStatus::HasAlpha
                                          ? std::string("the picture has translucent pixels")
                                          : "the picture has " + std::to_string(report.colours) + " colours") +
                                     ", so it is written as 16-bit PMS");
            chosen.format = author::PictureFormat::Pms16;
            status = author::EncodePicture(picture.source(), chosen, encoded, &report);
        }
        const FormatName& format = Describe(chosen.format);
        if (status != author::AuthorStatus::Ok) {
            fail(input, Refusal(status, format, report, picture, chosen));
            continue;
        }
        if (picture.narrowed) {
            reporter.note(input, "note: 16-bit channels narrowed to 8 bits");
        }
        if (report.rounded) {
            reporter.note(input, "note: colours rounded to 5-6-5, the precision of 16-bit PMS");
        }
        if (toStandardOutput) {
            if (!WriteStandardOutput(std::string(reinterpret_cast<const char*>(encoded.data()), encoded.size()))) {
                fail("standard output", "cannot write");
            } else if (verbose) {
                reporter.print(input + " -> standard output (" + format.title + ", " +
                                   std::to_string(encoded.size()) + " bytes)",
                               0);
            }
            continue;
        }
        const std::string target =
            toFile ? output : JoinPath(directory, ReplaceExtension(BaseName(inputName), format.extension));
        if (!written.insert(target).second) {
            fail(input, "would write " + target + " a second time in this run");
            continue;
        }
        StagedFile staged;
        bool existed = false;
        error.clear();
        if (!staged.open(target, error) || !staged.write(encoded.data(), encoded.size()) ||
            !staged.commit(overwrite ? Replace::Always : Replace::Never, existed, error)) {
            fail(input, existed ? target + " exists (use --overwrite to replace it)"
                                : error.empty() ? "cannot write " + target : error);
            continue;
        }
        if (verbose) {
            // Beside the size, what a greedy parse of the same codes would give.
            std::string yardstick;
            if (chosen.format != author::PictureFormat::Qnt) {
                author::EncodeOptions greedy = chosen;
                greedy.strategy = author::ParseStrategy::Greedy;
                author::ByteBuffer other;
                if (author::EncodePicture(picture.source(), greedy, other) == author::AuthorStatus::Ok) {
                    yardstick = "; a greedy parse: " + std::to_string(other.size());
                }
            }
            WriteStandardOutput(input + " -> " + target + " (" + format.title + ", " + std::to_string(encoded.size()) +
                                " bytes" + yardstick + ")\n");
        }
    }
    return reporter.failed() ? ExitFailed : ExitOk;
}

}  // namespace torva
