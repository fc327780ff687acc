// The inflate path against zlib's uncompress: streams written bit by bit
// (tests/writers/deflate_writer.h), each at capacities around its output
// length and cut anywhere, must give the same result, length and bytes. Many
// are streams the faster engine alone would judge differently; the expected
// zlib result pins what each stream is.
#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "codec/zlib_inflate.h"
#include "tests/support/param_names.h"
#include "tests/writers/deflate_writer.h"

namespace torvatest {
void PrintTo(const DeflateCase& c, std::ostream* os) { *os << c.label; }
}  // namespace torvatest

namespace {

using Bytes = std::vector<unsigned char>;
using Case = torvatest::DeflateCase;

class ZlibInflateTest : public ::testing::TestWithParam<Case> {};

// Same answer as uncompress at every capacity from none to ample, including
// exactly the output and one byte short of it, and for every cut of the stream.
TEST_P(ZlibInflateTest, AnswersAsUncompress) {
    const Bytes stream = GetParam().stream();
    Bytes reference(70000), ours(70000);
    uLongf length = reference.size();
    ASSERT_EQ(uncompress(reference.data(), &length, stream.data(), stream.size()), GetParam().zlibResult);
    const unsigned long produced = length;
    for (unsigned long cut = 0; cut <= stream.size(); ++cut) {
        const unsigned long sizeIn = GetParam().zlibResult == Z_OK ? cut : stream.size();
        for (unsigned long capacity : {0UL, 1UL, produced - 1, produced, produced + 1, 70000UL}) {
            if (capacity > reference.size()) continue;
            uLongf expectedLength = capacity;
            const int expected = uncompress(reference.data(), &expectedLength, stream.data(), sizeIn);
            unsigned long ourLength = capacity;
            const int result = torva::InflateLikeUncompress(ours.data(), &ourLength, stream.data(), sizeIn);
            ASSERT_EQ(result, expected) << "capacity " << capacity << ", input " << sizeIn;
            ASSERT_EQ(ourLength, expectedLength) << "capacity " << capacity << ", input " << sizeIn;
            ASSERT_TRUE(std::equal(ours.begin(), ours.begin() + ourLength, reference.begin()));
        }
        if (GetParam().zlibResult != Z_OK) break;
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, ZlibInflateTest, ::testing::ValuesIn(torvatest::DeflateCases()), torvatest::LabelOf<Case>);

// The streams encoders write are inflated by libdeflate itself, never left to
// zlib: were the stricter libdeflate to refuse them, every picture would be
// inflated twice. zlib at every level and strategy, and libdeflate at every
// level (whose blocks without matches carry an empty distance code).
TEST(ZlibInflateEngineTest, AcceptsWhatEncodersWrite) {
    Bytes data(200000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>((i * i) >> 7 ^ (i % 13));
    Bytes noMatches(300);
    for (size_t i = 0; i < noMatches.size(); ++i) noMatches[i] = static_cast<unsigned char>(i * 7);
    std::vector<std::pair<std::string, Bytes>> streams;
    for (const Bytes* input : {&data, &noMatches}) {
        for (size_t size : {size_t{0}, size_t{1}, size_t{100}, input->size()}) {
            for (int strategy : {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED}) {
                for (int level = 0; level <= 9; ++level) {
                    z_stream z{};
                    ASSERT_EQ(deflateInit2(&z, level, Z_DEFLATED, 15, 8, strategy), Z_OK);
                    Bytes out(deflateBound(&z, size));
                    z.next_in = const_cast<unsigned char*>(input->data()), z.avail_in = uInt(size);
                    z.next_out = out.data(), z.avail_out = uInt(out.size());
                    ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
                    out.resize(z.total_out);
                    deflateEnd(&z);
                    streams.push_back({"zlib level " + std::to_string(level) + " strategy " + std::to_string(strategy), out});
                }
            }
            for (int level = 0; level <= 12; ++level) {
                libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
                ASSERT_NE(compressor, nullptr);
                Bytes out(libdeflate_zlib_compress_bound(compressor, size));
                out.resize(libdeflate_zlib_compress(compressor, input->data(), size, out.data(), out.size()));
                libdeflate_free_compressor(compressor);
                streams.push_back({"libdeflate level " + std::to_string(level), out});
            }
            for (auto& [label, stream] : streams) {
                libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
                ASSERT_NE(decompressor, nullptr);
                Bytes out(size + 1);
                size_t produced = 0;
                EXPECT_EQ(libdeflate_zlib_decompress(decompressor, stream.data(), stream.size(), out.data(), out.size(),
                                                     &produced),
                          LIBDEFLATE_SUCCESS)
                    << label << ", size " << size;
                EXPECT_TRUE(produced == size && std::equal(out.begin(), out.begin() + size, input->begin())) << label;
                libdeflate_free_decompressor(decompressor);
            }
            streams.clear();
        }
    }
}

}  // namespace
