// QNT alpha rows past a short alpha stream read what zlib leaves in the
// scratch: the colour stream's bytes. The stream here ends in a match decoded
// far from the end of the input (empty stored blocks follow it), where a
// faster inflate engine writes a few bytes past its output.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

#include "tests/support/codec_calls.h"
#include "tests/writers/qnt_writer.h"

namespace {

using torvatest::Bytes;

Bytes Decode32(const Bytes& file, uint32_t w, uint32_t h) {
    Bytes pixels(size_t{4} * w * h, 0);
    torvatest::DecodeQntFile(file, pixels.data(), true);
    return pixels;
}

// `raw` compressed, then `emptyBlocks` empty stored blocks and an empty last block.
Bytes ZlibWithEmptyBlocksAfter(const Bytes& raw, int emptyBlocks) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes deflated(deflateBound(&z, raw.size()) + 16);
    z.next_in = const_cast<unsigned char*>(raw.data()), z.avail_in = uInt(raw.size());
    z.next_out = deflated.data(), z.avail_out = uInt(deflated.size());
    deflate(&z, Z_SYNC_FLUSH);
    deflated.resize(z.total_out);
    deflateEnd(&z);
    Bytes out = {0x78, 0x01};
    out.insert(out.end(), deflated.begin(), deflated.end());
    for (int i = 0; i < emptyBlocks; ++i) out.insert(out.end(), {0, 0, 0, 0xFF, 0xFF});
    out.insert(out.end(), {0x03, 0x00});
    const uLong sum = adler32(1, raw.data(), uInt(raw.size()));
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(sum >> shift));
    return out;
}

TEST(QntInflateTest, ShortAlphaReadsColourBytesAfterItsOutput) {
    constexpr uint32_t w = 64, h = 64;
    Bytes colour(12 * 32 * 32);
    for (size_t i = 0; i < colour.size(); ++i) colour[i] = static_cast<unsigned char>((i * 2654435761u) >> 24);
    for (const size_t repeat : {3, 20, 300}) {
        Bytes alpha(3000);
        for (size_t i = 0; i < alpha.size(); ++i) alpha[i] = static_cast<unsigned char>((i * 40503u) >> 7);
        alpha.insert(alpha.end(), alpha.begin() + 100, alpha.begin() + 100 + repeat);
        // What the rows read: the alpha output, then the colour stream's bytes.
        Bytes rows = alpha;
        rows.insert(rows.end(), colour.begin() + rows.size(), colour.begin() + w * h);
        const Bytes colourStream = torvatest::ZlibCompress(colour);
        const Bytes expected =
            Decode32(torvatest::AssembleQnt(w, h, colourStream, torvatest::ZlibCompress(rows), {}), w, h);
        for (const int emptyBlocks : {0, 4, 12}) {
            const Bytes file = torvatest::AssembleQnt(w, h, colourStream, ZlibWithEmptyBlocksAfter(alpha, emptyBlocks), {});
            EXPECT_EQ(Decode32(file, w, h), expected) << "repeat " << repeat << ", empty blocks " << emptyBlocks;
        }
    }
}

}  // namespace
