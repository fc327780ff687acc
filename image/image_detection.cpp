// Image detection and image information: QNT, then PMS, then VSP. A failed
// test of one format passes on to the next; none of them reads past the
// supplied bytes.
#include "image/parsed_image.h"
#include "plugin/plugin_object.h"

int32_t FormatPlugin::isSupportedImage(const FileAccess* file, int32_t* kind) {
    *kind = ImageNone;
    *kind = ParseImage(file).kind;
    return Ok;
}

int32_t FormatPlugin::getImageInfo(const FileAccess* file, ImageInfo* info) {
    int32_t kind = ImageNone;
    const int32_t result = isSupportedImage(file, &kind);
    if (result != Ok) return result;
    if (kind == ImageNone) return Ok;  // the record stays as the caller left it

    // A kind that a derived class's detection reports but whose header does
    // not parse leaves the record as it was, like an unrecognised file.
    ParsedImage image;
    if (!ParseImageOfKind(file, kind, &image)) return Ok;

    // Width and height are 16-bit fields: larger stored values keep only
    // their low 16 bits here.
    uint32_t width = 0, height = 0;
    uint8_t depth = 0, flag = 1;
    if (kind == ImageQnt) {
        width = static_cast<uint32_t>(image.qnt.width);
        height = static_cast<uint32_t>(image.qnt.height);
        depth = image.qnt.alphaSize != 0 ? 32 : 24;
    } else if (kind == ImagePms) {
        width = static_cast<uint32_t>(image.pms.width);
        height = static_cast<uint32_t>(image.pms.height);
        depth = image.pms.depth;
    } else {
        width = static_cast<uint32_t>(image.vsp.width);
        height = static_cast<uint32_t>(image.vsp.height);
        depth = 4;
        flag = 0;
    }
    info->text[0] = '\0';
    info->dataOffset = 0;
    info->dataSize = file->dataSize;
    info->width = static_cast<uint16_t>(width);
    info->height = static_cast<uint16_t>(height);
    info->bitDepth = depth;
    info->imageFlag = flag;
    info->kind = kind;
    return Ok;
}
