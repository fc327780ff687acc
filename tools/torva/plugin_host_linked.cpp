// The native host: the library is linked in and its entry points are called
// directly.
#include "plugin/entry_points.h"
#include "tools/torva/plugin_host.h"

namespace torva {
namespace {

class LinkedHost final : public PluginHost {
public:
    int32_t getPluginInfo(PluginInfo* info) override { return KRV_GetPluginInfo(info); }
    int32_t isSupported(const FileAccess* file, int32_t serviceType, int32_t* result) override {
        return KRV_IsSupported(file, serviceType, result);
    }
    int32_t getArchiveInfo(const FileAccess* file, HGLOBAL* block, int32_t* count) override {
        return KRV_GetArchiveInfo(file, block, count);
    }
    int32_t getImageInfo(const FileAccess* file, ImageInfo* info) override {
        return KRV_GetImageInfo(file, info);
    }
    int32_t getImage(const FileAccess* file, HGLOBAL* block, uint32_t* size, int32_t mode) override {
        return KRV_GetImage(file, block, size, mode);
    }
};

}  // namespace

std::unique_ptr<PluginHost> OpenPluginHost(std::string&) { return std::make_unique<LinkedHost>(); }

}  // namespace torva
