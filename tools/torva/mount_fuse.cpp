// torva mount through libfuse3: the folder of MountedArchive, served one
// request at a time in the foreground until fusermount3 -u or a signal
// (Ctrl-C, SIGTERM, SIGHUP) unmounts it.
#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <new>

#include "tools/torva/commands_internal.h"
#include "tools/torva/mount_archive.h"
#include "tools/torva/mount_command.h"

namespace torva {
namespace {

MountedArchive& Archive() { return *static_cast<MountedArchive*>(fuse_get_context()->private_data); }

// The entry a path names ("/NAME"), or -1.
long EntryOf(const char* path) {
    if (path[0] != '/' || std::strchr(path + 1, '/') != nullptr) return -1;
    return Archive().find(path + 1);
}

void SetTimes(struct stat* status, int64_t seconds, long nanoseconds) {
    status->st_mtim.tv_sec = time_t(seconds);
    status->st_mtim.tv_nsec = nanoseconds;
    status->st_atim = status->st_mtim;
    status->st_ctim = status->st_mtim;
}

// Every callback answers an errno; nothing may throw back into libfuse.
template <typename Call>
int Guarded(Call call) {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return -ENOMEM;
    } catch (...) {
        return -EIO;
    }
}

int GetAttributes(const char* path, struct stat* status, struct fuse_file_info*) {
    return Guarded([&] {
        std::memset(status, 0, sizeof *status);
        MountedArchive& archive = Archive();
        if (std::strcmp(path, "/") == 0) {
            status->st_mode = S_IFDIR | 0555;
            status->st_nlink = 2;
            SetTimes(status, archive.archiveSeconds(), archive.archiveNanoseconds());
            return 0;
        }
        const long index = EntryOf(path);
        if (index < 0) return -ENOENT;
        const MountEntry& entry = archive.entries()[size_t(index)];
        status->st_mode = S_IFREG | 0444;
        status->st_nlink = 1;
        status->st_size = off_t(entry.size);
        status->st_blocks = blkcnt_t((entry.size + 511) / 512);
        SetTimes(status, entry.seconds, entry.nanoseconds);
        return 0;
    });
}

int ReadDirectory(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, struct fuse_file_info*,
                  enum fuse_readdir_flags) {
    return Guarded([&] {
        if (std::strcmp(path, "/") != 0) return -ENOTDIR;
        const auto none = static_cast<enum fuse_fill_dir_flags>(0);
        fill(buffer, ".", nullptr, 0, none);
        fill(buffer, "..", nullptr, 0, none);
        for (const MountEntry& entry : Archive().entries()) {
            if (fill(buffer, entry.name.c_str(), nullptr, 0, none) != 0) return -ENOMEM;
        }
        return 0;
    });
}

// An open PNG holds its own reference (in fh), so that the cache may drop it
// while it is read.
int Open(const char* path, struct fuse_file_info* file) {
    return Guarded([&] {
        const long index = EntryOf(path);
        if (index < 0) return -ENOENT;
        if ((file->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
        MountedArchive& archive = Archive();
        const MountEntry& entry = archive.entries()[size_t(index)];
        file->fh = 0;
        if (!entry.png) {
            file->keep_cache = 1;
            return 0;
        }
        std::string error;
        SharedPng png = archive.png(size_t(index), error);
        if (!png) {
            WriteStandardError("torva: " + entry.name + ": " + error + "\n");
            return -EIO;
        }
        auto* held = new (std::nothrow) SharedPng(png);
        if (held == nullptr) return -ENOMEM;
        file->fh = reinterpret_cast<uint64_t>(held);
        // Its size was 0 until now: reads must not be cut to a size the
        // kernel saw before.
        file->direct_io = 1;
        return 0;
    });
}

int Read(const char* path, char* buffer, size_t count, off_t offset, struct fuse_file_info* file) {
    return Guarded([&] {
        if (offset < 0) return -EINVAL;
        if (count > size_t(INT32_MAX)) count = size_t(INT32_MAX);
        if (file->fh != 0) {
            const std::string& png = **reinterpret_cast<SharedPng*>(file->fh);
            if (uint64_t(offset) >= png.size()) return 0;
            const size_t length = std::min<size_t>(count, png.size() - size_t(offset));
            std::memcpy(buffer, png.data() + offset, length);
            return int(length);
        }
        const long index = EntryOf(path);
        if (index < 0) return -ENOENT;
        const long got = Archive().readMember(size_t(index), buffer, count, uint64_t(offset));
        return got < 0 ? -EIO : int(got);
    });
}

int Release(const char*, struct fuse_file_info* file) {
    delete reinterpret_cast<SharedPng*>(file->fh);
    file->fh = 0;
    return 0;
}

void* Initialise(struct fuse_conn_info*, struct fuse_config* config) {
    // A PNG's size changes when it is converted; the rest never change.
    config->attr_timeout = 0;
    return fuse_get_context()->private_data;
}

// A mount option's value with the characters the option parser treats
// specially escaped.
std::string OptionValue(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c == ',' || c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

int Usage(const std::string& message) {
    WriteStandardError("torva: " + message + "\nTry 'torva mount --help'.\n");
    return ExitUsage;
}

}  // namespace

int RunMount(const Options& given, Reporter&) {
    const bool pngs = given.png;
    const std::vector<std::string>& operands = given.operands;
    if (operands.size() != 2) return Usage("mount takes ARCHIVE and DIR");
    const std::string& archivePath = operands[0];
    const std::string& directory = operands[1];
    // The mount reads the archive for as long as it stands, long after
    // standard input would have been spooled and dropped.
    if (archivePath == "-") return Usage("mount reads an archive file by name, not standard input; save it first");

    MountedArchive archive;
    std::string error;
    std::vector<std::string> notes;
    if (!archive.open(archivePath, pngs, error, notes)) {
        WriteStandardError("torva: " + archivePath + ": " + error + "\n");
        return ExitFailed;
    }
    for (const std::string& note : notes) WriteStandardError("torva: " + archivePath + ": " + note + "\n");
    struct stat status;
    if (stat(directory.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        WriteStandardError("torva: " + directory + ": not a directory\n");
        return ExitFailed;
    }

    struct fuse_operations operations;
    std::memset(&operations, 0, sizeof operations);
    operations.getattr = GetAttributes;
    operations.readdir = ReadDirectory;
    operations.open = Open;
    operations.read = Read;
    operations.release = Release;
    operations.init = Initialise;

    const std::string options = "ro,subtype=torva,fsname=" + OptionValue(archivePath);
    char program[] = "torva";
    char flag[] = "-o";
    std::vector<char> optionText(options.begin(), options.end());
    optionText.push_back('\0');
    char* argv[] = {program, flag, optionText.data(), nullptr};
    struct fuse_args fuseArguments = FUSE_ARGS_INIT(3, argv);
    struct fuse* fuse = fuse_new(&fuseArguments, &operations, sizeof operations, &archive);
    if (fuse == nullptr) {
        fuse_opt_free_args(&fuseArguments);
        WriteStandardError("torva: FUSE could not be set up\n");
        return ExitFailed;
    }
    int result = ExitFailed;
    if (fuse_mount(fuse, directory.c_str()) != 0) {
        WriteStandardError("torva: " + directory + ": cannot mount there (is /dev/fuse usable, fusermount3 installed?)\n");
    } else {
        struct fuse_session* session = fuse_get_session(fuse);
        // libfuse takes over only signals left at their default: the tool's
        // own interrupt cleanup (for files being written, of which a mount
        // has none) gives way, so that a signal ends the loop and unmounts.
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        std::signal(SIGHUP, SIG_DFL);
        if (fuse_set_signal_handlers(session) != 0) {
            WriteStandardError("torva: cannot catch signals\n");
        } else {
            WriteStandardError("torva: " + archivePath + " mounted on " + directory + " (" +
                               std::to_string(archive.entries().size()) + " files); unmount with 'fusermount3 -u " +
                               directory + "' or Ctrl-C\n");
            // 0 when unmounted, the signal's number when one ended it,
            // -errno on a failure.
            result = fuse_loop(fuse) >= 0 ? ExitOk : ExitFailed;
            fuse_remove_signal_handlers(session);
        }
        fuse_unmount(fuse);
    }
    fuse_destroy(fuse);
    fuse_opt_free_args(&fuseArguments);
    return result;
}

}  // namespace torva
