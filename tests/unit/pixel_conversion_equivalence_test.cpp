// ConvertMaskedPixels against a plain per-pixel reference for random masks
// (narrow, 8-bit and wide channels, masks with holes, absent channels) and
// random pixels, in both output widths.
#include <gtest/gtest.h>

#include "codec/pixel_conversion.h"
#include "base/checked_size.h"
#include "tests/support/test_support.h"

namespace {

using torvatest::Bytes;

// The widening rule spelt out: the field between the mask's lowest and
// highest set bits, scaled with rounding when narrower than 8 bits, its top
// 8 bits when wider.
unsigned char Widen(uint32_t mask, uint32_t pixel) {
    if (mask == 0) return 0;
    const uint32_t low = static_cast<uint32_t>(__builtin_ctz(mask));
    const uint32_t bits = 32 - static_cast<uint32_t>(__builtin_clz(mask >> low));
    const uint32_t value = (pixel & mask) >> low;
    if (bits < 8) {
        const uint32_t max = (1u << bits) - 1;
        return static_cast<unsigned char>(((max >> 1) + 255 * value) / max);
    }
    return static_cast<unsigned char>(value >> (bits - 8));
}

uint32_t RandomMask(torvatest::Random& random) {
    switch (random.below(4)) {
        case 0:
            return 0;
        case 1: {  // a contiguous field of 1 to 16 bits
            const uint32_t bits = 1 + random.below(16);
            const uint32_t low = random.below(17 - bits);
            return ((1u << bits) - 1) << low;
        }
        default:  // any bits at all, holes included
            return random.next() & 0xFFFF;
    }
}

// A mask whose lowest set bit is `low`, with random bits (holes included) in
// the 7 bits above it, cut at bit 15: at most 8 bits wide, so that its shift
// is `low`.
uint32_t RandomMaskFrom(torvatest::Random& random, uint32_t low) {
    return ((random.next() & 0xFF) | 1u) << low & 0xFFFF;
}

// Masks laid out like 5-6-5 pixels: the channels' lowest bits at 0, 5 and 11,
// and an alpha mask that is absent, the full 16 bits, or starts at bit 0. The
// converter has a row routine of its own for these shifts.
ChannelMasks Random565Masks(torvatest::Random& random) {
    if (random.below(3) == 0) return ChannelMasks{0x1F, 0x7E0, 0xF800, random.below(2) ? 0xFFFFu : 0u};
    const uint32_t alphaKinds[3] = {0, 0xFFFF, RandomMaskFrom(random, 0)};
    return ChannelMasks{RandomMaskFrom(random, 0), RandomMaskFrom(random, 5), RandomMaskFrom(random, 11),
                        alphaKinds[random.below(3)]};
}

void CheckRandomPictures(uint64_t seed, ChannelMasks (*pickMasks)(torvatest::Random&)) {
    torvatest::Random random(seed);
    for (int round = 0; round < 200; ++round) {
        const uint32_t w = 1 + random.below(round % 2 == 0 ? 9 : 40);
        const uint32_t h = 1 + random.below(4);
        const uint32_t sourceStride = static_cast<uint32_t>(torva::RowStride(w, 16));
        Bytes source(size_t{sourceStride} * h);
        for (auto& b : source) b = static_cast<unsigned char>(random.next());
        ChannelMasks masks = pickMasks(random);
        const ChannelMasks given = masks;
        const size_t bytesPerPixel = given.alphaMask != 0 ? 4 : 3;
        const uint32_t alphaMask = given.alphaMask == 0xFFFF ? 0 : given.alphaMask;
        const size_t stride = static_cast<size_t>(torva::RowStride(w, static_cast<uint32_t>(bytesPerPixel * 8)));

        Bytes expected(stride * h, 0xCD);
        for (uint32_t j = 0; j < h; ++j) {
            const unsigned char* from = &source[(h - 1 - j) * size_t{sourceStride}];
            for (uint32_t x = 0; x < w; ++x) {
                const uint32_t pixel = from[2 * x] | from[2 * x + 1] << 8;
                unsigned char* to = &expected[j * stride + x * bytesPerPixel];
                to[0] = Widen(given.blueMask, pixel);
                to[1] = Widen(given.greenMask, pixel);
                to[2] = Widen(given.redMask, pixel);
                if (bytesPerPixel == 4) to[3] = Widen(alphaMask, pixel);
            }
        }
        Bytes actual(stride * h, 0xCD);
        ConvertMaskedPixels(actual.data(), source.data(), w, static_cast<int32_t>(h),
                            static_cast<uint32_t>(source.size()), masks, 16);
        ASSERT_EQ(actual, expected) << "round " << round << " masks " << given.blueMask << " " << given.greenMask
                                    << " " << given.redMask << " " << given.alphaMask;
    }
}

TEST(ConvertMaskedPixelsEquivalenceTest, MatchesPlainWideningForRandomMasks) {
    CheckRandomPictures(77, [](torvatest::Random& random) {
        return ChannelMasks{RandomMask(random), RandomMask(random), RandomMask(random), RandomMask(random)};
    });
}

TEST(ConvertMaskedPixelsEquivalenceTest, MatchesPlainWideningForMasksWith565Shifts) {
    CheckRandomPictures(78, Random565Masks);
}

// Every 16-bit value through the exact 5-6-5 masks, which have a vector
// routine of their own, with and without the alpha byte.
TEST(ConvertMaskedPixelsEquivalenceTest, Every565PixelMatchesPlainWidening) {
    const uint32_t w = 251, h = 262;  // odd width: a tail after the vector steps
    const size_t sourceStride = static_cast<size_t>(torva::RowStride(w, 16));
    Bytes source(sourceStride * h, 0);
    for (uint32_t i = 0; i < w * h; ++i) {
        const uint32_t value = i & 0xFFFF;
        source[(i / w) * sourceStride + 2 * (i % w)] = static_cast<unsigned char>(value);
        source[(i / w) * sourceStride + 2 * (i % w) + 1] = static_cast<unsigned char>(value >> 8);
    }
    for (uint32_t alpha : {0u, 0xFFFFu}) {
        ChannelMasks masks{0x1F, 0x7E0, 0xF800, alpha};
        const size_t bytesPerPixel = alpha != 0 ? 4 : 3;
        const size_t stride = static_cast<size_t>(torva::RowStride(w, static_cast<uint32_t>(bytesPerPixel * 8)));
        Bytes actual(stride * h, 0xCD);
        ConvertMaskedPixels(actual.data(), source.data(), w, static_cast<int32_t>(h), static_cast<uint32_t>(source.size()),
                            masks, 16);
        Bytes expected(stride * h, 0xCD);
        for (uint32_t y = 0; y < h; ++y) {
            for (uint32_t x = 0; x < w; ++x) {
                const uint32_t pixel = (y * w + x) & 0xFFFF;
                unsigned char* to = &expected[(h - 1 - y) * stride + x * bytesPerPixel];
                to[0] = Widen(0x1F, pixel);
                to[1] = Widen(0x7E0, pixel);
                to[2] = Widen(0xF800, pixel);
                if (bytesPerPixel == 4) to[3] = 0;
            }
        }
        ASSERT_EQ(actual, expected) << "alpha mask " << alpha;
    }
}

}  // namespace
