#include "tools/torva/png_encoder.h"

#include <zlib.h>

#include <cstdlib>
#include <vector>

namespace torva {
namespace {

void Put32(std::string& out, uint32_t value) {
    out.push_back(char(value >> 24));
    out.push_back(char(value >> 16));
    out.push_back(char(value >> 8));
    out.push_back(char(value));
}

void PutChunk(std::string& out, const char type[4], const std::string& body) {
    Put32(out, static_cast<uint32_t>(body.size()));
    const size_t start = out.size();
    out.append(type, 4);
    out += body;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(out.data() + start), uInt(out.size() - start));
    Put32(out, static_cast<uint32_t>(crc));
}

uint8_t Widen5(unsigned value) { return uint8_t((value << 3) | (value >> 2)); }

// One picture row as PNG samples, without the filter byte.
void RowSamples(const BitmapView& bitmap, uint32_t y, std::vector<uint8_t>& out) {
    const uint8_t* src = bitmap.row(y);
    const uint32_t w = bitmap.width();
    out.clear();
    switch (bitmap.bitCount()) {
    case 4:
        out.assign(src, src + (w + 1) / 2);
        if (w % 2 != 0) out.back() &= 0xF0;  // the unused low nibble
        break;
    case 8:
        out.assign(src, src + w);
        break;
    case 16:
        for (uint32_t x = 0; x < w; ++x) {
            const unsigned p = src[2 * x] | src[2 * x + 1] << 8;
            out.push_back(Widen5((p >> 10) & 31));
            out.push_back(Widen5((p >> 5) & 31));
            out.push_back(Widen5(p & 31));
        }
        break;
    case 24:
        for (uint32_t x = 0; x < w; ++x) {
            out.push_back(src[3 * x + 2]);
            out.push_back(src[3 * x + 1]);
            out.push_back(src[3 * x]);
        }
        break;
    case 32:
        for (uint32_t x = 0; x < w; ++x) {
            out.push_back(src[4 * x + 2]);
            out.push_back(src[4 * x + 1]);
            out.push_back(src[4 * x]);
            out.push_back(src[4 * x + 3]);
        }
        break;
    }
}

uint8_t Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return uint8_t(a);
    return pb <= pc ? uint8_t(b) : uint8_t(c);
}

// Appends the row filtered with the filter whose output has the smallest sum
// of absolute values (taken as signed bytes), the first such filter winning.
void AppendFiltered(const std::vector<uint8_t>& row, const std::vector<uint8_t>& prior, size_t pixelBytes,
                    std::string& out) {
    const size_t n = row.size();
    std::vector<uint8_t> best, trial(n);
    uint64_t bestScore = ~uint64_t(0);
    int bestType = 0;
    for (int type = 0; type < 5; ++type) {
        uint64_t score = 0;
        for (size_t i = 0; i < n; ++i) {
            const int a = i >= pixelBytes ? row[i - pixelBytes] : 0;
            const int b = prior[i];
            const int c = i >= pixelBytes ? prior[i - pixelBytes] : 0;
            uint8_t v = row[i];
            switch (type) {
            case 1: v = uint8_t(v - a); break;
            case 2: v = uint8_t(v - b); break;
            case 3: v = uint8_t(v - ((a + b) >> 1)); break;
            case 4: v = uint8_t(v - Paeth(a, b, c)); break;
            default: break;
            }
            trial[i] = v;
            score += v < 128 ? v : 256 - v;
        }
        if (score < bestScore) {
            bestScore = score;
            bestType = type;
            best = trial;
        }
    }
    out.push_back(char(bestType));
    out.append(reinterpret_cast<const char*>(best.data()), best.size());
}

}  // namespace

bool EncodePng(const BitmapView& bitmap, PngLevel level, std::string& png, std::string& error) {
    const unsigned bits = bitmap.bitCount();
    const bool paletted = bits <= 8;
    uint8_t colourType = 2;
    size_t pixelBytes = 3;
    if (paletted) {
        colourType = 3;
        pixelBytes = 1;
    } else if (bits == 32) {
        colourType = 6;
        pixelBytes = 4;
    }

    // The filtered rows, each behind its filter type byte. Palette rows are
    // left unfiltered, which suits indices; colour rows are filtered.
    std::string raw;
    std::vector<uint8_t> row, prior;
    for (uint32_t y = 0; y < bitmap.height(); ++y) {
        RowSamples(bitmap, y, row);
        if (paletted) {
            raw.push_back(0);
            raw.append(reinterpret_cast<const char*>(row.data()), row.size());
        } else {
            if (prior.size() != row.size()) prior.assign(row.size(), 0);
            AppendFiltered(row, prior, pixelBytes, raw);
            prior = row;
        }
    }

    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
                  static_cast<uLong>(raw.size()), level == PngLevel::Fast ? 1 : 9) != Z_OK) {
        error = "the picture could not be compressed";
        return false;
    }
    packed.resize(packedSize);

    std::string header;
    Put32(header, bitmap.width());
    Put32(header, bitmap.height());
    header.push_back(char(paletted ? bits : 8));  // bit depth of a sample
    header.push_back(char(colourType));
    header.append(3, '\0');  // deflate, adaptive filtering, no interlace

    png.assign("\x89PNG\r\n\x1a\n", 8);
    PutChunk(png, "IHDR", header);
    if (paletted) {
        std::string plte;
        for (const Rgb& c : bitmap.palette()) {
            plte.push_back(char(c.red));
            plte.push_back(char(c.green));
            plte.push_back(char(c.blue));
        }
        PutChunk(png, "PLTE", plte);
    }
    PutChunk(png, "IDAT", packed);
    PutChunk(png, "IEND", std::string());
    return true;
}

}  // namespace torva
