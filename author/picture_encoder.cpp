#include "author/picture_encoder.h"

#include "author/picture_limits.h"
#include "author/qnt_encoder.h"
#include "author/vsp_encoder.h"

namespace author {

namespace {

AuthorStatus EncodeAs(const SourcePicture& picture, const EncodeOptions& options, ByteBuffer& file, EncodeReport& r) {
    if (picture.width == 0 || picture.height == 0) return AuthorStatus::EmptyPicture;
    if (!PictureSizeAllowed(picture.width, picture.height)) return AuthorStatus::TooLarge;
    const uint64_t count = uint64_t(picture.width) * picture.height;

    switch (options.format) {
    case PictureFormat::Qnt: {
        QntEncodeInfo info;
        const AuthorStatus status = EncodeQnt(picture.rgba, picture.width, picture.height, file, &info, options.like,
                                                options.left, options.top);
        r.alpha = info.alpha;
        return status;
    }
    case PictureFormat::Pms8: {
        IndexedPicture indexed(count);
        const AuthorStatus status = IndexPicture(picture, 256, indexed);
        r.colours = indexed.colours;
        if (status != AuthorStatus::Ok) return status;
        Pms8Picture pms;
        pms.width = picture.width;
        pms.height = picture.height;
        pms.indices = indexed.indices.get();
        pms.palette = &indexed.palette[0][0];
        pms.left = options.left;
        pms.top = options.top;
        pms.like = options.like;
        return EncodePms8(pms, options.strategy, file);
    }
    case PictureFormat::Pms16: {
        HeapArray<uint16_t> pixels(count);
        ByteBuffer alpha;
        const AuthorStatus status = To565(picture, pixels, alpha, &r.rounded);
        if (status != AuthorStatus::Ok) return status;
        r.alpha = alpha.size() > 0;
        Pms16Picture pms;
        pms.width = picture.width;
        pms.height = picture.height;
        pms.pixels = pixels.get();
        pms.alpha = r.alpha ? alpha.data() : nullptr;
        pms.left = options.left;
        pms.top = options.top;
        pms.like = options.like;
        return EncodePms16(pms, options.strategy, file);
    }
    case PictureFormat::Vsp: {
        AuthorStatus status = CheckVspGeometry(picture.width, picture.height, options.left, options.top);
        if (status != AuthorStatus::Ok) return status;
        IndexedPicture indexed(count);
        status = IndexPicture(picture, 16, indexed);
        r.colours = indexed.colours;
        if (status != AuthorStatus::Ok) return status;
        VspLevels palette[16];
        status = VspPalette(indexed, picture, palette);
        if (status != AuthorStatus::Ok) return status;
        VspPicture vsp;
        vsp.width = picture.width;
        vsp.height = picture.height;
        vsp.left = options.left;
        vsp.top = options.top;
        vsp.indices = indexed.indices.get();
        vsp.palette = palette;
        vsp.like = options.like;
        return EncodeVsp(vsp, options.strategy, file);
    }
    }
    return AuthorStatus::TooLarge;
}

}  // namespace

AuthorStatus EncodePicture(const SourcePicture& picture, const EncodeOptions& options, ByteBuffer& file,
                           EncodeReport* report) {
    EncodeReport local;
    EncodeReport& r = report != nullptr ? *report : local;
    r = EncodeReport();
    file = ByteBuffer();
    const AuthorStatus status = EncodeAs(picture, options, file, r);
    // Nothing of a file that could not be finished is handed out.
    if (status != AuthorStatus::Ok) file = ByteBuffer();
    return status;
}

}  // namespace author
