// DecodePms8 against a plain reference that produces one pixel at a time,
// exactly as the byte code reads, on random streams rich in runs and copies
// (short and long, across row ends, near the end of the history) and on
// pictures written with both code mixes.
#include <gtest/gtest.h>

#include <cstring>

#include "codec/info_header.h"
#include "codec/pms_decoder.h"
#include "plugin/checked_size.h"
#include "tests/support/test_support.h"
#include "tests/writers/pms_writer.h"

namespace {

using torvatest::Bytes;

constexpr unsigned char kFill = 0xCD;

BITMAPINFOHEADER Header(uint32_t w, uint32_t h, uint32_t sizeImage) {
    return MakeInfoHeader(static_cast<int32_t>(w), static_cast<int32_t>(h), 8, sizeImage);
}

// Pixel by pixel into a zero-filled history of biSizeImage + 256 bytes; a
// back-reference before its start reads 0; decoding ends with the stream, at
// a code whose operands are cut off, or when the picture or the history is
// full. Rows go bottom-up into a destination pre-filled with kFill.
Bytes ReferenceDecode(uint32_t w, uint32_t h, uint32_t sizeImage, const Bytes& stream) {
    const size_t stride = static_cast<size_t>(torva::RowStride(w, 8));
    Bytes destination(stride * h, kFill);
    Bytes history(size_t{sizeImage} + 256, 0);
    const size_t limit = std::min<size_t>(size_t{w} * h, history.size());
    size_t k = 0;
    auto put = [&](unsigned char v) {
        if (k >= limit) return;
        history[k] = v;
        destination[(h - 1 - k / w) * stride + k % w] = v;
        ++k;
    };
    auto back = [&](size_t distance) -> unsigned char { return k >= distance ? history[k - distance] : 0; };
    size_t at = 0;
    while (at < stream.size() && k < limit) {
        const unsigned char code = stream[at];
        const size_t operands = code == 0xFC ? 3 : code == 0xFD ? 2 : code == 0xF8 || code >= 0xFE ? 1 : 0;
        if (at + 1 + operands > stream.size()) break;
        const unsigned char* o = &stream[at + 1];
        switch (code) {
            case 0xF8: put(o[0]); break;
            case 0xF9: break;
            case 0xFA: put(back(w - 1)); break;
            case 0xFB: put(back(w + 1)); break;
            case 0xFC:
                for (size_t i = 0; i < size_t{o[0]} + 3; ++i) {
                    put(o[1]);
                    put(o[2]);
                }
                break;
            case 0xFD:
                for (size_t i = 0; i < size_t{o[0]} + 4; ++i) put(o[1]);
                break;
            case 0xFE:
                for (size_t i = 0; i < size_t{o[0]} + 3; ++i) put(back(2 * size_t{w}));
                break;
            case 0xFF:
                for (size_t i = 0; i < size_t{o[0]} + 3; ++i) put(back(w));
                break;
            default: put(code); break;
        }
        at += 1 + operands;
    }
    return destination;
}

// Codes F8-FF most of the time, counts mostly short; literals alone or in
// runs of up to 40.
Bytes RandomStream(torvatest::Random& random, size_t codes) {
    Bytes out;
    for (size_t i = 0; i < codes; ++i) {
        if (random.below(3) == 0) {
            const uint32_t run = random.below(4) == 0 ? 1 + random.below(40) : 1;
            for (uint32_t j = 0; j < run; ++j) out.push_back(static_cast<unsigned char>(random.below(0xF8)));
            continue;
        }
        const unsigned char code = static_cast<unsigned char>(0xF8 + random.below(8));
        out.push_back(code);
        const unsigned char count = static_cast<unsigned char>(random.below(4) == 0 ? random.below(256) : random.below(20));
        switch (code) {
            case 0xF8: out.push_back(static_cast<unsigned char>(random.next())); break;
            case 0xFC: out.insert(out.end(), {count, static_cast<unsigned char>(random.next()), static_cast<unsigned char>(random.next())}); break;
            case 0xFD: out.insert(out.end(), {count, static_cast<unsigned char>(random.next())}); break;
            case 0xFE: case 0xFF: out.push_back(count); break;
            default: break;
        }
    }
    return out;
}

void ExpectSame(uint32_t w, uint32_t h, uint32_t sizeImage, const Bytes& stream, const std::string& what) {
    const Bytes expected = ReferenceDecode(w, h, sizeImage, stream);
    Bytes actual(expected.size(), kFill);
    const BITMAPINFOHEADER header = Header(w, h, sizeImage);
    DecodePms8(actual.data(), stream.data(), &header, static_cast<uint32_t>(stream.size()));
    ASSERT_EQ(actual, expected) << what << " " << w << "x" << h << " biSizeImage " << sizeImage;
}

TEST(Pms8EquivalenceTest, RandomStreamsMatchPlainDecoding) {
    torvatest::Random random(4242);
    for (int round = 0; round < 400; ++round) {
        const uint32_t w = 1 + random.below(round % 4 == 0 ? 70 : 20);
        const uint32_t h = 1 + random.below(12);
        const uint32_t stride = static_cast<uint32_t>(torva::RowStride(w, 8));
        // The bitmap's own size, a 32-bit size (as for an alpha plane), and
        // sizes below the picture, where the history ends before it does.
        const uint32_t sizes[4] = {stride * h, 4 * w * h, random.below(stride * h + 1), 0};
        const Bytes stream = RandomStream(random, 1 + random.below(60));
        ExpectSame(w, h, sizes[round % 4], stream, "round " + std::to_string(round));
        // Cut anywhere, including inside a code's operands.
        ExpectSame(w, h, sizes[round % 4], Bytes(stream.begin(), stream.begin() + random.below(static_cast<uint32_t>(stream.size()) + 1)),
                   "cut, round " + std::to_string(round));
    }
}

// Pictures large enough that most codes lie far from the end of the stream,
// the picture and the history, where the decoder takes its fastest paths:
// widths on both sides of 16 (copies in blocks or not), long streams, and
// ends that fall anywhere.
TEST(Pms8EquivalenceTest, LongStreamsMatchPlainDecoding) {
    torvatest::Random random(777);
    for (int round = 0; round < 60; ++round) {
        const uint32_t w = round % 3 == 0 ? 1 + random.below(16) : 16 + random.below(300);
        const uint32_t h = 1 + (4000 + random.below(4000)) / w;
        const uint32_t stride = static_cast<uint32_t>(torva::RowStride(w, 8));
        const uint32_t sizes[3] = {stride * h, 4 * w * h, stride * h / 2 + random.below(600)};
        const Bytes stream = RandomStream(random, 200 + random.below(2500));
        ExpectSame(w, h, sizes[round % 3], stream, "long, round " + std::to_string(round));
        ExpectSame(w, h, sizes[round % 3], Bytes(stream.begin(), stream.begin() + random.below(static_cast<uint32_t>(stream.size()) + 1)),
                   "long cut, round " + std::to_string(round));
    }
}

TEST(Pms8EquivalenceTest, WrittenPicturesMatchPlainDecodingInBothMixes) {
    for (uint32_t w : {1u, 2u, 15u, 16u, 17u, 33u, 200u}) {
        for (auto mix : {torvatest::PmsCodeMix::Random, torvatest::PmsCodeMix::Greedy}) {
            const uint32_t h = w < 20 ? 13 : 60;
            const torvatest::PmsPicture picture = torvatest::MakePmsPicture(w, h, 8, false, 1, w * 3 + 1);
            const Bytes stream = torvatest::EncodePms8Stream(picture.indices.data(), picture.indices.size(), w, w, nullptr, mix);
            ExpectSame(w, h, static_cast<uint32_t>(torva::RowStride(w, 8)) * h, stream, "picture");
            // The reference itself gives the picture back.
            const Bytes decoded = ReferenceDecode(w, h, static_cast<uint32_t>(torva::RowStride(w, 8)) * h, stream);
            const size_t stride = static_cast<size_t>(torva::RowStride(w, 8));
            for (uint32_t y = 0; y < h; ++y) {
                ASSERT_EQ(0, std::memcmp(&decoded[(h - 1 - y) * stride], &picture.indices[size_t{y} * w], w)) << w << " row " << y;
            }
        }
    }
}

}  // namespace
