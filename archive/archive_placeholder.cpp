#include "plugin/plugin_object.h"
int32_t FormatPlugin::isSupportedArchive(const FileAccess*, int32_t* kind) { *kind = 0; return Ok; }
int32_t FormatPlugin::getArchiveInfo(const FileAccess*, HGLOBAL*, int32_t* count) { *count = 0; return Ok; }
