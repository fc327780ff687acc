// convert: pictures, loose or inside archives, to PNG or BMP. Every output
// is named before any work starts, in command-line and archive order; the
// pictures are then converted on several threads, each read once, decoded
// once (the status comes from the same decode), written and released in
// turn.
#include <memory>
#include <mutex>

#include "tools/torva/batch.h"
#include "tools/torva/bitmap_file.h"
#include "tools/torva/commands_internal.h"
#include "tools/torva/damage.h"
#include "tools/torva/picture_rows.h"
#include "torvasoft/torvasoft.hpp"

namespace torva {
namespace {

// One file of the command line (or of a walked tree) and, for an archive,
// its members. An archive is opened when its first member is read and
// closed when its last is done, so a tree of many archives never holds
// more of them open than there are jobs.
struct Input {
    Examined file;
    std::vector<Member> members;
    std::mutex lock;
    std::shared_ptr<InputFile> reader;
    size_t pending = 0;  // members still to convert
};

struct Job {
    size_t input;
    const Member* member;  // null for a picture file
    std::string label;
    std::string outPath;   // empty: standard output
};

class Converter {
public:
    Converter(Session& session, std::vector<std::unique_ptr<Input>>& inputs) : session_(session), inputs_(inputs) {}

    void run(const Job& job, Messages& messages) {
        const Options& options = session_.options();
        Input& input = *inputs_[job.input];
        std::string bytes;
        std::string libraryName;
        if (job.member == nullptr) {
            // Pictures were closed after examining: read whole now.
            InputFile reader;
            std::string error;
            if (!reader.open(input.file.source.path, error) ||
                !reader.read(0, static_cast<size_t>(reader.size()), bytes)) {
                messages.fail(job.label, "cannot read");
                return;
            }
            libraryName = input.file.libraryName;
        } else {
            const std::shared_ptr<InputFile> reader = openArchive(input, messages);
            const bool read = reader && session_.readMember(input.file, *reader, *job.member, bytes,
                                                            options.keepDamaged, messages);
            closeArchiveWhenDone(input);
            if (!read) return;
            libraryName = job.member->raw;
        }
        const bool mustBePicture = job.member == nullptr || IsPictureName(job.member->name);
        convert(job, bytes, libraryName, mustBePicture, messages);
    }

private:
    std::shared_ptr<InputFile> openArchive(Input& input, Messages& messages) {
        std::lock_guard<std::mutex> hold(input.lock);
        if (!input.reader) {
            auto reader = std::make_shared<InputFile>();
            std::string error;
            if (!reader->open(input.file.source.path, error)) {
                messages.fail(input.file.source.display, "cannot open: " + error);
                return nullptr;
            }
            input.reader = reader;
        }
        return input.reader;
    }

    void closeArchiveWhenDone(Input& input) {
        std::lock_guard<std::mutex> hold(input.lock);
        if (--input.pending == 0) input.reader.reset();
    }

    void convert(const Job& job, const std::string& bytes, const std::string& libraryName, bool mustBePicture,
                 Messages& messages) {
        const Options& options = session_.options();
        // The pixel formats of the bitmaps a viewer gets: 16-bit PMS in full
        // colour unless BMP at 16 bits is asked for.
        const int request = options.depth != 16 ? TORVASOFT_AS_STORED_FULL : TORVASOFT_AS_STORED;
        const torvasoft::Picture picture = torvasoft::Decode(bytes.data(), bytes.size(), libraryName.c_str(), request);
        if (picture.status == torvasoft::Status::NotRecognised || picture.status == torvasoft::Status::InvalidArgument) {
            if (mustBePicture) messages.fail(job.label, "not a picture that torva can read");
            return;
        }
        const std::string found = PictureDamage(picture);
        if (!found.empty()) {
            messages.fail(job.label, "damaged: " + found);
            if (!options.keepDamaged) return;
        }
        if (!picture.hasPixels()) {
            const bool empty = picture.status == torvasoft::Status::OutOfMemory &&
                               (picture.layout.width == 0 || picture.layout.height == 0);
            messages.fail(job.label, empty ? "damaged: the picture is empty" : "out of memory while building the bitmap");
            return;
        }
        std::string output, error;
        if (options.format == "bmp") {
            if (!BitmapFileOf(picture, output)) {
                messages.fail(job.label, "out of memory while building the bitmap");
                return;
            }
        } else if (!EncodePicturePng(picture, options.level, output, error)) {
            messages.fail(job.label, error);
            return;
        }
        if (job.outPath.empty()) {
            if (!WriteStandardOutput(output)) messages.fail("standard output", "cannot write");
            return;
        }
        if (WriteOutput(job.outPath, output, options.existing, job.label, messages) && options.verbose) {
            messages.print(job.label + " -> " + job.outPath, 0);
        }
    }

    Session& session_;
    std::vector<std::unique_ptr<Input>>& inputs_;
};

// Examines every file and lists every archive; members are filtered by
// --member, whose names must each match somewhere.
std::vector<std::unique_ptr<Input>> Gather(Session& session) {
    const Options& options = session.options();
    std::vector<std::unique_ptr<Input>> inputs;
    std::vector<bool> matched(options.members.size(), false);
    for (const Source& source : session.sources(options.operands)) {
        auto input = std::make_unique<Input>();
        InputFile reader;
        if (!session.examine(source, input->file, reader)) continue;
        if (input->file.archiveKind != 0) {
            std::vector<Member> members;
            if (!session.listMembers(input->file, reader, members)) continue;
            for (Member& member : members) {
                bool take = options.members.empty();
                for (size_t i = 0; i < options.members.size(); ++i) {
                    if (MatchesPattern(options.members[i], member.name)) take = matched[i] = true;
                }
                if (take) input->members.push_back(member);
            }
        }
        inputs.push_back(std::move(input));
    }
    for (size_t i = 0; i < options.members.size(); ++i) {
        if (!matched[i]) session.reporter().fail(options.members[i], "no member of the archives given matches");
    }
    return inputs;
}

// Where each picture goes: the directory under -o and the file name.
void NameOutputs(Session& session, std::vector<std::unique_ptr<Input>>& inputs, std::vector<Job>& jobs) {
    const Options& options = session.options();
    Reporter& reporter = session.reporter();
    const std::string extension = "." + options.format;
    NameRegistry names, folders;
    for (size_t i = 0; i < inputs.size(); ++i) {
        const Examined& file = inputs[i]->file;
        const std::string directory = options.flat ? std::string() : file.source.relativeDir;
        if (file.archiveKind == 0) {
            const std::string name = names.claim(
                directory, MappedFileName(file.source.display, ReplaceExtension(file.source.name, extension), reporter));
            jobs.push_back(Job{i, nullptr, file.source.display, directory.empty() ? name : directory + "/" + name});
            continue;
        }
        // An archive's members go into a folder named after it, one folder
        // for each archive even when two share a name but for the extension.
        std::string folder = directory;
        if (!options.flat) {
            const std::string own =
                folders.claim(directory, MappedFileName(file.source.display, StemOf(file.source.name), reporter));
            folder = directory.empty() ? own : directory + "/" + own;
        }
        for (const Member& member : inputs[i]->members) {
            const std::string label = file.source.display + ": " + member.name;
            const std::string name =
                names.claim(folder, MappedFileName(label, ReplaceExtension(member.name, extension), reporter));
            jobs.push_back(Job{i, &member, label, folder.empty() ? name : folder + "/" + name});
        }
    }
}

// The relative '/'-separated output path under the output directory, as a
// path of this system.
std::string UnderOutput(const std::string& output, const std::string& relative) {
    std::string path = output;
    size_t start = 0;
    for (size_t slash; (slash = relative.find('/', start)) != std::string::npos; start = slash + 1) {
        path = JoinPath(path, relative.substr(start, slash - start));
    }
    return JoinPath(path, relative.substr(start));
}

}  // namespace

int RunConvert(Session& session) {
    const Options& options = session.options();
    Reporter& reporter = session.reporter();
    std::vector<std::unique_ptr<Input>> inputs = Gather(session);
    std::vector<Job> jobs;
    NameOutputs(session, inputs, jobs);

    std::string singleFormat;
    const bool single = options.toStandardOutput ||
                        (OutputNamesFile(options.output, singleFormat) && !IsDirectory(options.output));
    if (single) {
        // One picture, to one file or to standard output. Members whose
        // names say they are no picture do not count.
        std::vector<Job> pictures;
        for (const Job& job : jobs) {
            const bool ald = inputs[job.input]->file.archiveKind == TORVASOFT_KIND_ALD;
            if (job.member == nullptr || !ald || IsPictureName(job.member->name)) pictures.push_back(job);
        }
        if (pictures.size() != 1) {
            reporter.fail(options.toStandardOutput ? "standard output" : options.output,
                          "names one picture's output, and there are " + std::to_string(pictures.size()));
            return ExitFailed;
        }
        if (options.toStandardOutput && !MayWriteToStandardOutput(options.toTerminal, reporter)) return ExitFailed;
        jobs = pictures;
        jobs[0].outPath = options.toStandardOutput ? std::string() : options.output;
    } else {
        for (Job& job : jobs) job.outPath = UnderOutput(options.output, job.outPath);
    }

    // Outputs that exist are refused or skipped before any work.
    std::vector<Job> work;
    for (const Job& job : jobs) {
        if (job.outPath.empty() || MayWrite(job.outPath, options.existing, reporter)) work.push_back(job);
    }
    std::vector<std::string> labels;
    for (const Job& job : work) {
        labels.push_back(job.label);
        if (job.member != nullptr) ++inputs[job.input]->pending;
    }
    Converter converter(session, inputs);
    const unsigned threads = options.jobs != 0 ? options.jobs : CoreCount();
    RunBatch(labels, threads, reporter, [&](size_t i, Messages& messages) { converter.run(work[i], messages); });
    return reporter.failed() ? ExitFailed : ExitOk;
}

}  // namespace torva
