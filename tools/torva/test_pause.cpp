#include "tools/torva/test_pause.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/torva/file_system_platform.h"

namespace torva {
namespace {

struct PausePoint {
    std::string point;
    unsigned long count = 0;
    int descriptor = -1;
};

PausePoint ReadPausePoint() {
    PausePoint pause;
    const char* at = std::getenv("TORVA_TEST_PAUSE_AT");
    const char* fd = std::getenv("TORVA_TEST_PAUSE_FD");
    if (at == nullptr || fd == nullptr) return pause;
    const char* colon = std::strrchr(at, ':');
    char* end = nullptr;
    const long descriptor = std::strtol(fd, &end, 10);
    if (colon == nullptr || *end != '\0' || descriptor < 0 || descriptor > 65535) return pause;
    const unsigned long count = std::strtoul(colon + 1, &end, 10);
    if (*end != '\0' || count == 0) return pause;
    pause.point.assign(at, colon);
    pause.count = count;
    pause.descriptor = int(descriptor);
    return pause;
}

std::atomic<unsigned long> g_passes{0};

}  // namespace

void TestPause(const char* point) {
    static const PausePoint pause = ReadPausePoint();
    if (pause.descriptor < 0 || pause.point != point) return;
    if (++g_passes != pause.count) return;
    platform::SignalAndWaitForInterrupt(pause.descriptor);
}

}  // namespace torva
