#include "image/parsed_image.h"

#include <initializer_list>

#include "plugin/file_name.h"
#include "plugin/result_codes.h"

namespace {

// A record without bytes is treated as one with no bytes at all.
uint32_t SizeOf(const FileAccess* file) { return file->data == nullptr ? 0 : file->dataSize; }

}  // namespace

bool ParseImageOfKind(const FileAccess* file, int32_t kind, ParsedImage* image) {
    const uint32_t size = SizeOf(file);
    ParsedImage parsed;
    bool found = false;
    if (kind == ImageQnt) {
        found = ParseQntHeader(file->data, size, &parsed.qnt);
    } else if (kind == ImagePms) {
        found = ParsePmsHeader(file->data, size, &parsed.pms);
    } else if (kind == ImageVsp) {
        found = HasExtension(file, ".vsp") && ParseVspHeader(file->data, size, &parsed.vsp);
    }
    if (!found) return false;
    parsed.kind = kind;
    *image = parsed;
    return true;
}

ParsedImage ParseImage(const FileAccess* file) {
    ParsedImage image;
    for (int32_t kind : {ImageQnt, ImagePms, ImageVsp}) {
        if (ParseImageOfKind(file, kind, &image)) break;
    }
    return image;
}
