// The six entry points of the plug-in, with the calling convention of the
// Windows API (the callee removes the arguments). The Windows DLL exports them
// under exactly these undecorated names.
#pragma once

#include <cstdint>

#include "platform/winapi.h"
#include "plugin/records.h"

extern "C" {
TORVA_ENTRY_POINT int32_t WINAPI KRV_GetPluginInfo(PluginInfo* info);
TORVA_ENTRY_POINT int32_t WINAPI KRV_GetSupportedExt(int32_t serviceType, int32_t index, char* description,
                                   int32_t* descriptionLength, char* pattern, int32_t* patternLength);
TORVA_ENTRY_POINT int32_t WINAPI KRV_IsSupported(const FileAccess* file, int32_t serviceType, int32_t* result);
TORVA_ENTRY_POINT int32_t WINAPI KRV_GetArchiveInfo(const FileAccess* file, HGLOBAL* block, int32_t* count);
TORVA_ENTRY_POINT int32_t WINAPI KRV_GetImageInfo(const FileAccess* file, ImageInfo* info);
TORVA_ENTRY_POINT int32_t WINAPI KRV_GetImage(const FileAccess* file, HGLOBAL* block, uint32_t* size, int32_t mode);
}
