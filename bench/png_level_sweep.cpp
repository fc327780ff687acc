// The PNG writer at the default level (the libdeflate level it chose in
// brackets) and at every libdeflate level on the bitmaps given: processor
// time in ms (median of RUNS encodings) and file size in KB, a line a bitmap.
//
//   torva_png_level_sweep RUNS FILE.bmp...
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/torva/bitmap_view.h"
#include "tools/torva/png_encoder.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: torva_png_level_sweep RUNS FILE.bmp...\n");
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    std::printf("| bitmap | default |");
    for (int level = 1; level <= 12; ++level) std::printf(" %d |", level);
    std::printf("\n|---|---:|");
    for (int level = 1; level <= 12; ++level) std::printf("---:|");
    std::printf("\n");
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        const std::string bitmap = bytes.str();
        torva::BitmapView view;
        std::string error, png;
        if (!view.parse(bitmap, error)) {
            std::fprintf(stderr, "%s: %s\n", argv[i], error.c_str());
            return 1;
        }
        const std::string path = argv[i];
        std::printf("| %s |", path.substr(path.find_last_of('/') + 1).c_str());
        for (int level = 0; level <= 12; ++level) {  // 0: the default
            std::vector<double> ms;
            int chosen = level;
            for (int run = 0; run < runs; ++run) {
                const std::clock_t start = std::clock();
                const bool written = level == 0 ? torva::EncodePng(view, torva::PngLevel::Default, png, error, &chosen)
                                                : torva::EncodePngAtDeflateLevel(view, level, png, error);
                if (!written) {
                    std::fprintf(stderr, "%s: %s\n", argv[i], error.c_str());
                    return 1;
                }
                ms.push_back(double(std::clock() - start) * 1000 / CLOCKS_PER_SEC);
            }
            std::sort(ms.begin(), ms.end());
            std::printf(" %.1f / %.1f", ms[ms.size() / 2], png.size() / 1000.0);
            if (level == 0) std::printf(" (%d)", chosen);
            std::printf(" |");
            std::fflush(stdout);
        }
        std::printf("\n");
    }
    return 0;
}
