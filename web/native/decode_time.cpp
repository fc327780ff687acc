// Times the library's decode of whole pictures natively, the same work that
// the browser build does for torva.decode: torvasoft_decode_rgba into a buffer
// of the picture's size.
//
//   torva_decode_time [--repeat N] FILE...
//
// Prints one line a file: its name, then the median and the fastest time of
// N runs (default 30) in milliseconds, after one run to warm up.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "torvasoft/torvasoft.hpp"

int main(int argc, char** argv) {
    int repeat = 30;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--repeat" && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else {
            files.push_back(argument);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "Usage: torva_decode_time [--repeat N] FILE...\n");
        return 2;
    }
    for (const std::string& path : files) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string name = path.substr(path.find_last_of('/') + 1);
        std::vector<double> times;
        for (int run = 0; run <= repeat; ++run) {
            const auto start = std::chrono::steady_clock::now();
            const torvasoft::Picture picture = torvasoft::Decode(bytes.data(), bytes.size(), name.c_str());
            const auto end = std::chrono::steady_clock::now();
            if (picture.status != torvasoft::Status::Complete) {
                std::fprintf(stderr, "torva_decode_time: %s: %s\n", name.c_str(), torvasoft::StatusName(picture.status));
                return 1;
            }
            if (run > 0) times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        }
        std::sort(times.begin(), times.end());
        std::printf("%s %.3f %.3f\n", name.c_str(), times[times.size() / 2], times.front());
    }
    return 0;
}
