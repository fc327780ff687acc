// The command-line host's view of the plug-in: the six entry points and
// the global memory blocks they hand over. Two implementations exist: the
// native build links the library and calls it directly; the Windows build
// loads torvasoft.dll at run time, as an image viewer does.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/winapi.h"
#include "plugin/records.h"

namespace torva {

class PluginHost {
public:
    virtual ~PluginHost() = default;

    virtual int32_t getPluginInfo(PluginInfo* info) = 0;
    virtual int32_t isSupported(const FileAccess* file, int32_t serviceType, int32_t* result) = 0;
    virtual int32_t getArchiveInfo(const FileAccess* file, HGLOBAL* block, int32_t* count) = 0;
    virtual int32_t getImageInfo(const FileAccess* file, ImageInfo* info) = 0;
    virtual int32_t getImage(const FileAccess* file, HGLOBAL* block, uint32_t* size, int32_t mode) = 0;
};

// Loads the plug-in. On failure returns null and says why in `error`.
std::unique_ptr<PluginHost> OpenPluginHost(std::string& error);

// A global memory block handed over by the plug-in; the host owns it and
// frees it when this object goes.
class OwnedBlock {
public:
    explicit OwnedBlock(HGLOBAL handle = nullptr) : handle_(handle) {}
    ~OwnedBlock() {
        if (handle_ != nullptr) GlobalFree(handle_);
    }
    OwnedBlock(const OwnedBlock&) = delete;
    OwnedBlock& operator=(const OwnedBlock&) = delete;

    HGLOBAL* out() { return &handle_; }
    HGLOBAL get() const { return handle_; }
    size_t blockSize() const { return handle_ != nullptr ? GlobalSize(handle_) : 0; }

    // Copies the first `size` bytes of the block (at most the block's size).
    std::string copyBytes(size_t size) const;

private:
    HGLOBAL handle_;
};

}  // namespace torva
