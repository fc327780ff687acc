#include "tests/writers/qnt_writer.h"

#include <zlib.h>

namespace torvatest {
namespace {

constexpr uint32_t kVersion0ColourOffset = 48;
constexpr uint32_t kDefaultHeaderSize = 52;
constexpr uint32_t kBodyBytes = 32;

void PutLe32(Bytes* out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) (*out)[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

uint32_t GetLe32(const Bytes& in, size_t at) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= uint32_t{in[at + i]} << (8 * i);
    return value;
}

// Residuals of one channel: `value(x, y)` gives the source byte. The
// prediction is the left neighbour on the top row, the pixel above in the
// first column, and the halved full-width sum of left and above elsewhere;
// the residual is prediction minus value, modulo 256. The first pixel is kept
// as it is. Result is w x h residuals, top row first.
template <typename Value>
Bytes ForwardFilter(uint32_t w, uint32_t h, Value value) {
    Bytes residual(size_t{w} * h);
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            unsigned prediction;
            if (x == 0 && y == 0) {
                prediction = 0;
            } else if (y == 0) {
                prediction = value(x - 1, y);
            } else if (x == 0) {
                prediction = value(x, y - 1);
            } else {
                prediction = (unsigned{value(x - 1, y)} + value(x, y - 1)) >> 1;
            }
            const unsigned stored = (x == 0 && y == 0) ? value(x, y) : prediction - value(x, y);
            residual[size_t{y} * w + x] = static_cast<unsigned char>(stored);
        }
    }
    return residual;
}

}  // namespace

size_t QntBodyOffset(const Bytes& file) { return GetLe32(file, 4) == 0 ? 8 : 12; }

size_t QntColourOffset(const Bytes& file) {
    return GetLe32(file, 4) == 0 ? kVersion0ColourOffset : GetLe32(file, 8);
}

Bytes QntColourResiduals(const QntPicture& picture, unsigned char padding) {
    const uint32_t w = picture.width;
    const uint32_t h = picture.height;
    const size_t blocksAcross = (size_t{w} + 1) / 2;
    const size_t blocksDown = (size_t{h} + 1) / 2;
    const size_t plane = 4 * blocksAcross * blocksDown;
    Bytes stream(3 * plane, padding);
    for (int c = 0; c < 3; ++c) {
        const Bytes residual =
            ForwardFilter(w, h, [&](uint32_t x, uint32_t y) { return picture.bgr[(size_t{y} * w + x) * 3 + c]; });
        // Block byte order: (x,y), (x,y+1), (x+1,y), (x+1,y+1).
        size_t out = c * plane;
        for (uint32_t by = 0; by < h; by += 2) {
            for (uint32_t bx = 0; bx < w; bx += 2, out += 4) {
                const uint32_t xs[4] = {bx, bx, bx + 1, bx + 1};
                const uint32_t ys[4] = {by, by + 1, by, by + 1};
                for (int i = 0; i < 4; ++i) {
                    if (xs[i] < w && ys[i] < h) stream[out + i] = residual[size_t{ys[i]} * w + xs[i]];
                }
            }
        }
    }
    return stream;
}

Bytes QntAlphaResiduals(const QntPicture& picture, unsigned char padding) {
    const uint32_t w = picture.width;
    const uint32_t h = picture.height;
    const size_t pitch = (size_t{w} + 1) & ~size_t{1};
    const Bytes residual =
        ForwardFilter(w, h, [&](uint32_t x, uint32_t y) { return picture.alpha[size_t{y} * w + x]; });
    Bytes stream(pitch * h, padding);
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) stream[y * pitch + x] = residual[size_t{y} * w + x];
    }
    return stream;
}

Bytes ZlibCompress(const Bytes& raw, int level) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    Bytes out(size);
    if (compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), level) != Z_OK) return {};
    out.resize(size);
    return out;
}

Bytes AssembleQnt(uint32_t width, uint32_t height, const Bytes& colourStream, const Bytes& alphaStream,
                  const QntOptions& options) {
    if (options.version > 2) return {};
    uint32_t colourOffset = kVersion0ColourOffset;
    size_t body = 8;
    if (options.version != 0) {
        colourOffset = options.headerSize == 0 ? kDefaultHeaderSize : options.headerSize;
        body = 12;
        if (colourOffset < body + kBodyBytes) return {};
    }
    Bytes file(colourOffset, 0);
    file[0] = 'Q';
    file[1] = 'N';
    file[2] = 'T';
    PutLe32(&file, 4, options.version);
    if (options.version != 0) PutLe32(&file, 8, colourOffset);
    PutLe32(&file, body + 8, width);
    PutLe32(&file, body + 12, height);
    PutLe32(&file, body + 16, 24);
    PutLe32(&file, body + 24, static_cast<uint32_t>(colourStream.size()));
    PutLe32(&file, body + 28, static_cast<uint32_t>(alphaStream.size()));
    file.insert(file.end(), colourStream.begin(), colourStream.end());
    file.insert(file.end(), alphaStream.begin(), alphaStream.end());
    return file;
}

Bytes WriteQnt(const QntPicture& picture, const QntOptions& options) {
    const size_t pixels = size_t{picture.width} * picture.height;
    if (pixels == 0 || picture.bgr.size() != pixels * 3) return {};
    if (!picture.alpha.empty() && picture.alpha.size() != pixels) return {};
    if (options.level < 0 || options.level > 9) return {};
    const Bytes colour = ZlibCompress(QntColourResiduals(picture, options.padding), options.level);
    const Bytes alpha =
        picture.alpha.empty() ? Bytes{} : ZlibCompress(QntAlphaResiduals(picture, options.padding), options.level);
    return AssembleQnt(picture.width, picture.height, colour, alpha, options);
}

Bytes QntBitmapPixels(const QntPicture& picture) {
    const bool withAlpha = !picture.alpha.empty();
    const size_t w = picture.width;
    const size_t h = picture.height;
    const size_t pixelBytes = withAlpha ? 4 : 3;
    const size_t stride = withAlpha ? 4 * w : (3 * w + 3) & ~size_t{3};
    Bytes out(stride * h, 0);
    for (size_t y = 0; y < h; ++y) {
        unsigned char* row = out.data() + (h - 1 - y) * stride;
        for (size_t x = 0; x < w; ++x) {
            for (size_t c = 0; c < 3; ++c) row[x * pixelBytes + c] = picture.bgr[(y * w + x) * 3 + c];
            if (withAlpha) row[x * 4 + 3] = picture.alpha[y * w + x];
        }
    }
    return out;
}

QntPicture RandomQntPicture(uint32_t width, uint32_t height, bool withAlpha, uint64_t seed) {
    Random random(seed);
    QntPicture picture;
    picture.width = width;
    picture.height = height;
    picture.bgr.resize(size_t{width} * height * 3);
    for (auto& byte : picture.bgr) byte = static_cast<unsigned char>(random.next());
    if (withAlpha) {
        picture.alpha.resize(size_t{width} * height);
        for (auto& byte : picture.alpha) byte = static_cast<unsigned char>(random.next());
    }
    return picture;
}

}  // namespace torvatest
