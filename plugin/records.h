// The records that cross between the viewer and the plug-in. They are packed
// to byte alignment and little-endian; the viewer is a 32-bit process, so its
// pointers and handles are 4 bytes wide. The layouts are checked below wherever
// pointers have that width (the Windows build); natively the pointer fields are
// wider and only the pointer-free records keep their exact sizes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/winapi.h"

// Selector of KRV_IsSupported and KRV_GetSupportedExt.
enum ServiceType : int32_t {
    ServiceArchive = 1,
    ServiceImage = 2,
};

// The kind that archive detection reports.
enum ArchiveKind : int32_t {
    ArchiveNone = 0,
    ArchiveAld = 1,
    ArchiveAlk = 2,
};

// The kind that image detection reports.
enum ImageKind : int32_t {
    ImageNone = 0,
    ImageQnt = 1,
    ImagePms = 2,
    ImageVsp = 3,
};

#pragma pack(push, 1)

// One file as the host describes it. The name is stored in the record itself
// and runs to its terminator; the host decides how long the record is.
struct FileAccess {
    HANDLE hFile;
    const unsigned char* data;
    uint32_t dataSize;
    char fileName[1];
};

struct PluginInfo {
    int32_t apiVersion;
    int32_t pluginKinds;
    char name[80];
    char author[20];
    char version[20];
    int32_t archiveExtCount;
    int32_t imageExtCount;
};

struct ExtensionEntry {
    const char* description;
    const char* pattern;
};

struct ArchiveEntry {
    char name[256];
    uint64_t position;
    int64_t storedSize;
    int64_t size;
    uint32_t reserved;
    int32_t archiveKind;
    FILETIME timestamp;
    char typeTag[8];
};

struct ImageInfo {
    char text[256];
    uint32_t dataOffset;
    uint32_t dataSize;
    uint16_t width;
    uint16_t height;
    uint8_t bitDepth;
    uint8_t imageFlag;
    int32_t kind;
};

#pragma pack(pop)

// The file name of a record: a NUL-terminated string that may run past the
// declared one-byte array, as far as the host's record goes.
inline const char* FileNameOf(const FileAccess* file) {
    return reinterpret_cast<const char*>(file) + offsetof(FileAccess, fileName);
}

static_assert(sizeof(PluginInfo) == 136, "PluginInfo is 136 bytes");
static_assert(offsetof(PluginInfo, name) == 8, "PluginInfo.name at 8");
static_assert(offsetof(PluginInfo, author) == 88, "PluginInfo.author at 88");
static_assert(offsetof(PluginInfo, version) == 108, "PluginInfo.version at 108");
static_assert(offsetof(PluginInfo, archiveExtCount) == 128, "PluginInfo.archiveExtCount at 128");
static_assert(offsetof(PluginInfo, imageExtCount) == 132, "PluginInfo.imageExtCount at 132");

static_assert(sizeof(ArchiveEntry) == 304, "ArchiveEntry is 304 bytes");
static_assert(offsetof(ArchiveEntry, position) == 256, "ArchiveEntry.position at 256");
static_assert(offsetof(ArchiveEntry, storedSize) == 264, "ArchiveEntry.storedSize at 264");
static_assert(offsetof(ArchiveEntry, size) == 272, "ArchiveEntry.size at 272");
static_assert(offsetof(ArchiveEntry, reserved) == 280, "ArchiveEntry.reserved at 280");
static_assert(offsetof(ArchiveEntry, archiveKind) == 284, "ArchiveEntry.archiveKind at 284");
static_assert(offsetof(ArchiveEntry, timestamp) == 288, "ArchiveEntry.timestamp at 288");
static_assert(offsetof(ArchiveEntry, typeTag) == 296, "ArchiveEntry.typeTag at 296");

static_assert(sizeof(ImageInfo) == 274, "ImageInfo is 274 bytes");
static_assert(offsetof(ImageInfo, dataOffset) == 256, "ImageInfo.dataOffset at 256");
static_assert(offsetof(ImageInfo, dataSize) == 260, "ImageInfo.dataSize at 260");
static_assert(offsetof(ImageInfo, width) == 264, "ImageInfo.width at 264");
static_assert(offsetof(ImageInfo, height) == 266, "ImageInfo.height at 266");
static_assert(offsetof(ImageInfo, bitDepth) == 268, "ImageInfo.bitDepth at 268");
static_assert(offsetof(ImageInfo, imageFlag) == 269, "ImageInfo.imageFlag at 269");
static_assert(offsetof(ImageInfo, kind) == 270, "ImageInfo.kind at 270");

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(HANDLE) == 4 && sizeof(HGLOBAL) == 4, "32-bit handles");
static_assert(offsetof(FileAccess, hFile) == 0, "FileAccess.hFile at 0");
static_assert(offsetof(FileAccess, data) == 4, "FileAccess.data at 4");
static_assert(offsetof(FileAccess, dataSize) == 8, "FileAccess.dataSize at 8");
static_assert(offsetof(FileAccess, fileName) == 12, "FileAccess.fileName at 12");
static_assert(sizeof(ExtensionEntry) == 8, "ExtensionEntry is 8 bytes");
static_assert(offsetof(ExtensionEntry, pattern) == 4, "ExtensionEntry.pattern at 4");
#endif
