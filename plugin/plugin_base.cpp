// PluginBase: the identity, the extension query, the member copy and the
// do-nothing defaults of every other slot.
#include <cstring>

#include "plugin/holders.h"
#include "plugin/plugin_object.h"

namespace {

// Copies `text` into a fixed field with the multibyte-aware bounded copy,
// which fills the rest of the field with zeros and never splits a character.
template <size_t N>
void CopyIdentityString(char (&field)[N], const char* text) {
    _mbsnbcpy(reinterpret_cast<unsigned char*>(field), reinterpret_cast<const unsigned char*>(text), N);
}

// Copies a field through its terminator only, leaving the host's bytes after
// it as they were. A field without a terminator is cut one byte short of its
// width so that the copy still ends in one.
template <size_t N>
void CopyThroughTerminator(char (&target)[N], const char (&field)[N]) {
    size_t length = strnlen(field, N - 1);
    std::memcpy(target, field, length);
    target[length] = '\0';
}

// The string convention for host buffers: a null buffer asks for the length
// (without the terminator); otherwise the length is the capacity on entry and
// at most that many bytes are copied, the terminator included when it fits.
void WriteHostString(const char* text, char* buffer, int32_t* length) {
    const size_t textLength = std::strlen(text);
    if (buffer == nullptr) {
        *length = static_cast<int32_t>(textLength);
        return;
    }
    const int32_t capacity = *length;
    // A negative capacity is no buffer at all: nothing is copied.
    if (capacity <= 0) {
        *length = 0;
        return;
    }
    int32_t n = static_cast<int32_t>(textLength + 1);
    if (n >= capacity) n = capacity;
    std::memcpy(buffer, text, static_cast<size_t>(n));
    *length = n;
}

}  // namespace

PluginBase::PluginBase(int32_t apiVersion_, int32_t pluginKinds_, const char* name_, const char* author_,
                       const char* version_, int32_t archiveExtCount_, const ExtensionEntry* archiveExts_,
                       int32_t imageExtCount_, const ExtensionEntry* imageExts_)
    : apiVersion(apiVersion_),
      pluginKinds(pluginKinds_),
      name{},
      author{},
      version{},
      archiveExtCount(archiveExtCount_),
      imageExtCount(imageExtCount_),
      archiveExts(archiveExts_),
      imageExts(imageExts_) {
    CopyIdentityString(name, name_);
    CopyIdentityString(author, author_);
    CopyIdentityString(version, version_);
}

PluginBase::~PluginBase() = default;

int32_t PluginBase::getPluginInfo(PluginInfo* info) {
    CopyThroughTerminator(info->name, name);
    CopyThroughTerminator(info->author, author);
    CopyThroughTerminator(info->version, version);
    info->pluginKinds = pluginKinds;
    info->apiVersion = apiVersion;
    info->archiveExtCount = archiveExtCount;
    info->imageExtCount = imageExtCount;
    return Ok;
}

int32_t PluginBase::getSupportedExt(int32_t serviceType, int32_t index, char* description,
                                    int32_t* descriptionLength, char* pattern, int32_t* patternLength) {
    const ExtensionEntry* table;
    int32_t rows;
    if (serviceType == ServiceArchive) {
        table = archiveExts;
        rows = archiveExtCount;
    } else if (serviceType == ServiceImage) {
        table = imageExts;
        rows = imageExtCount;
    } else {
        return InvalidArgument;
    }
    if (index < 0 || index >= rows) return InvalidArgument;
    if (descriptionLength == nullptr || patternLength == nullptr) return InvalidArgument;
    WriteHostString(table[index].description, description, descriptionLength);
    WriteHostString(table[index].pattern, pattern, patternLength);
    return Ok;
}

int32_t PluginBase::isSupportedArchive(const FileAccess*, int32_t*) { return Ok; }
int32_t PluginBase::isSupportedImage(const FileAccess*, int32_t*) { return Ok; }
int32_t PluginBase::getArchiveInfo(const FileAccess*, HGLOBAL*, int32_t*) { return Ok; }
int32_t PluginBase::getImageInfo(const FileAccess*, ImageInfo*) { return Ok; }
int32_t PluginBase::getImage(const FileAccess*, HGLOBAL*, uint32_t*, int32_t) { return Ok; }
int32_t PluginBase::reservedA(uint32_t, uint32_t, uint32_t) { return Ok; }
int32_t PluginBase::reservedB(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) { return Ok; }
int32_t PluginBase::reservedC(uint32_t) { return Ok; }

int32_t PluginBase::copyMemberToGlobal(uint32_t, const unsigned char* source, const ArchiveEntry* entry,
                                       HGLOBAL* block) {
    // The block is sized by the low 32 bits of the member's size.
    const uint32_t bytes = static_cast<uint32_t>(static_cast<uint64_t>(entry->size));
    GlobalBlock output;
    if (!output.allocate(bytes)) return OutOfMemory;
    // Windows gives a movable block of 0 bytes as a discarded block, which
    // cannot be locked: an empty member is handed over without a lock, as
    // there is nothing to copy into it.
    if (bytes > 0) {
        void* address = output.lock();
        if (address == nullptr) return OutOfMemory;
        std::memcpy(address, source, bytes);
    }
    *block = output.handOver();
    return Ok;
}
