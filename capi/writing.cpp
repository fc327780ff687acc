// The encoders and packers through the C interface.
#include "author/archive_packer.h"
#include "author/picture_encoder.h"
#include "capi/like_original.h"
#include "torvasoft/torvasoft.h"

namespace {

torvasoft_status ToC(author::AuthorStatus status) {
    using author::AuthorStatus;
    switch (status) {
        case AuthorStatus::Ok: return TORVASOFT_COMPLETE;
        case AuthorStatus::EmptyPicture: return TORVASOFT_EMPTY_PICTURE;
        case AuthorStatus::TooLarge: return TORVASOFT_TOO_LARGE;
        case AuthorStatus::TooManyColours: return TORVASOFT_TOO_MANY_COLOURS;
        case AuthorStatus::NotFourBitLevels: return TORVASOFT_NOT_FOUR_BIT;
        case AuthorStatus::HasAlpha: return TORVASOFT_HAS_ALPHA;
        case AuthorStatus::BadWidth: return TORVASOFT_BAD_WIDTH;
        case AuthorStatus::OutOfBounds: return TORVASOFT_OFF_SCREEN;
        case AuthorStatus::OutOfMemory: return TORVASOFT_OUT_OF_MEMORY;
        case AuthorStatus::CompressionFailed: return TORVASOFT_COMPRESSION_FAILED;
        case AuthorStatus::NameEmpty: return TORVASOFT_NAME_EMPTY;
        case AuthorStatus::NameTooLong: return TORVASOFT_NAME_TOO_LONG;
        case AuthorStatus::TooManyMembers: return TORVASOFT_TOO_MANY_MEMBERS;
        case AuthorStatus::MemberTooLarge: return TORVASOFT_MEMBER_TOO_LARGE;
        case AuthorStatus::ArchiveTooLarge: return TORVASOFT_ARCHIVE_TOO_LARGE;
        case AuthorStatus::NoMembers: return TORVASOFT_NO_MEMBERS;
        case AuthorStatus::WriteFailed: return TORVASOFT_WRITE_FAILED;
        // Only rebuilding from a layout finds these; the C interface packs anew.
        case AuthorStatus::LayoutMismatch:
        case AuthorStatus::LayoutFixed: return TORVASOFT_INVALID_ARGUMENT;
        case AuthorStatus::BadTemplate: return TORVASOFT_INVALID_ARGUMENT;
    }
    return TORVASOFT_INVALID_ARGUMENT;
}

bool FormatOf(int format, author::PictureFormat* out) {
    switch (format) {
        case TORVASOFT_FORMAT_QNT: *out = author::PictureFormat::Qnt; return true;
        case TORVASOFT_FORMAT_PMS8: *out = author::PictureFormat::Pms8; return true;
        case TORVASOFT_FORMAT_PMS16: *out = author::PictureFormat::Pms16; return true;
        case TORVASOFT_FORMAT_VSP: *out = author::PictureFormat::Vsp; return true;
        default: return false;
    }
}

author::PackMember ToAuthor(const torvasoft_pack_member& member) {
    author::PackMember out;
    out.name = member.name;
    out.nameLength = member.name_size;
    out.size = member.size;
    out.fileTime = member.file_time;
    return out;
}

// The packer's sink over the caller's callbacks.
class CallbackSink : public author::ArchiveSink {
public:
    CallbackSink(torvasoft_write_fn write, void* writeContext, torvasoft_member_fn member, void* memberContext)
        : write_(write), writeContext_(writeContext), member_(member), memberContext_(memberContext) {}
    bool write(const uint8_t* bytes, size_t count) override { return write_(writeContext_, bytes, count) != 0; }
    bool writeMember(size_t index) override { return member_(memberContext_, index, write_, writeContext_) != 0; }

private:
    torvasoft_write_fn write_;
    void* writeContext_;
    torvasoft_member_fn member_;
    void* memberContext_;
};

}  // namespace

extern "C" {

torvasoft_status torvasoft_encode(const torvasoft_picture* picture, const torvasoft_encode_options* options,
                                  torvasoft_write_fn write, void* context, torvasoft_encode_report* report) {
    if (report != nullptr) *report = torvasoft_encode_report{};
    author::EncodeOptions how;
    if (picture == nullptr || options == nullptr || write == nullptr) return TORVASOFT_INVALID_ARGUMENT;
    torva::capi::LikeOriginal original;
    if (options->like != nullptr) {
        const torvasoft_status read =
            torva::capi::ReadLikeOriginal(options->like, options->like_size, options->like_name, &original);
        if (read != TORVASOFT_COMPLETE) return read;
        how.like = &original.header;
        how.format = original.format;
        author::PictureFormat asked;
        if (options->format != 0 && (!FormatOf(options->format, &asked) || asked != original.format)) {
            return TORVASOFT_INVALID_ARGUMENT;
        }
    } else if (!FormatOf(options->format, &how.format)) {
        return TORVASOFT_INVALID_ARGUMENT;
    }
    const uint64_t pixels = uint64_t{picture->width} * picture->height;
    if (pixels != 0 && picture->rgba == nullptr) return TORVASOFT_INVALID_ARGUMENT;
    if (picture->indices != nullptr && (picture->palette == nullptr || picture->palette_size == 0 ||
                                        picture->palette_size > 256)) {
        return TORVASOFT_INVALID_ARGUMENT;
    }
    const bool keepPosition = how.like != nullptr && options->like_position != 0;
    how.left = keepPosition ? original.x : options->x;
    how.top = keepPosition ? original.y : options->y;
    how.strategy = options->greedy ? author::ParseStrategy::Greedy : author::ParseStrategy::Shortest;

    author::SourcePicture source;
    source.width = picture->width;
    source.height = picture->height;
    source.rgba = picture->rgba;
    source.indices = picture->indices;
    source.palette = picture->indices != nullptr ? picture->palette : nullptr;
    source.paletteSize = picture->indices != nullptr ? picture->palette_size : 0;

    author::ByteBuffer file;
    author::EncodeReport found;
    const author::AuthorStatus status = author::EncodePicture(source, how, file, &found);
    if (report != nullptr) {
        report->colours = found.colours;
        report->rounded = found.rounded ? 1 : 0;
        report->alpha = found.alpha ? 1 : 0;
    }
    if (status != author::AuthorStatus::Ok) return ToC(status);
    return write(context, file.data(), file.size()) != 0 ? TORVASOFT_COMPLETE : TORVASOFT_WRITE_FAILED;
}

torvasoft_status torvasoft_check_member(int kind, const torvasoft_pack_member* member) {
    if (member == nullptr) return TORVASOFT_INVALID_ARGUMENT;
    const author::PackMember one = ToAuthor(*member);
    if (kind == TORVASOFT_KIND_ALD) return ToC(author::CheckAldMember(one));
    if (kind != TORVASOFT_KIND_ALK) return TORVASOFT_INVALID_ARGUMENT;
    return ToC(author::CheckAlkMember(one));
}

torvasoft_status torvasoft_pack(int kind, const torvasoft_pack_member* members, size_t count,
                                torvasoft_write_fn write, void* write_context, torvasoft_member_fn member,
                                void* member_context) {
    if ((kind != TORVASOFT_KIND_ALD && kind != TORVASOFT_KIND_ALK) || write == nullptr || member == nullptr ||
        (members == nullptr && count != 0)) {
        return TORVASOFT_INVALID_ARGUMENT;
    }
    author::HeapArray<author::PackMember> list(count);
    if (!list.valid()) return TORVASOFT_OUT_OF_MEMORY;
    for (size_t i = 0; i < count; ++i) list[i] = ToAuthor(members[i]);
    CallbackSink sink(write, write_context, member, member_context);
    return ToC(kind == TORVASOFT_KIND_ALD ? author::PackAld(list.get(), count, sink)
                                          : author::PackAlk(list.get(), count, sink));
}

}  // extern "C"
