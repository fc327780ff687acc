// torva encode: PNG or BMP pictures to QNT, PMS or VSP, through the C
// interface's encoder.
#include <cstdio>
#include <cstdlib>
#include <new>

#include "author/picture_reader.h"
#include "tools/torva/authoring_commands.h"
#include "tools/torva/commands_internal.h"
#include "tools/torva/file_system.h"
#include "tools/torva/member_names.h"
#include "tools/torva/staged_file.h"
#include "torvasoft/torvasoft.h"

namespace torva {
namespace {

struct FormatName {
    const char* name;
    int format;  // a torvasoft_format
    const char* extension;
    const char* title;
};

const FormatName kFormats[] = {
    {"qnt", TORVASOFT_FORMAT_QNT, ".qnt", "QNT"},
    {"pms8", TORVASOFT_FORMAT_PMS8, ".pms", "8-bit PMS"},
    {"pms16", TORVASOFT_FORMAT_PMS16, ".pms", "16-bit PMS"},
    {"vsp", TORVASOFT_FORMAT_VSP, ".vsp", "VSP"},
};

const FormatName& Describe(int format) {
    for (const FormatName& f : kFormats) {
        if (f.format == format) return f;
    }
    return kFormats[0];
}

int Usage(const std::string& message) { return UsageError("encode", message); }

std::string PositionText(const torvasoft_encode_options& options) {
    return std::to_string(int32_t(options.x)) + "," + std::to_string(int32_t(options.y));
}

// Why the format cannot hold the picture, in the user's terms.
std::string Refusal(torvasoft_status status, const FormatName& format, const torvasoft_encode_report& report,
                    const author::InputPicture& picture, const torvasoft_encode_options& options) {
    const std::string size = std::to_string(picture.width) + " x " + std::to_string(picture.height);
    const bool vsp = format.format == TORVASOFT_FORMAT_VSP;
    switch (status) {
    case TORVASOFT_TOO_MANY_COLOURS:
        return std::string(format.title) + " holds at most " + (vsp ? "16" : "256") + " colours and the picture has " +
               std::to_string(report.colours) + (vsp ? "" : " (pms16 or qnt hold any number)");
    case TORVASOFT_HAS_ALPHA:
        return std::string("the picture has translucent pixels and ") + format.title +
               " has no alpha (pms16 and qnt have)";
    case TORVASOFT_NOT_FOUR_BIT:
        return "VSP colours are made of the 16 levels 0, 17, 34 ... 255 a channel, and some colour of the picture is not";
    case TORVASOFT_BAD_WIDTH:
        return "VSP widths are multiples of 8 and the picture is " + size;
    case TORVASOFT_OFF_SCREEN:
        if (vsp) {
            return "a VSP picture is at most 640 x 400 at X 0..640 (a multiple of 8) and Y 0..400; this one is " +
                   size + " at " + PositionText(options);
        }
        return std::string(format.title) + " stores the position in 32-bit fields, and " + size + " at " +
               PositionText(options) + " reaches past 2147483647";
    default: return torvasoft_status_text(status);
    }
}

// X,Y: two decimal numbers, each of 32 bits signed (a VSP position is
// checked by the encoder against its screen).
bool ParsePosition(const std::string& text, uint32_t& x, uint32_t& y) {
    const size_t comma = text.find(',');
    if (comma == std::string::npos) return false;
    long long values[2];
    const std::string parts[2] = {text.substr(0, comma), text.substr(comma + 1)};
    for (int i = 0; i < 2; ++i) {
        const std::string& part = parts[i];
        const size_t digits = part.empty() ? 0 : part[0] == '-' ? 1 : 0;
        if (part.size() <= digits || part.size() > digits + 10) return false;
        for (size_t k = digits; k < part.size(); ++k) {
            if (part[k] < '0' || part[k] > '9') return false;
        }
        values[i] = std::strtoll(part.c_str(), nullptr, 10);
        if (values[i] < INT32_MIN || values[i] > INT32_MAX) return false;
    }
    x = uint32_t(int32_t(values[0]));
    y = uint32_t(int32_t(values[1]));
    return true;
}

int AppendTo(void* context, const void* bytes, size_t count) {
    try {
        static_cast<std::string*>(context)->append(static_cast<const char*>(bytes), count);
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

torvasoft_status Encode(const author::InputPicture& picture, const torvasoft_encode_options& options,
                        std::string& file, torvasoft_encode_report* report) {
    torvasoft_picture source{};
    source.width = picture.width;
    source.height = picture.height;
    source.rgba = picture.rgba.data();
    if (picture.paletteSize > 0) {
        source.indices = picture.indices.data();
        source.palette = picture.palette;
        source.palette_size = picture.paletteSize;
    }
    file.clear();
    return torvasoft_encode(&source, &options, AppendTo, &file, report);
}

// The format an original picture is re-encoded in, from its header, and
// its stored position.
bool FormatOfOriginal(const std::string& bytes, const std::string& name, int& format, uint32_t& x, uint32_t& y) {
    torvasoft_info info{};
    const torvasoft_status status = torvasoft_inspect(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                                      name.c_str(), &info);
    if (status == TORVASOFT_NOT_RECOGNISED || status == TORVASOFT_INVALID_ARGUMENT) return false;
    x = uint32_t(info.x);
    y = uint32_t(info.y);
    switch (info.kind) {
    case TORVASOFT_KIND_QNT: format = TORVASOFT_FORMAT_QNT; return true;
    case TORVASOFT_KIND_VSP: format = TORVASOFT_FORMAT_VSP; return true;
    case TORVASOFT_KIND_PMS:
        if (info.depth != 8 && info.depth != 16) return false;
        format = info.depth == 8 ? TORVASOFT_FORMAT_PMS8 : TORVASOFT_FORMAT_PMS16;
        return true;
    default: return false;
    }
}

}  // namespace

namespace {

// Reads a whole file of at most 1 GiB; false (reported) when it cannot.
bool ReadWhole(const std::string& path, std::string& bytes, Reporter& reporter) {
    InputFile file;
    std::string error;
    if (!file.open(path, error)) {
        reporter.fail(path, "cannot open: " + error);
        return false;
    }
    if (file.size() > (uint64_t{1} << 30) || !file.read(0, size_t(file.size()), bytes)) {
        reporter.fail(path, "cannot read");
        return false;
    }
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

    torvasoft_encode_options options{};
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
    }
    // --like: the original's header, format included, is kept.
    std::string original;
    uint32_t originalX = 0, originalY = 0;
    if (!given.like.empty()) {
        if (!ReadWhole(given.like, original, reporter)) return ExitFailed;
        int format = 0;
        if (!FormatOfOriginal(original, given.like, format, originalX, originalY)) {
            reporter.fail(given.like, "not a picture whose header torva can copy (QNT, 8- or 16-bit PMS, VSP)");
            return ExitFailed;
        }
        if (formatGiven && format != options.format) {
            return Usage("--format " + formatName + " differs from the format of " + given.like + " (" +
                         Describe(format).name + ")");
        }
        options.format = format;
        formatGiven = true;
        options.like = reinterpret_cast<const uint8_t*>(original.data());
        options.like_size = original.size();
        options.like_name = given.like.c_str();
    }
    if (formatGiven) {
        if (toFile && extension != Describe(options.format).extension) {
            return Usage(std::string(Describe(options.format).title) + " is written to " +
                         Describe(options.format).extension + " files, not " + extension);
        }
    } else if (toFile) {
        options.format = extension == ".qnt" ? TORVASOFT_FORMAT_QNT
                         : extension == ".vsp" ? TORVASOFT_FORMAT_VSP
                                               : TORVASOFT_FORMAT_PMS8;
        pmsEitherDepth = extension == ".pms";
    } else {
        return Usage("say which format to write: --format qnt|pms8|pms16|vsp, --like ORIGINAL, or -o FILE with its extension");
    }
    if (given.atGiven && !ParsePosition(given.at, options.x, options.y)) {
        return Usage("--at takes X,Y, two whole numbers such as 64,120");
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

    NameRegistry written;
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
        } else if (!ReadWhole(path, bytes, reporter)) {
            continue;
        }
        author::InputPicture picture;
        const char* reason = "";
        if (!author::ReadInputPicture(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), picture, &reason)) {
            fail(input, reason);
            continue;
        }
        // The position: --at, else the PNG's oFFs, else the original's
        // (--like), else 0,0.
        torvasoft_encode_options chosen = options;
        if (!given.atGiven) {
            chosen.x = picture.hasPosition ? uint32_t(picture.x) : originalX;
            chosen.y = picture.hasPosition ? uint32_t(picture.y) : originalY;
        }
        torvasoft_encode_report report{};
        std::string encoded;
        torvasoft_status status = Encode(picture, chosen, encoded, &report);
        if (pmsEitherDepth && (status == TORVASOFT_TOO_MANY_COLOURS || status == TORVASOFT_HAS_ALPHA)) {
            reporter.note(input, std::string("note: ") +
                                     (status == TORVASOFT_HAS_ALPHA
                                          ? std::string("the picture has translucent pixels")
                                          : "the picture has " + std::to_string(report.colours) + " colours") +
                                     ", so it is written as 16-bit PMS");
            chosen.format = TORVASOFT_FORMAT_PMS16;
            status = Encode(picture, chosen, encoded, &report);
        }
        const FormatName& format = Describe(chosen.format);
        if (status != TORVASOFT_COMPLETE) {
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
        // Two inputs of one name (a.png and a.bmp, or a.png in two folders)
        // are told apart as convert and extract do.
        std::string note;
        const std::string target =
            toFile ? output
                   : JoinPath(directory, ClaimOutputName(written, "", ReplaceExtension(BaseName(inputName), format.extension), note));
        if (!note.empty()) reporter.note(input, note);
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
            if (chosen.format != TORVASOFT_FORMAT_QNT) {
                torvasoft_encode_options greedy = chosen;
                greedy.greedy = 1;
                std::string other;
                if (Encode(picture, greedy, other, nullptr) == TORVASOFT_COMPLETE) {
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
