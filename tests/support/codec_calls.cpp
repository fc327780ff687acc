#include "tests/support/codec_calls.h"

#include <cstring>
#include <memory>

#include "base/byte_cursor.h"
#include "base/checked_size.h"
#include "codec/pms_decoder.h"
#include "codec/qnt_decoder.h"
#include "codec/vsp_decoder.h"

namespace torvatest {

QntHeader QntHeaderOf(const Bytes& file) {
    QntHeader header{};
    const uint32_t size = static_cast<uint32_t>(file.size());
    torva::ReadLe32At(file.data(), size, 4, &header.version);
    header.bodyOffset = header.version == 0 ? 8 : 12;
    header.colourOffset = 48;
    if (header.version != 0) torva::ReadLe32At(file.data(), size, 8, &header.colourOffset);
    uint32_t value = 0;
    if (torva::ReadLe32At(file.data(), size, header.bodyOffset + 8, &value)) header.width = static_cast<int32_t>(value);
    if (torva::ReadLe32At(file.data(), size, header.bodyOffset + 12, &value)) header.height = static_cast<int32_t>(value);
    torva::ReadLe32At(file.data(), size, header.bodyOffset + 24, &header.colourSize);
    torva::ReadLe32At(file.data(), size, header.bodyOffset + 28, &header.alphaSize);
    return header;
}

torva::DecodeResult DecodeQntFile(const Bytes& file, unsigned char* pixels, bool withAlpha, bool wavefront) {
    const QntHeader header = QntHeaderOf(file);
    const uint64_t width = header.width > 0 ? uint64_t(header.width) : 0;
    const uint32_t rows = header.height > 0 ? uint32_t(header.height) : 0;
    const size_t stride = static_cast<size_t>(withAlpha ? 4 * width : torva::RowStride(width, 24));
    const torva::ByteSpan bytes{file.data(), static_cast<uint32_t>(file.size())};
    const torva::PixelSpan out{pixels, stride, rows};
    if (wavefront) {
        return withAlpha ? torva::DecodeQnt32(header, bytes, out) : torva::DecodeQnt24(header, bytes, out);
    }
    return withAlpha ? torva::qnt_detail::DecodeQnt32RowByRow(header, bytes, out)
                     : torva::qnt_detail::DecodeQnt24RowByRow(header, bytes, out);
}

torva::DecodeResult DecodePmsStream(int depth, unsigned char* destination, const unsigned char* stream,
                                    uint32_t length, int32_t width, int32_t height) {
    PmsHeader header{};
    header.depth = static_cast<uint8_t>(depth);
    header.width = width;
    header.height = height;
    header.pixelOffset = 0;
    const torva::ByteSpan file{stream, length};
    const uint32_t rows = height > 0 ? uint32_t(height) : 0;
    const uint64_t w = width > 0 ? uint64_t(width) : 0;
    const torva::PixelSpan out{destination, static_cast<size_t>(torva::RowStride(w, depth == 8 ? 8 : 16)), rows};
    return depth == 8 ? torva::DecodePms8(header, file, torva::PmsStream::Pixels, out)
                      : torva::DecodePms16(header, file, out);
}

torva::DecodeResult DecodeVspStream(unsigned char* pixels, const unsigned char* planes, uint32_t available,
                                    int32_t width, int32_t height) {
    const uint32_t fileBytes = kVspPlaneOffset + available;
    std::unique_ptr<unsigned char[]> file(new unsigned char[fileBytes]());
    if (available != 0) std::memcpy(file.get() + kVspPlaneOffset, planes, available);
    VspHeader header{};
    header.width = width;
    header.height = height;
    const uint32_t rows = height > 0 ? uint32_t(height) : 0;
    const size_t stride = width > 0 ? size_t(width) / 2 : 0;
    return torva::DecodeVspPlanes(header, torva::ByteSpan{file.get(), fileBytes}, torva::PixelSpan{pixels, stride, rows});
}

}  // namespace torvatest
