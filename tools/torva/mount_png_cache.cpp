#include "tools/torva/mount_png_cache.h"

namespace torva {

SharedPng PngCache::find(size_t key) {
    const auto found = kept_.find(key);
    if (found == kept_.end()) return nullptr;
    uses_.splice(uses_.begin(), uses_, found->second.use);
    return found->second.png;
}

void PngCache::keep(size_t key, const SharedPng& png) {
    if (!png || png->size() > limit_ || kept_.count(key) != 0) return;
    while (!uses_.empty() && bytes_ + png->size() > limit_) {
        const auto oldest = kept_.find(uses_.back());
        bytes_ -= oldest->second.png->size();
        kept_.erase(oldest);
        uses_.pop_back();
    }
    uses_.push_front(key);
    kept_[key] = Kept{png, uses_.begin()};
    bytes_ += png->size();
}

}  // namespace torva
