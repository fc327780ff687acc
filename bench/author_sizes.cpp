// Sizes written by the encoders beside their yardsticks, in one run: PMS and
// VSP streams from the shortest parse against a greedy parse of the same
// codes (ours, and the test writers' independent greedy mix), QNT against
// zlib's strongest level on the same residuals. Times are one encode each,
// for orientation only.
//   build/bench/bin/author_sizes
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "author/picture_encoder.h"
#include "author/qnt_encoder.h"
#include "bench/bench_pictures.h"
#include "tests/writers/pms_writer.h"
#include "tests/writers/vsp_writer.h"

namespace {

using torvabench::Content;
using torvabench::Scene;

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

struct Row {
    const char* format;
    Content content;
    uint32_t width, height;
    bool alpha;
};

uint64_t Zlib9(const author::ByteBuffer& raw) {
    std::vector<unsigned char> out(compressBound(uLong(raw.size())));
    uLongf length = uLongf(out.size());
    compress2(out.data(), &length, raw.data(), uLong(raw.size()), 9);
    return length;
}

}  // namespace

int main() {
    const Row rows[] = {
        {"pms8", Content::Photo, 1024, 768, false}, {"pms8", Content::Flat, 1024, 768, false},
        {"pms16", Content::Photo, 1024, 768, false}, {"pms16", Content::Flat, 1024, 768, false},
        {"pms16", Content::Photo, 1024, 768, true},  {"pms16", Content::Flat, 1024, 768, true},
        {"vsp", Content::Photo, 640, 400, false},    {"vsp", Content::Flat, 640, 400, false},
        {"qnt", Content::Photo, 1024, 768, false},   {"qnt", Content::Flat, 1024, 768, false},
        {"qnt", Content::Photo, 1024, 768, true},    {"qnt", Content::Flat, 1024, 768, true},
    };
    std::printf("| format | content | size | ours (bytes) | greedy, same codes | writers' greedy | ours / greedy | encode s |\n");
    std::printf("|---|---|---|---:|---:|---:|---:|---:|\n");
    for (const Row& row : rows) {
        const Scene scene = torvabench::MakeScene(row.content, row.width, row.height, 7);
        const size_t n = size_t(row.width) * row.height;
        std::vector<uint8_t> rgba(n * 4);
        for (size_t i = 0; i < n; ++i) {
            rgba[i * 4] = scene.bgra[i * 4 + 2];
            rgba[i * 4 + 1] = scene.bgra[i * 4 + 1];
            rgba[i * 4 + 2] = scene.bgra[i * 4];
            rgba[i * 4 + 3] = row.alpha ? scene.bgra[i * 4 + 3] : 255;
        }
        const std::string format = row.format;
        std::vector<uint8_t> indices(n);
        std::vector<uint8_t> palette(256 * 4, 255);
        author::SourcePicture source;
        source.width = row.width;
        source.height = row.height;
        source.rgba = rgba.data();
        author::EncodeOptions options;
        uint64_t independent = 0;
        if (format == "pms8") {
            // The 3-3-2 palette of the decoding benchmarks.
            for (int i = 0; i < 256; ++i) {
                palette[i * 4] = uint8_t((i >> 5) * 255 / 7);
                palette[i * 4 + 1] = uint8_t(((i >> 2) & 7) * 255 / 7);
                palette[i * 4 + 2] = uint8_t((i & 3) * 255 / 3);
            }
            torvatest::PmsPicture picture;
            picture.width = row.width;
            picture.height = row.height;
            for (size_t i = 0; i < n; ++i) {
                indices[i] = uint8_t((rgba[i * 4] >> 5) << 5 | (rgba[i * 4 + 1] >> 5) << 2 | (rgba[i * 4 + 2] >> 6));
                std::copy(&palette[indices[i] * 4], &palette[indices[i] * 4] + 4, &rgba[i * 4]);
                for (int c = 0; c < 3; ++c) picture.palette.push_back(palette[i % 256 * 4 + c]);
            }
            picture.indices.assign(indices.begin(), indices.end());
            independent = torvatest::WritePms(picture, 7, nullptr, torvatest::PmsCodeMix::Greedy).size();
            source.indices = indices.data();
            source.palette = palette.data();
            source.paletteSize = 256;
            options.format = author::PictureFormat::Pms8;
        } else if (format == "pms16") {
            torvatest::PmsPicture picture;
            picture.width = row.width;
            picture.height = row.height;
            picture.depth = 16;
            for (size_t i = 0; i < n; ++i) {
                const uint8_t* p = &rgba[i * 4];
                picture.pixels.push_back(uint16_t((p[0] * 31 + 127) / 255 << 11 | (p[1] * 63 + 127) / 255 << 5 |
                                                  (p[2] * 31 + 127) / 255));
                if (row.alpha) picture.alpha.push_back(p[3]);
            }
            independent = torvatest::WritePms(picture, 7, nullptr, torvatest::PmsCodeMix::Greedy).size();
            options.format = author::PictureFormat::Pms16;
        } else if (format == "vsp") {
            torvatest::VspPicture picture;
            picture.width = int(row.width);
            picture.height = int(row.height);
            for (int i = 0; i < 16; ++i) {
                picture.palette[i] = {uint8_t(i), uint8_t((i * 7) & 15), uint8_t(15 - i)};
            }
            picture.indices = scene.region;
            for (size_t i = 0; i < n; ++i) {
                const auto& level = picture.palette[scene.region[i]];
                rgba[i * 4] = uint8_t(level.red * 17);
                rgba[i * 4 + 1] = uint8_t(level.green * 17);
                rgba[i * 4 + 2] = uint8_t(level.blue * 17);
                indices[i] = scene.region[i];
            }
            for (int i = 0; i < 16; ++i) {
                palette[i * 4] = uint8_t(picture.palette[i].red * 17);
                palette[i * 4 + 1] = uint8_t(picture.palette[i].green * 17);
                palette[i * 4 + 2] = uint8_t(picture.palette[i].blue * 17);
            }
            source.indices = indices.data();
            source.palette = palette.data();
            source.paletteSize = 16;
            independent = torvatest::WriteVsp(picture, 7, nullptr, torvatest::VspCodeMix::Greedy).size();
            options.format = author::PictureFormat::Vsp;
        } else {
            options.format = author::PictureFormat::Qnt;
        }
        author::ByteBuffer shortest, greedy;
        const auto start = std::chrono::steady_clock::now();
        if (author::EncodePicture(source, options, shortest) != author::AuthorStatus::Ok) {
            std::fprintf(stderr, "%s: encoding failed\n", row.format);
            return 1;
        }
        const double seconds = Seconds(start);
        uint64_t yardstick;
        if (format == "qnt") {
            author::ByteBuffer raw;
            author::QntColourResiduals(rgba.data(), row.width, row.height, raw);
            yardstick = author::kQntHeaderSize + Zlib9(raw);
            if (row.alpha) {
                author::QntAlphaResiduals(rgba.data(), row.width, row.height, raw);
                yardstick += Zlib9(raw);
            }
        } else {
            options.strategy = author::ParseStrategy::Greedy;
            author::EncodePicture(source, options, greedy);
            yardstick = greedy.size();
        }
        std::printf("| %s%s | %s | %ux%u | %llu | %llu%s | %s | %.3f | %.2f |\n", row.format, row.alpha ? "+alpha" : "",
                    torvabench::ContentName(row.content), row.width, row.height,
                    static_cast<unsigned long long>(shortest.size()), static_cast<unsigned long long>(yardstick),
                    format == "qnt" ? " (zlib -9)" : "",
                    independent ? std::to_string(independent).c_str() : "-",
                    double(shortest.size()) / double(yardstick), seconds);
    }
    return 0;
}
