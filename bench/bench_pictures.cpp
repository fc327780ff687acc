#include "bench/bench_pictures.h"

#include <algorithm>
#include <cmath>

namespace torvabench {

const char* ContentName(Content content) { return content == Content::Photo ? "photo" : "flat"; }

namespace {

unsigned char Clamp(double v) {
    if (v < 0) return 0;
    if (v > 255) return 255;
    return static_cast<unsigned char>(v);
}

// Smooth two-dimensional gradients with a slow wave, plus noise of a few
// levels: what a scanned or rendered picture looks like to a predictor.
Scene MakePhoto(uint32_t w, uint32_t h, uint64_t seed) {
    Scene s;
    s.width = w;
    s.height = h;
    s.bgra.resize(size_t{4} * w * h);
    s.region.resize(size_t{w} * h);
    torvatest::Random random(seed);
    for (uint32_t y = 0; y < h; ++y) {
        const double fy = double(y) / h;
        for (uint32_t x = 0; x < w; ++x) {
            const double fx = double(x) / w;
            const double wave = 40.0 * std::sin(6.0 * fx + 3.0 * fy) * std::cos(4.0 * fy - 2.0 * fx);
            const double noise = double(random.below(13)) - 6.0;
            unsigned char* p = &s.bgra[(size_t{y} * w + x) * 4];
            p[0] = Clamp(60 + 150 * fx + wave + noise);
            p[1] = Clamp(200 - 120 * fy + 0.8 * wave + double(random.below(9)) - 4.0);
            p[2] = Clamp(90 + 80 * fx + 60 * fy - wave + double(random.below(11)) - 5.0);
            p[3] = Clamp(255 - 120 * fx * fy + double(random.below(5)) - 2.0);
            // 16 levels of brightness, dithered by the noise.
            const double luma = (p[0] + 2.0 * p[1] + p[2]) / 4.0 + noise;
            s.region[size_t{y} * w + x] = static_cast<unsigned char>(std::min(15.0, std::max(0.0, luma / 16.0)));
        }
    }
    return s;
}

// A plain background with rectangles, discs and stripes of a few solid
// colours painted over one another.
Scene MakeFlat(uint32_t w, uint32_t h, uint64_t seed) {
    Scene s;
    s.width = w;
    s.height = h;
    s.bgra.resize(size_t{4} * w * h);
    s.region.assign(size_t{w} * h, 0);
    torvatest::Random random(seed);
    unsigned char colours[16][4];
    for (auto& c : colours) {
        c[0] = static_cast<unsigned char>(random.below(256));
        c[1] = static_cast<unsigned char>(random.below(256));
        c[2] = static_cast<unsigned char>(random.below(256));
        c[3] = random.below(4) == 0 ? 0 : 255;
    }
    colours[0][3] = 255;
    const int shapes = 24;
    for (int i = 0; i < shapes; ++i) {
        const unsigned char label = static_cast<unsigned char>(1 + random.below(15));
        const uint32_t kind = random.below(3);
        const uint32_t cx = random.below(w), cy = random.below(h);
        const uint32_t rx = 1 + random.below(std::max(1u, w / 4)), ry = 1 + random.below(std::max(1u, h / 4));
        const uint32_t x0 = cx > rx ? cx - rx : 0, x1 = std::min(w, cx + rx);
        const uint32_t y0 = cy > ry ? cy - ry : 0, y1 = std::min(h, cy + ry);
        for (uint32_t y = y0; y < y1; ++y) {
            for (uint32_t x = x0; x < x1; ++x) {
                bool inside = true;
                if (kind == 1) {
                    const double dx = (double(x) - cx) / rx, dy = (double(y) - cy) / ry;
                    inside = dx * dx + dy * dy <= 1.0;
                } else if (kind == 2) {
                    inside = ((x + y) / 16) % 2 == 0;
                }
                if (inside) s.region[size_t{y} * w + x] = label;
            }
        }
    }
    for (size_t i = 0; i < size_t{w} * h; ++i) std::copy(colours[s.region[i]], colours[s.region[i]] + 4, &s.bgra[i * 4]);
    return s;
}

}  // namespace

Scene MakeScene(Content content, uint32_t width, uint32_t height, uint64_t seed) {
    return content == Content::Photo ? MakePhoto(width, height, seed) : MakeFlat(width, height, seed);
}

}  // namespace torvabench
