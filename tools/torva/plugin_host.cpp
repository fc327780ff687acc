#include "tools/torva/plugin_host.h"

#include <algorithm>

namespace torva {

std::string OwnedBlock::copyBytes(size_t size) const {
    if (handle_ == nullptr) return std::string();
    size = std::min(size, static_cast<size_t>(GlobalSize(handle_)));
    const void* bytes = GlobalLock(handle_);
    if (bytes == nullptr) return std::string();
    std::string copy(static_cast<const char*>(bytes), size);
    GlobalUnlock(handle_);
    return copy;
}

}  // namespace torva
