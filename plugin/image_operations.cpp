// Image detection and image information for the host: QNT, then PMS, then
// VSP, by the core's header parse over the host's record.
#include <initializer_list>

#include "plugin/picture_records.h"
#include "plugin/plugin_object.h"

int32_t FormatPlugin::isSupportedImage(const FileAccess* file, int32_t* kind) {
    *kind = ImageNone;
    // Format by format, so that the name is examined only when VSP is tried.
    torva::PictureHeader header;
    for (int32_t candidate : {ImageQnt, ImagePms, ImageVsp}) {
        if (ParseRecordAs(file, candidate, &header)) break;
    }
    *kind = ImageKindOf(header.format);
    return Ok;
}

int32_t FormatPlugin::getImageInfo(const FileAccess* file, ImageInfo* info) {
    int32_t kind = ImageNone;
    const int32_t result = isSupportedImage(file, &kind);
    if (result != Ok) return result;
    if (kind == ImageNone) return Ok;  // the record stays as the caller left it

    // A kind that a derived class's detection reports but whose header does
    // not parse leaves the record as it was, like an unrecognised file.
    torva::PictureHeader header;
    if (!ParseRecordAs(file, kind, &header)) return Ok;

    // Width and height are 16-bit fields: larger stored values keep only
    // their low 16 bits here.
    const torva::PictureFacts facts = torva::FactsOf(header);
    info->text[0] = '\0';
    info->dataOffset = 0;
    info->dataSize = file->dataSize;
    info->width = facts.width;
    info->height = facts.height;
    info->bitDepth = facts.depth;
    info->imageFlag = header.format == torva::Format::Vsp ? 0 : 1;
    info->kind = kind;
    return Ok;
}
