// The QNT decoder's work after the inflate (block order, prediction filter,
// alpha) on random residuals, each picture size rebuilt REPETITIONS times
// into the same bitmap; the fastest repetition is printed, in wall time, as
// ns a pixel. Meant for comparing two builds of the decoder run one after the
// other on a shared machine (the fastest repetition is the one least
// disturbed), and for the DLL's code under Wine, where the CPU clock is
// coarse.
//   torvasoft_rebuild_bench [REPETITIONS]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "codec/qnt_decoder.h"

namespace {

double FastestNanosecondsPerPixel(uint32_t w, uint32_t h, bool alpha, int repetitions) {
    std::vector<unsigned char> planes(12 * size_t{(w + 1) / 2} * ((h + 1) / 2));
    std::vector<unsigned char> alphaRows(size_t{(w + 1) & ~1u} * h);
    uint32_t state = w * 31 + h;
    for (auto* bytes : {&planes, &alphaRows}) {
        for (auto& b : *bytes) {
            state = state * 1103515245u + 12345u;
            b = static_cast<unsigned char>(state >> 24);
        }
    }
    const size_t stride = alpha ? 4 * size_t{w} : (3 * size_t{w} + 3) & ~size_t{3};
    std::vector<unsigned char> bitmap(stride * h);
    const torva::PixelSpan out{bitmap.data(), stride, h};
    double best = 1e300;
    for (int r = 0; r < repetitions; ++r) {
        const auto start = std::chrono::steady_clock::now();
        torva::qnt_detail::RebuildPixels(out, w, h, planes.data(), alpha ? alphaRows.data() : nullptr);
        const auto end = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::nano>(end - start).count());
    }
    return best / (double(w) * h);
}

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    std::printf("| path | size | rebuild ns/px (fastest of %d) |\n|---|---|---|\n", repetitions);
    const uint32_t sizes[][2] = {{640, 400}, {1024, 768}, {2048, 2048}};
    for (bool alpha : {false, true}) {
        for (const auto& s : sizes) {
            std::printf("| %s | %ux%u | %.3f |\n", alpha ? "qnt32" : "qnt24", s[0], s[1],
                        FastestNanosecondsPerPixel(s[0], s[1], alpha, repetitions));
        }
    }
    return 0;
}
