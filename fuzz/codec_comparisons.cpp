#include "fuzz/codec_comparisons.h"

#include <cstring>
#include <memory>
#include <new>

#include "codec/qnt_decoder.h"
#include "tests/support/reference/reference_decoders.h"

namespace torvafuzz {
namespace {

using torva::ByteSpan;
using torva::DecodeResult;
using torva::PixelSpan;

// Outputs above this are not tried: the decoders refuse such pictures for
// their scratch memory long before, and the fuzzers stay fast.
constexpr uint64_t kMaxOutputBytes = uint64_t{1} << 20;

// Zero-filled rows of exactly `stride` x `rows` bytes on the heap.
struct ExactOutput {
    std::unique_ptr<unsigned char[]> bytes;
    size_t size = 0;
    PixelSpan span{};

    bool allocate(uint64_t stride, uint64_t rows) {
        const uint64_t total = stride * rows;
        if (stride == 0 || rows == 0 || total > kMaxOutputBytes) return false;
        size = static_cast<size_t>(total);
        bytes.reset(new (std::nothrow) unsigned char[size]);
        if (!bytes) return false;
        std::memset(bytes.get(), 0, size);
        span = PixelSpan{bytes.get(), static_cast<size_t>(stride), static_cast<uint32_t>(rows)};
        return true;
    }
};

const char* StatusName(torva::DecodeStatus status) {
    static const char* const kNames[] = {"Complete", "Truncated", "Corrupt", "OutsideFile", "TooLarge", "OutOfMemory"};
    return kNames[static_cast<int>(status)];
}

// Runs both decoders into outputs of `stride` x `rows` and tells how they
// differ, under the label `what`.
template <typename Fast, typename Plain>
std::string Compare(const char* what, uint64_t stride, uint64_t rows, Fast fast, Plain plain) {
    ExactOutput fastOut, plainOut;
    if (!fastOut.allocate(stride, rows) || !plainOut.allocate(stride, rows)) return "";
    const DecodeResult a = fast(fastOut.span);
    const DecodeResult b = plain(plainOut.span);
    if (a.status != b.status) {
        return std::string(what) + ": status " + StatusName(a.status) + ", plain " + StatusName(b.status);
    }
    if (a.pixelsProduced != b.pixelsProduced) {
        return std::string(what) + ": " + std::to_string(a.pixelsProduced) + " pixels produced, plain " +
               std::to_string(b.pixelsProduced);
    }
    for (size_t i = 0; i < fastOut.size; ++i) {
        if (fastOut.bytes[i] != plainOut.bytes[i]) {
            return std::string(what) + ": byte " + std::to_string(i) + " of row " + std::to_string(i / fastOut.span.stride) +
                   " is " + std::to_string(fastOut.bytes[i]) + ", plain " + std::to_string(plainOut.bytes[i]);
        }
    }
    return "";
}

ByteSpan FileOf(const uint8_t* data, size_t size) {
    return ByteSpan{data, static_cast<uint32_t>(size > UINT32_MAX ? UINT32_MAX : size)};
}

std::string CompareQnt(const uint8_t* data, size_t size, bool withAlpha) {
    const ByteSpan file = FileOf(data, size);
    QntHeader header;
    if (!ParseQntHeader(file.data, file.size, &header)) return "";
    const uint64_t stride = uint64_t(header.width) * (withAlpha ? 4 : 3);
    if (withAlpha) {
        return Compare("QNT 32", stride, uint64_t(header.height),
                       [&](PixelSpan out) { return torva::DecodeQnt32(header, file, out); },
                       [&](PixelSpan out) { return torva::qnt_detail::DecodeQnt32RowByRow(header, file, out); });
    }
    return Compare("QNT 24", stride, uint64_t(header.height),
                   [&](PixelSpan out) { return torva::DecodeQnt24(header, file, out); },
                   [&](PixelSpan out) { return torva::qnt_detail::DecodeQnt24RowByRow(header, file, out); });
}

}  // namespace

std::string CompareQnt24(const uint8_t* data, size_t size) { return CompareQnt(data, size, false); }
std::string CompareQnt32(const uint8_t* data, size_t size) { return CompareQnt(data, size, true); }

std::string ComparePms8(const uint8_t* data, size_t size) {
    const ByteSpan file = FileOf(data, size);
    PmsHeader header;
    if (!ParsePmsHeader(file.data, file.size, &header)) return "";
    const auto which = torva::PmsStream::Pixels;
    return Compare("PMS 8", uint64_t(header.width), uint64_t(header.height),
                   [&](PixelSpan out) { return torva::DecodePms8(header, file, which, out); },
                   [&](PixelSpan out) { return torvaref::DecodePms8(header, file, which, out); });
}

std::string ComparePms16WithAlpha(const uint8_t* data, size_t size) {
    const ByteSpan file = FileOf(data, size);
    PmsHeader header;
    if (!ParsePmsHeader(file.data, file.size, &header)) return "";
    std::string difference = Compare("PMS 16 colour", 2 * uint64_t(header.width), uint64_t(header.height),
                                     [&](PixelSpan out) { return torva::DecodePms16(header, file, out); },
                                     [&](PixelSpan out) { return torvaref::DecodePms16(header, file, out); });
    if (!difference.empty() || header.extraOffset == 0) return difference;
    const auto which = torva::PmsStream::Alpha;
    return Compare("PMS 16 alpha", uint64_t(header.width), uint64_t(header.height),
                   [&](PixelSpan out) { return torva::DecodePms8(header, file, which, out); },
                   [&](PixelSpan out) { return torvaref::DecodePms8(header, file, which, out); });
}

std::string CompareVsp(const uint8_t* data, size_t size) {
    const ByteSpan file = FileOf(data, size);
    VspHeader header;
    if (!ParseVspHeader(file.data, file.size, &header)) return "";
    return Compare("VSP", uint64_t(header.width) / 8 * 4, uint64_t(header.height),
                   [&](PixelSpan out) { return torva::DecodeVspPlanes(header, file, out); },
                   [&](PixelSpan out) { return torvaref::DecodeVspPlanes(header, file, out); });
}

}  // namespace torvafuzz
