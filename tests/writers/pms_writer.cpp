#include "tests/writers/pms_writer.h"

#include <algorithm>
#include <cstring>

namespace torvatest {
namespace {

// Run limits of the two codes: {shortest, longest} pixels per code.
struct Limits {
    size_t pairMin, pairMax;  // FC, always even
    size_t fillMin, fillMax;  // FD
    size_t copyMin, copyMax;  // FE, FF
};
constexpr Limits kLimits8{6, 516, 4, 259, 3, 258};
constexpr Limits kLimits16{4, 514, 3, 258, 2, 257};

struct Choice {
    unsigned code;  // 0x100 for a literal
    size_t length;  // pixels
    size_t bytes;   // stream bytes
};

// The greedy pick: most pixels per byte, then the longer run, then the
// earlier choice.
Choice BestChoice(const std::vector<Choice>& choices) {
    Choice best = choices[0];
    for (const Choice& c : choices) {
        const size_t lhs = c.length * best.bytes, rhs = best.length * c.bytes;
        if (lhs > rhs || (lhs == rhs && c.length > best.length)) best = c;
    }
    return best;
}

// A length in [low, high]: the longest half of the time, so that full-length
// runs (operand 255) turn up as well as short ones.
size_t PickLength(Random& random, size_t low, size_t high, PmsCodeMix mix) {
    if (mix == PmsCodeMix::Greedy || random.below(2) == 0) return high;
    return low + random.below(static_cast<uint32_t>(high - low + 1));
}

template <typename Pixel>
size_t MatchBack(const Pixel* p, size_t count, size_t k, size_t distance, size_t limit) {
    if (k < distance) return 0;
    size_t m = 0;
    while (m < limit && k + m < count && p[k + m] == p[k + m - distance]) ++m;
    return m;
}

template <typename Pixel>
size_t MatchFill(const Pixel* p, size_t count, size_t k, size_t limit) {
    size_t m = 0;
    while (m < limit && k + m < count && p[k + m] == p[k]) ++m;
    return m;
}

template <typename Pixel>
size_t MatchPairs(const Pixel* p, size_t count, size_t k, size_t limit) {
    size_t m = 0;
    while (m < limit && k + m < count && p[k + m] == p[k + m % 2]) ++m;
    return m & ~size_t{1};
}

// The codes shared by both depths that fit at pixel k: diagonals, pairs,
// fills and copies, each with a length within what matches (random, or the
// longest for the greedy mix). `pixelBytes` is the size of a stored pixel.
template <typename Pixel>
void AddSharedChoices(std::vector<Choice>& choices, Random& random, const Pixel* p, size_t count, size_t k,
                      size_t width, const Limits& limits, PmsCodeMix mix) {
    const size_t pixelBytes = sizeof(Pixel);
    if (width >= 2 && MatchBack(p, count, k, width - 1, 1) == 1) choices.push_back({0xFA, 1, 1});
    if (MatchBack(p, count, k, width + 1, 1) == 1) choices.push_back({0xFB, 1, 1});
    size_t m = MatchPairs(p, count, k, limits.pairMax);
    if (m >= limits.pairMin) {
        choices.push_back({0xFC, PickLength(random, limits.pairMin / 2, m / 2, mix) * 2, 2 + 2 * pixelBytes});
    }
    m = MatchFill(p, count, k, limits.fillMax);
    if (m >= limits.fillMin) choices.push_back({0xFD, PickLength(random, limits.fillMin, m, mix), 2 + pixelBytes});
    m = MatchBack(p, count, k, 2 * width, limits.copyMax);
    if (m >= limits.copyMin) choices.push_back({0xFE, PickLength(random, limits.copyMin, m, mix), 2});
    m = MatchBack(p, count, k, width, limits.copyMax);
    if (m >= limits.copyMin) choices.push_back({0xFF, PickLength(random, limits.copyMin, m, mix), 2});
}

void Count(PmsCodeCounts* counts, unsigned code) {
    if (counts == nullptr) return;
    if (code >= 0xF8 && code <= 0xFF) {
        ++counts->codes[code - 0xF8];
    } else {
        ++counts->literals;
    }
}

void PutLe16(Bytes& out, uint16_t value) {
    out.push_back(static_cast<unsigned char>(value));
    out.push_back(static_cast<unsigned char>(value >> 8));
}

void PutLe32(Bytes& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

// Packed-colour halves: the base byte carries red 15-13, green 10-9 and blue
// 4-2; each following byte red 12-11, green 8-5 and blue 1-0.
unsigned char PackedBaseOf(uint16_t p) {
    return static_cast<unsigned char>((p >> 8 & 0xE0) | (p >> 6 & 0x18) | (p >> 2 & 0x07));
}
unsigned char PackedLowOf(uint16_t p) {
    return static_cast<unsigned char>((p >> 5 & 0xC0) | (p >> 3 & 0x3C) | (p & 0x03));
}

}  // namespace

Bytes EncodePms8Stream(const unsigned char* pixels, size_t count, uint32_t width, uint64_t seed,
                       PmsCodeCounts* counts, PmsCodeMix mix) {
    Random random(seed);
    Bytes out;
    std::vector<Choice> choices;
    size_t k = 0;
    while (k < count) {
        // The code that produces nothing, now and then.
        if (mix == PmsCodeMix::Random && random.below(24) == 0) {
            out.push_back(0xF9);
            Count(counts, 0xF9);
        }
        const unsigned char v = pixels[k];
        choices.clear();
        if (v < 0xF8) choices.push_back({0x100, 1, 1});
        choices.push_back({0xF8, 1, 2});
        AddSharedChoices(choices, random, pixels, count, k, width, kLimits8, mix);
        const Choice c = mix == PmsCodeMix::Greedy ? BestChoice(choices)
                                                   : choices[random.below(static_cast<uint32_t>(choices.size()))];
        switch (c.code) {
            case 0x100: out.push_back(v); break;
            case 0xF8: out.insert(out.end(), {0xF8, v}); break;
            case 0xFA: case 0xFB: out.push_back(static_cast<unsigned char>(c.code)); break;
            case 0xFC:
                out.insert(out.end(), {0xFC, static_cast<unsigned char>(c.length / 2 - 3), v, pixels[k + 1]});
                break;
            case 0xFD: out.insert(out.end(), {0xFD, static_cast<unsigned char>(c.length - 4), v}); break;
            default: out.insert(out.end(), {static_cast<unsigned char>(c.code), static_cast<unsigned char>(c.length - 3)});
        }
        Count(counts, c.code);
        k += c.length;
    }
    return out;
}

Bytes EncodePms16Stream(const uint16_t* pixels, size_t count, uint32_t width, uint64_t seed,
                        PmsCodeCounts* counts, PmsCodeMix mix) {
    Random random(seed);
    Bytes out;
    std::vector<Choice> choices;
    size_t k = 0;
    while (k < count) {
        const uint16_t v = pixels[k];
        choices.clear();
        if ((v & 0xFF) < 0xF8) choices.push_back({0x100, 1, 2});
        choices.push_back({0xF8, 1, 3});
        // Every pixel fits the packed form; a run shares the base byte.
        size_t sameBase = 1;
        while (sameBase < 256 && k + sameBase < count && PackedBaseOf(pixels[k + sameBase]) == PackedBaseOf(v)) {
            ++sameBase;
        }
        const size_t packed = PickLength(random, 1, sameBase, mix);
        choices.push_back({0xF9, packed, packed + 3});
        AddSharedChoices(choices, random, pixels, count, k, width, kLimits16, mix);
        const Choice c = mix == PmsCodeMix::Greedy ? BestChoice(choices)
                                                   : choices[random.below(static_cast<uint32_t>(choices.size()))];
        switch (c.code) {
            case 0x100: PutLe16(out, v); break;
            case 0xF8: out.push_back(0xF8); PutLe16(out, v); break;
            case 0xF9:
                out.insert(out.end(), {0xF9, static_cast<unsigned char>(c.length - 1), PackedBaseOf(v)});
                for (size_t i = 0; i < c.length; ++i) out.push_back(PackedLowOf(pixels[k + i]));
                break;
            case 0xFA: case 0xFB: out.push_back(static_cast<unsigned char>(c.code)); break;
            case 0xFC:
                out.insert(out.end(), {0xFC, static_cast<unsigned char>(c.length / 2 - 2)});
                PutLe16(out, v);
                PutLe16(out, pixels[k + 1]);
                break;
            case 0xFD:
                out.insert(out.end(), {0xFD, static_cast<unsigned char>(c.length - 3)});
                PutLe16(out, v);
                break;
            default: out.insert(out.end(), {static_cast<unsigned char>(c.code), static_cast<unsigned char>(c.length - 2)});
        }
        Count(counts, c.code);
        k += c.length;
    }
    return out;
}

Bytes WritePms(const PmsPicture& picture, uint64_t seed, PmsCodeCounts* counts, PmsCodeMix mix) {
    const uint32_t headerSize = picture.version == 2 ? 64 : 48;
    Bytes file(headerSize, 0);
    file[0] = 'P';
    file[1] = 'M';
    file[2] = static_cast<unsigned char>(picture.version);
    file[4] = static_cast<unsigned char>(headerSize);
    file[6] = static_cast<unsigned char>(picture.depth);
    PutLe32(file, 24, picture.width);
    PutLe32(file, 28, picture.height);
    if (picture.depth == 8) {
        PutLe32(file, 36, headerSize);
        Bytes palette = picture.palette;
        palette.resize(768, 0);
        file.insert(file.end(), palette.begin(), palette.end());
        PutLe32(file, 32, static_cast<uint32_t>(file.size()));
        const Bytes stream = EncodePms8Stream(picture.indices.data(), picture.indices.size(), picture.width, seed, counts, mix);
        file.insert(file.end(), stream.begin(), stream.end());
    } else {
        PutLe32(file, 32, headerSize);
        const Bytes stream =
            EncodePms16Stream(picture.pixels.data(), picture.pixels.size(), picture.width, seed, counts, mix);
        file.insert(file.end(), stream.begin(), stream.end());
        if (!picture.alpha.empty()) {
            PutLe32(file, 36, static_cast<uint32_t>(file.size()));
            const Bytes alpha = EncodePms8Stream(picture.alpha.data(), picture.alpha.size(), picture.width,
                                                 seed ^ 0xA1FA, counts, mix);
            file.insert(file.end(), alpha.begin(), alpha.end());
        }
    }
    return file;
}

namespace {

// Fills `p` (count values in rows of `width`) segment by segment. Segments
// run on across row ends, so runs and copies also span rows. `fresh` makes
// a new value; `sibling` one that shares the packed-colour base with another.
template <typename Pixel, typename Fresh, typename Sibling>
void FillStructured(std::vector<Pixel>& p, size_t width, Random& random, Fresh fresh, Sibling sibling) {
    const size_t count = p.size();
    size_t i = 0;
    while (i < count) {
        const size_t length = std::min<size_t>(count - i, 1 + random.below(random.below(4) == 0 ? 600 : 24));
        const uint32_t kind = random.below(7);
        const Pixel a = fresh(), b = fresh();
        // Shifted copies from one or two rows up, falling back to noise
        // where the source would lie before the first pixel.
        size_t distance = (kind == 4 ? 2 * width : width) + random.below(3);
        distance -= 1;
        for (size_t j = 0; j < length; ++j, ++i) {
            switch (kind) {
                case 0: p[i] = fresh(); break;
                case 1: p[i] = a; break;
                case 2: p[i] = j % 2 ? b : a; break;
                case 3: case 4: p[i] = i >= distance && distance > 0 ? p[i - distance] : fresh(); break;
                case 5: p[i] = sibling(a); break;
                default: p[i] = i > 0 ? p[i - 1] : a; break;
            }
        }
    }
}

}  // namespace

PmsPicture MakePmsPicture(uint32_t width, uint32_t height, int depth, bool withAlpha, int version, uint64_t seed) {
    Random random(seed);
    PmsPicture picture;
    picture.width = width;
    picture.height = height;
    picture.depth = depth;
    picture.version = version;
    const size_t count = static_cast<size_t>(width) * height;
    auto byte = [&random]() {
        return static_cast<unsigned char>(random.below(4) == 0 ? 0xF8 + random.below(8) : random.below(256));
    };
    auto byteSibling = [&random](unsigned char a) { return static_cast<unsigned char>(a ^ random.below(4)); };
    if (depth == 8) {
        picture.palette.resize(768);
        for (auto& v : picture.palette) v = static_cast<unsigned char>(random.below(256));
        picture.indices.resize(count);
        FillStructured(picture.indices, width, random, byte, byteSibling);
        return picture;
    }
    auto pixel = [&random]() {
        const uint16_t v = static_cast<uint16_t>(random.next());
        return random.below(4) == 0 ? static_cast<uint16_t>((v & 0xFF00) | (0xF8 + random.below(8))) : v;
    };
    // Same base byte: only the bits the packed form takes from each c change.
    auto pixelSibling = [&random](uint16_t a) {
        return static_cast<uint16_t>((a & 0xE61C) | (random.next() & 0x19E3));
    };
    picture.pixels.resize(count);
    FillStructured(picture.pixels, width, random, pixel, pixelSibling);
    if (withAlpha) {
        picture.alpha.resize(count);
        FillStructured(picture.alpha, width, random, byte, byteSibling);
    }
    return picture;
}

}  // namespace torvatest
