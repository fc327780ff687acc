// The Windows host: torvasoft.dll is loaded at run time and its exports are
// looked up by name, as an image viewer does. The DLL is searched for next
// to the executable first (the system's usual order for LoadLibrary).
#include <windows.h>

#include "tools/torva/plugin_host.h"

namespace torva {
namespace {

typedef int32_t(WINAPI* GetPluginInfoFn)(PluginInfo*);
typedef int32_t(WINAPI* IsSupportedFn)(const FileAccess*, int32_t, int32_t*);
typedef int32_t(WINAPI* GetArchiveInfoFn)(const FileAccess*, HGLOBAL*, int32_t*);
typedef int32_t(WINAPI* GetImageInfoFn)(const FileAccess*, ImageInfo*);
typedef int32_t(WINAPI* GetImageFn)(const FileAccess*, HGLOBAL*, uint32_t*, int32_t);

class DllHost final : public PluginHost {
public:
    ~DllHost() override {
        if (module_ != nullptr) FreeLibrary(module_);
    }

    bool load(std::string& error) {
        module_ = LoadLibraryA("torvasoft.dll");
        if (module_ == nullptr) {
            error = "cannot load torvasoft.dll (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
        return find(getPluginInfo_, "KRV_GetPluginInfo", error) &&
               find(isSupported_, "KRV_IsSupported", error) &&
               find(getArchiveInfo_, "KRV_GetArchiveInfo", error) &&
               find(getImageInfo_, "KRV_GetImageInfo", error) &&
               find(getImage_, "KRV_GetImage", error);
    }

    int32_t getPluginInfo(PluginInfo* info) override { return getPluginInfo_(info); }
    int32_t isSupported(const FileAccess* file, int32_t serviceType, int32_t* result) override {
        return isSupported_(file, serviceType, result);
    }
    int32_t getArchiveInfo(const FileAccess* file, HGLOBAL* block, int32_t* count) override {
        return getArchiveInfo_(file, block, count);
    }
    int32_t getImageInfo(const FileAccess* file, ImageInfo* info) override {
        return getImageInfo_(file, info);
    }
    int32_t getImage(const FileAccess* file, HGLOBAL* block, uint32_t* size, int32_t mode) override {
        return getImage_(file, block, size, mode);
    }

private:
    template <typename Fn>
    bool find(Fn& function, const char* name, std::string& error) {
        function = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
        if (function == nullptr) {
            error = std::string("torvasoft.dll does not export ") + name;
            return false;
        }
        return true;
    }

    HMODULE module_ = nullptr;
    GetPluginInfoFn getPluginInfo_ = nullptr;
    IsSupportedFn isSupported_ = nullptr;
    GetArchiveInfoFn getArchiveInfo_ = nullptr;
    GetImageInfoFn getImageInfo_ = nullptr;
    GetImageFn getImage_ = nullptr;
};

}  // namespace

std::unique_ptr<PluginHost> OpenPluginHost(std::string& error) {
    auto host = std::make_unique<DllHost>();
    if (!host->load(error)) return nullptr;
    return host;
}

}  // namespace torva
