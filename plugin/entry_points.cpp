// The exported entry points: each forwards to the one plug-in object.
#include "plugin/entry_points.h"

#include "plugin/plugin_object.h"

extern "C" {

int32_t WINAPI KRV_GetPluginInfo(PluginInfo* info) { return ThePlugin().getPluginInfo(info); }

int32_t WINAPI KRV_GetSupportedExt(int32_t serviceType, int32_t index, char* description,
                                   int32_t* descriptionLength, char* pattern, int32_t* patternLength) {
    return ThePlugin().getSupportedExt(serviceType, index, description, descriptionLength, pattern, patternLength);
}

int32_t WINAPI KRV_IsSupported(const FileAccess* file, int32_t serviceType, int32_t* result) {
    *result = 0;
    if (serviceType == ServiceArchive) return ThePlugin().isSupportedArchive(file, result);
    if (serviceType == ServiceImage) return ThePlugin().isSupportedImage(file, result);
    return Ok;
}

int32_t WINAPI KRV_GetArchiveInfo(const FileAccess* file, HGLOBAL* block, int32_t* count) {
    return ThePlugin().getArchiveInfo(file, block, count);
}

int32_t WINAPI KRV_GetImageInfo(const FileAccess* file, ImageInfo* info) {
    return ThePlugin().getImageInfo(file, info);
}

int32_t WINAPI KRV_GetImage(const FileAccess* file, HGLOBAL* block, uint32_t* size, int32_t mode) {
    return ThePlugin().getImage(file, block, size, mode);
}

}  // extern "C"
