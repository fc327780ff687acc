// Each codec's fast decoder held against its plain reference on one input:
// the input is a picture file, whose header is parsed as the library parses
// it; both decoders write into outputs of exactly the picture's rows, on the
// heap with nothing after them, so that a write past the last row meets the
// sanitizers' guard. The fuzz targets abort on a difference; the tests
// replay their corpora and regression inputs through the same calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace torvafuzz {

// Empty when the fast and plain decoders agree (same status, same pixels
// produced, same bytes) or the input is not a picture of the target's
// format; otherwise what differed.
using CodecComparison = std::string (*)(const uint8_t* data, size_t size);

struct CodecTarget {
    const char* name;  // the fuzz target is <name>_fuzzer, its corpus fuzz/corpus/<name>
    CodecComparison compare;
};

std::string CompareQnt24(const uint8_t* data, size_t size);
std::string CompareQnt32(const uint8_t* data, size_t size);
std::string ComparePms8(const uint8_t* data, size_t size);
std::string ComparePms16WithAlpha(const uint8_t* data, size_t size);
std::string CompareVsp(const uint8_t* data, size_t size);

constexpr CodecTarget kCodecTargets[] = {
    {"qnt24", CompareQnt24}, {"qnt32", CompareQnt32},         {"pms8", ComparePms8},
    {"pms16", ComparePms16WithAlpha}, {"vsp", CompareVsp},
};

}  // namespace torvafuzz
