// The PNG writer at the default level (the libdeflate level it chose in
// brackets) and at every libdeflate level on the pictures given, decoded
// through the C interface as torva convert and the browser decode them:
// processor time in ms (median of RUNS encodings) and file size in KB, a
// line a picture.
//
//   torva_png_level_sweep RUNS PICTURE...
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/stored_picture.h"
#include "png/png_encoder.h"
#include "torvasoft/torvasoft.hpp"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: torva_png_level_sweep RUNS PICTURE...\n");
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    std::printf("| picture | default |");
    for (int level = 1; level <= 12; ++level) std::printf(" %d |", level);
    std::printf("\n|---|---:|");
    for (int level = 1; level <= 12; ++level) std::printf("---:|");
    std::printf("\n");
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        const std::string file = bytes.str();
        const torvasoft::Picture picture =
            torvasoft::Decode(file.data(), file.size(), argv[i], TORVASOFT_AS_STORED_FULL);
        if (picture.status != torvasoft::Status::Complete) {
            std::fprintf(stderr, "%s: %s\n", argv[i], torvasoft_status_text(int(picture.status)));
            return 1;
        }
        std::vector<torva_png_colour> palette;
        const torva_png::Source source = bench::StoredSource(picture, palette);
        const std::string path = argv[i];
        std::printf("| %s |", path.substr(path.find_last_of('/') + 1).c_str());
        for (int level = 0; level <= 12; ++level) {  // 0: the default
            std::vector<double> ms;
            torva_png::Encoded encoded;
            for (int run = 0; run < runs; ++run) {
                const std::clock_t start = std::clock();
                const int status = torva_png::Encode(source, level == 0 ? torva_png::kAdaptiveLevel : level,
                                                     torva_png_options{}, encoded);
                if (status != TORVA_PNG_OK) {
                    std::fprintf(stderr, "%s: %s\n", argv[i], torva_png_status_text(status));
                    return 1;
                }
                ms.push_back(double(std::clock() - start) * 1000 / CLOCKS_PER_SEC);
            }
            std::sort(ms.begin(), ms.end());
            std::printf(" %.1f / %.1f", ms[ms.size() / 2], double(torva_png::FileSize(encoded)) / 1000.0);
            if (level == 0) std::printf(" (%d)", encoded.deflateLevel);
            std::printf(" |");
            std::fflush(stdout);
        }
        std::printf("\n");
    }
    return 0;
}
