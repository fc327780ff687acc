// The PNG writer at its default and best levels (the method it took in
// brackets), at every libdeflate level and with zlib (level 9, and coding
// literals alone) on the pictures given, decoded
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
    using M = torva_png::Method;
    struct Column {
        const char* name;
        int level;      // a torva_png_level, where `method` is not used
        bool fixed;
        M method;
    };
    std::vector<Column> columns = {{"default", TORVA_PNG_LEVEL_DEFAULT, false, {}},
                                   {"best", TORVA_PNG_LEVEL_BEST, false, {}}};
    static const char* const kLevelNames[] = {"", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"};
    for (int level = 1; level <= 12; ++level) columns.push_back({kLevelNames[level], 0, true, {M::kLibdeflate, level}});
    columns.push_back({"zlib 9", 0, true, {M::kZlib, 9}});
    columns.push_back({"zlib literals", 0, true, {M::kZlibLiterals, 9}});
    auto methodName = [](const M& m) {
        return (m.coder == M::kLibdeflate ? "" : m.coder == M::kZlib ? "zlib " : "zlib literals ") +
               std::to_string(m.level);
    };
    std::printf("| picture |");
    for (const Column& c : columns) std::printf(" %s |", c.name);
    std::printf("\n|---|");
    for (size_t i = 0; i < columns.size(); ++i) std::printf("---:|");
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
        for (const Column& column : columns) {
            std::vector<double> ms;
            torva_png::Encoded encoded;
            for (int run = 0; run < runs; ++run) {
                const std::clock_t start = std::clock();
                const int status = torva_png::Encode(source, column.level, column.fixed ? &column.method : nullptr,
                                                     torva_png_options{}, encoded);
                if (status != TORVA_PNG_OK) {
                    std::fprintf(stderr, "%s: %s\n", argv[i], torva_png_status_text(status));
                    return 1;
                }
                ms.push_back(double(std::clock() - start) * 1000 / CLOCKS_PER_SEC);
            }
            std::sort(ms.begin(), ms.end());
            std::printf(" %.1f / %.1f", ms[ms.size() / 2], double(torva_png::FileSize(encoded)) / 1000.0);
            if (!column.fixed) std::printf(" (%s)", methodName(encoded.method).c_str());
            std::printf(" |");
            std::fflush(stdout);
        }
        std::printf("\n");
    }
    return 0;
}
