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
    std::vector<bool> named;  // for each member: chosen by its exact name with --member
    std::string folderNote;   // how the archive's folder was renamed, if it was
    std::mutex lock;
    std::shared_ptr<InputFile> reader;
    size_t pending = 0;  // members still to convert
};

struct Job {
    size_t input;
    const Member* member;  // null for a picture file
    std::string label;
    std::string outPath;   // empty: standard output
    std::string note;      // how the output name was changed, told when it is written
    bool named = false;    // a member named exactly with --member: it must be a picture
};

// Whether a job is a picture as far as names tell before anything is read:
// a picture file, a member with a picture's extension (ALK members are
// named by what their bytes are) or one asked for by name. Other members of
// an ALD may still turn out to be pictures, but they are not counted as such.
bool CountsAsPicture(const Job& job) {
    return job.member == nullptr || job.named || IsPictureName(job.member->name);
}

// What a picture's header tells, its position among it; zero when nothing
// is recognised.
torvasoft_info HeaderOf(const std::string& bytes, const std::string& libraryName) {
    torvasoft_info info{};
    if (torvasoft::Inspect(bytes.data(), bytes.size(), libraryName.c_str(), &info) == torvasoft::Status::NotRecognised) {
        info = torvasoft_info{};
    }
    return info;
}

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
        convert(job, bytes, libraryName, messages);
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

    void convert(const Job& job, const std::string& bytes, const std::string& libraryName, Messages& messages) {
        const Options& options = session_.options();
        // The pixel formats of the bitmaps a viewer gets: 16-bit PMS in full
        // colour unless BMP at 16 bits is asked for.
        const int request = options.depth != 16 ? TORVASOFT_AS_STORED_FULL : TORVASOFT_AS_STORED;
        const torvasoft::Picture picture = torvasoft::Decode(bytes.data(), bytes.size(), libraryName.c_str(), request);
        if (picture.status == torvasoft::Status::NotRecognised || picture.status == torvasoft::Status::InvalidArgument) {
            if (CountsAsPicture(job)) {
                messages.fail(job.label, "not a picture that torva can read");
            } else if (options.verbose) {
                messages.print(job.label + ": not a picture; not converted", 0);
            }
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
        } else if (!EncodePicturePng(picture, HeaderOf(bytes, libraryName), options.level, output, error)) {
            messages.fail(job.label, error);
            return;
        }
        if (job.outPath.empty()) {
            if (!WriteStandardOutput(output)) messages.fail("standard output", "cannot write");
            return;
        }
        if (!job.note.empty()) messages.note(job.label, job.note);
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
                bool take = options.members.empty(), named = false;
                for (size_t i = 0; i < options.members.size(); ++i) {
                    if (!MatchesPattern(options.members[i], member.name)) continue;
                    take = matched[i] = true;
                    named = named || !IsPattern(options.members[i]);
                }
                if (!take) continue;
                input->members.push_back(member);
                input->named.push_back(named);
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
// Pictures claim their names first, so that a member that is likely none
// (readme.txt beside readme.qnt) never pushes a picture to a "~2" name.
void NameOutputs(Session& session, std::vector<std::unique_ptr<Input>>& inputs, std::vector<Job>& jobs) {
    const Options& options = session.options();
    const std::string extension = "." + options.format;
    NameRegistry names, folders;
    std::vector<std::string> folderOf;  // for each job: its folder under the output
    for (size_t i = 0; i < inputs.size(); ++i) {
        Input& input = *inputs[i];
        const Examined& file = input.file;
        const std::string directory = options.flat ? std::string() : file.source.relativeDir;
        if (file.archiveKind == 0) {
            jobs.push_back(Job{i, nullptr, file.source.display, "", "", false});
            folderOf.push_back(directory);
            continue;
        }
        // An archive's members go into a folder named after it, one folder
        // for each archive even when two share a name but for the extension.
        std::string folder = directory;
        if (!options.flat) {
            const std::string own = ClaimOutputName(folders, directory, StemOf(file.source.name), input.folderNote);
            folder = directory.empty() ? own : directory + "/" + own;
        }
        for (size_t m = 0; m < input.members.size(); ++m) {
            const Member& member = input.members[m];
            jobs.push_back(Job{i, &member, file.source.display + ": " + member.name, "", "", input.named[m]});
            folderOf.push_back(folder);
        }
    }
    for (const bool pictures : {true, false}) {
        for (size_t j = 0; j < jobs.size(); ++j) {
            Job& job = jobs[j];
            if (CountsAsPicture(job) != pictures) continue;
            const std::string& own = job.member == nullptr ? inputs[job.input]->file.source.name : job.member->name;
            const std::string name = ClaimOutputName(names, folderOf[j], ReplaceExtension(own, extension), job.note);
            job.outPath = folderOf[j].empty() ? name : folderOf[j] + "/" + name;
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
            if (CountsAsPicture(job)) pictures.push_back(job);
        }
        if (pictures.size() != 1) {
            reporter.fail(options.toStandardOutput ? "standard output" : options.output,
                          "names one picture's output, and there are " + std::to_string(pictures.size()));
            return ExitFailed;
        }
        if (options.toStandardOutput && !MayWriteToStandardOutput(options.toTerminal, reporter)) return ExitFailed;
        jobs = pictures;
        jobs[0].outPath = options.toStandardOutput ? std::string() : options.output;
        jobs[0].note.clear();
    } else {
        for (Job& job : jobs) job.outPath = UnderOutput(options.output, job.outPath);
        for (const auto& input : inputs) {
            if (!input->folderNote.empty() && !input->members.empty()) {
                reporter.note(input->file.source.display, input->folderNote);
            }
        }
    }

    // Outputs that exist are refused or skipped before any work.
    std::vector<Job> work;
    for (const Job& job : jobs) {
        if (job.outPath.empty() || MayWrite(job.outPath, options.existing, reporter)) work.push_back(job);
    }
    std::vector<std::string> labels;
    std::vector<bool> counted;
    for (const Job& job : work) {
        labels.push_back(job.label);
        counted.push_back(CountsAsPicture(job));
        if (job.member != nullptr) ++inputs[job.input]->pending;
    }
    Converter converter(session, inputs);
    const unsigned threads = options.jobs != 0 ? options.jobs : CoreCount();
    RunBatch(labels, counted, threads, reporter,
             [&](size_t i, Messages& messages) { converter.run(work[i], messages); });
    return reporter.failed() ? ExitFailed : ExitOk;
}

}  // namespace torva
