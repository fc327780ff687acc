// The plug-in object. PluginBase holds the plug-in's identity and gives every
// operation of the host interface a virtual slot with a do-nothing default;
// FormatPlugin overrides detection, listing, information and image
// construction for the game data formats (archives ALD and ALK, images QNT,
// PMS and VSP). One constant FormatPlugin stands behind the entry points.
#pragma once

#include <cstdint>

#include "platform/winapi.h"
#include "plugin/records.h"
#include "plugin/result_codes.h"

class PluginBase {
public:
    PluginBase(int32_t apiVersion, int32_t pluginKinds, const char* name, const char* author, const char* version,
               int32_t archiveExtCount, const ExtensionEntry* archiveExts, int32_t imageExtCount,
               const ExtensionEntry* imageExts);
    PluginBase(const PluginBase&) = delete;
    PluginBase& operator=(const PluginBase&) = delete;

    // The slots, in the order of the host interface.
    virtual ~PluginBase();
    virtual int32_t getPluginInfo(PluginInfo* info);
    virtual int32_t getSupportedExt(int32_t serviceType, int32_t index, char* description,
                                    int32_t* descriptionLength, char* pattern, int32_t* patternLength);
    virtual int32_t isSupportedArchive(const FileAccess* file, int32_t* kind);
    virtual int32_t isSupportedImage(const FileAccess* file, int32_t* kind);
    virtual int32_t getArchiveInfo(const FileAccess* file, HGLOBAL* block, int32_t* count);
    // Copies an archive member's bytes into a new global block. The first
    // argument is not used: the member is already read into `source`.
    virtual int32_t copyMemberToGlobal(uint32_t unused, const unsigned char* source, const ArchiveEntry* entry,
                                       HGLOBAL* block);
    virtual int32_t getImageInfo(const FileAccess* file, ImageInfo* info);
    virtual int32_t getImage(const FileAccess* file, HGLOBAL* block, uint32_t* size, int32_t mode);
    // Slots kept for the host interface; they take no part in any format.
    virtual int32_t reservedA(uint32_t a, uint32_t b, uint32_t c);
    virtual int32_t reservedB(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e);
    virtual int32_t reservedC(uint32_t a);

protected:
    int32_t apiVersion;
    int32_t pluginKinds;
    char name[80];
    char author[20];
    char version[20];
    int32_t archiveExtCount;
    int32_t imageExtCount;
    const ExtensionEntry* archiveExts;
    const ExtensionEntry* imageExts;
};

class FormatPlugin : public PluginBase {
public:
    FormatPlugin(int32_t apiVersion, int32_t pluginKinds, const char* name, const char* author, const char* version,
                 int32_t archiveExtCount, const ExtensionEntry* archiveExts, int32_t imageExtCount,
                 const ExtensionEntry* imageExts);
    ~FormatPlugin() override;

    // Archive detection and listing (archive/).
    int32_t isSupportedArchive(const FileAccess* file, int32_t* kind) override;
    int32_t getArchiveInfo(const FileAccess* file, HGLOBAL* block, int32_t* count) override;
    // Image detection, information and bitmap construction (image/).
    int32_t isSupportedImage(const FileAccess* file, int32_t* kind) override;
    int32_t getImageInfo(const FileAccess* file, ImageInfo* info) override;
    int32_t getImage(const FileAccess* file, HGLOBAL* block, uint32_t* size, int32_t mode) override;
};

// The one plug-in object behind the entry points.
FormatPlugin& ThePlugin();
