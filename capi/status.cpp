// Names and phrases of the statuses and kinds, and the version.
#include "torvasoft/torvasoft.h"

namespace {

struct StatusWords {
    int status;
    const char* name;
    const char* text;
};

constexpr StatusWords kStatuses[] = {
    {TORVASOFT_COMPLETE, "complete", "complete"},
    {TORVASOFT_TRUNCATED, "truncated", "the data ends early"},
    {TORVASOFT_CORRUPT, "corrupt", "the data is corrupt"},
    {TORVASOFT_OUTSIDE_FILE, "outside-file", "the header points past the end of the file"},
    {TORVASOFT_TOO_LARGE, "too-large", "too large"},
    {TORVASOFT_OUT_OF_MEMORY, "out-of-memory", "out of memory"},
    {TORVASOFT_NOT_RECOGNISED, "not-recognised", "not an archive or picture of a known kind"},
    {TORVASOFT_INVALID_ARGUMENT, "invalid-argument", "an invalid argument"},
    {TORVASOFT_BUFFER_TOO_SMALL, "buffer-too-small", "the buffer is too small"},
    {TORVASOFT_WRITE_FAILED, "write-failed", "the output could not be written"},
    {TORVASOFT_EMPTY_PICTURE, "empty-picture", "the picture has no pixels"},
    {TORVASOFT_TOO_MANY_COLOURS, "too-many-colours", "more colours than the format's palette holds"},
    {TORVASOFT_NOT_FOUR_BIT, "not-four-bit", "a colour channel is not one of the 16 levels 0, 17, 34 ... 255"},
    {TORVASOFT_HAS_ALPHA, "has-alpha", "the picture has translucent pixels and the format has no alpha"},
    {TORVASOFT_BAD_WIDTH, "bad-width", "the width is not a multiple of 8"},
    {TORVASOFT_OFF_SCREEN, "off-screen", "the picture does not fit the 640 x 400 screen the format describes"},
    {TORVASOFT_COMPRESSION_FAILED, "compression-failed", "compression failed"},
    {TORVASOFT_NAME_EMPTY, "name-empty", "the member name is empty"},
    {TORVASOFT_NAME_TOO_LONG, "name-too-long", "the member name is longer than 47 bytes in code page 932"},
    {TORVASOFT_TOO_MANY_MEMBERS, "too-many-members", "more members than the archive's table can list"},
    {TORVASOFT_MEMBER_TOO_LARGE, "member-too-large", "a member of 2 GiB or more"},
    {TORVASOFT_ARCHIVE_TOO_LARGE, "archive-too-large", "the archive would reach 2 GiB"},
    {TORVASOFT_NO_MEMBERS, "no-members", "an ALK archive needs at least one member"},
};

const StatusWords* Find(int status) {
    for (const StatusWords& words : kStatuses) {
        if (words.status == status) return &words;
    }
    return nullptr;
}

}  // namespace

extern "C" {

const char* torvasoft_status_name(int status) {
    const StatusWords* words = Find(status);
    return words == nullptr ? "unknown" : words->name;
}

const char* torvasoft_status_text(int status) {
    const StatusWords* words = Find(status);
    return words == nullptr ? "unknown status" : words->text;
}

const char* torvasoft_version(void) { return TORVASOFT_VERSION_STRING; }

const char* torvasoft_kind_name(int kind) {
    switch (kind) {
        case TORVASOFT_KIND_ALD: return "ald";
        case TORVASOFT_KIND_ALK: return "alk";
        case TORVASOFT_KIND_QNT: return "qnt";
        case TORVASOFT_KIND_PMS: return "pms";
        case TORVASOFT_KIND_VSP: return "vsp";
        default: return "none";
    }
}

}  // extern "C"
