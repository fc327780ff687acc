#include "api/picture_info.h"

#include <cstring>

#include "api/api_support.h"
#include "plugin/plugin_object.h"

namespace torva {
namespace api {
namespace {


Status QntHeaderStatus(const QntHeader& qnt, uint32_t size) {
    if (qnt.width > 65535 || qnt.height > 65535) return Status::TooLarge;
    if (qnt.colourOffset > size) return Status::OutsideFile;
    if (uint64_t{qnt.colourOffset} + qnt.colourSize + qnt.alphaSize > size) return Status::Truncated;
    return Status::Complete;
}

Status PmsHeaderStatus(const PmsHeader& pms, uint32_t size) {
    if (pms.pixelOffset > size) return Status::OutsideFile;
    if (pms.depth == 8) {
        if (pms.extraOffset > size) return Status::OutsideFile;
        if (uint64_t{pms.extraOffset} + kPmsPaletteBytes > size) return Status::Truncated;
    } else if (pms.extraOffset > size) {
        return Status::OutsideFile;
    }
    return Status::Complete;
}

}  // namespace

Status ReadPictureFacts(const FileAccess* file, PictureFacts* facts) {
    std::memset(&facts->record, 0, sizeof facts->record);
    ThePlugin().getImageInfo(file, &facts->record);
    const ImageInfo& record = facts->record;
    if (record.kind == ImageNone || !ParseImageOfKind(file, record.kind, &facts->image)) {
        return Status::NotRecognised;
    }
    const ParsedImage& image = facts->image;
    PictureInfo& info = facts->info;
    info = PictureInfo{};
    info.kind = ImageKindOf(record.kind);
    info.width = record.width;
    info.height = record.height;
    info.depth = record.bitDepth;
    const uint32_t size = file->dataSize;
    switch (record.kind) {
        case ImageQnt:
            info.hasAlpha = image.qnt.alphaSize != 0;
            return QntHeaderStatus(image.qnt, size);
        case ImagePms:
            info.hasAlpha = image.pms.depth != 8 && image.pms.extraOffset != 0;
            return PmsHeaderStatus(image.pms, size);
        default:
            info.x = image.vsp.x;
            info.y = image.vsp.y;
            return size < kVspPlaneOffset ? Status::Truncated : Status::Complete;
    }
}

}  // namespace api
}  // namespace torva
