#include "tools/torva/interrupt_cleanup.h"

#include <atomic>
#include <cstring>

#include "tools/torva/file_system_platform.h"

namespace torva {
namespace {

// A slot is claimed, its path written, then published to the handler; on
// release it is withdrawn from the handler before it can be claimed again.
char g_paths[InterruptCleanup::kSlots][InterruptCleanup::kPathBytes];
std::atomic<bool> g_published[InterruptCleanup::kSlots];
std::atomic<bool> g_claimed[InterruptCleanup::kSlots];

static_assert(std::atomic<bool>::is_always_lock_free, "the handler reads the flags");

}  // namespace

InterruptCleanup::InterruptCleanup(const std::string& path) {
    if (path.empty() || path.size() >= kPathBytes || path.find('\0') != std::string::npos) return;
    for (size_t i = 0; i < kSlots; ++i) {
        if (g_claimed[i].exchange(true)) continue;
        std::memcpy(g_paths[i], path.c_str(), path.size() + 1);
        g_published[i].store(true);
        slot_ = i;
        return;
    }
}

void InterruptCleanup::release() {
    if (slot_ == kNone) return;
    g_published[slot_].store(false);
    g_claimed[slot_].store(false);
    slot_ = kNone;
}

void RemoveRegisteredFiles() {
    for (size_t i = 0; i < InterruptCleanup::kSlots; ++i) {
        if (g_published[i].load()) platform::RemoveFileFromHandler(g_paths[i]);
    }
}

void InstallInterruptCleanup() { platform::InstallInterruptHandler(RemoveRegisteredFiles); }

}  // namespace torva
