#include "plugin/plugin_object.h"
int32_t FormatPlugin::isSupportedImage(const FileAccess*, int32_t* kind) { *kind = 0; return Ok; }
int32_t FormatPlugin::getImageInfo(const FileAccess*, ImageInfo*) { return Ok; }
int32_t FormatPlugin::getImage(const FileAccess*, HGLOBAL*, uint32_t* size, int32_t) { *size = 0; return Ok; }
