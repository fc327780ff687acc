#include "author/vsp_encoder.h"

#include <array>

namespace author {
namespace {

const uint32_t kMaxRows = 400;

enum Command : uint8_t { Literal, FromPrevious, Fill, Pairs, CopyPlane, CopyPlaneInverted };

struct Step {
    uint8_t command;
    uint8_t source;  // the plane copied, for CopyPlane and CopyPlaneInverted
    uint16_t rows;
};

using Plane = std::array<uint8_t, kMaxRows>;

// What a plane of the current column may copy from, by command.
struct Sources {
    const Plane* previous = nullptr;  // command 0: this plane in the previous column
    const Plane* planes[3] = {};      // commands 3-5: what the plane's buffer holds when read
};

inline uint32_t LiteralCost(uint8_t v) { return v < 8 ? 2 : 1; }

// Rows from `r` on that equal `source` row for row (optionally inverted).
uint32_t MatchRows(const Plane& plane, const Plane& source, uint8_t flip, uint32_t r, uint32_t height, uint32_t limit) {
    uint32_t k = 0;
    while (k < limit && r + k < height && plane[r + k] == uint8_t(source[r + k] ^ flip)) ++k;
    return k;
}

uint32_t FillRows(const Plane& plane, uint32_t r, uint32_t height) {
    uint32_t k = 0;
    while (k < 256 && r + k < height && plane[r + k] == plane[r]) ++k;
    return k;
}

// Even row count of the longest pair run from `r`, at most 512.
uint32_t PairRows(const Plane& plane, uint32_t r, uint32_t height) {
    uint32_t k = 0;
    while (k < 512 && r + k < height && plane[r + k] == plane[r + (k & 1)]) ++k;
    return k & ~1u;
}

template <typename Offer>
void OfferAll(const Plane& plane, const Sources& sources, uint32_t r, uint32_t height, bool everyLength, Offer offer) {
    offer(Step{Literal, 0, 1}, LiteralCost(plane[r]));
    auto lengths = [&](Step step, uint32_t reach, uint32_t first, uint32_t by, uint32_t cost) {
        if (reach < first) return;
        if (!everyLength) first = reach;
        for (uint32_t rows = first; rows <= reach; rows += by) {
            step.rows = uint16_t(rows);
            offer(step, cost);
        }
    };
    if (sources.previous != nullptr) {
        lengths(Step{FromPrevious, 0, 0}, MatchRows(plane, *sources.previous, 0, r, height, 256), 1, 1, 2);
    }
    lengths(Step{Fill, 0, 0}, FillRows(plane, r, height), 1, 1, 3);
    lengths(Step{Pairs, 0, 0}, PairRows(plane, r, height), 2, 2, 4);
    for (uint8_t s = 0; s < 3; ++s) {
        if (sources.planes[s] == nullptr) continue;
        lengths(Step{CopyPlane, s, 0}, MatchRows(plane, *sources.planes[s], 0, r, height, 256), 1, 1, 2);
        lengths(Step{CopyPlaneInverted, s, 0}, MatchRows(plane, *sources.planes[s], 0xFF, r, height, 256), 1, 1, 3);
    }
}

bool EmitStep(const Plane& plane, uint32_t r, Step step, ByteBuffer& out) {
    switch (step.command) {
    case Literal:
        if (plane[r] < 8) out.push(7);
        return out.push(plane[r]);
    case FromPrevious:
        out.push(0);
        return out.push(uint8_t(step.rows - 1));
    case Fill:
        out.push(1);
        out.push(uint8_t(step.rows - 1));
        return out.push(plane[r]);
    case Pairs:
        out.push(2);
        out.push(uint8_t(step.rows / 2 - 1));
        out.push(plane[r]);
        return out.push(plane[r + 1]);
    case CopyPlaneInverted:
        out.push(6);
        [[fallthrough]];
    case CopyPlane:
        out.push(uint8_t(3 + step.source));
        return out.push(uint8_t(step.rows - 1));
    default: return false;
    }
}

bool EncodePlane(const Plane& plane, const Sources& sources, uint32_t height, ParseStrategy strategy, ByteBuffer& out) {
    if (strategy == ParseStrategy::Greedy) {
        for (uint32_t r = 0; r < height;) {
            Step best{Literal, 0, 1};
            uint32_t bestCost = LiteralCost(plane[r]);
            OfferAll(plane, sources, r, height, false, [&](Step step, uint32_t cost) {
                const uint32_t mine = step.rows * bestCost, theirs = best.rows * cost;
                if (mine > theirs || (mine == theirs && step.rows > best.rows)) {
                    best = step;
                    bestCost = cost;
                }
            });
            if (!EmitStep(plane, r, best, out)) return false;
            r += best.rows;
        }
        return true;
    }
    std::array<uint32_t, kMaxRows + 1> best;
    std::array<Step, kMaxRows> steps;
    best[height] = 0;
    for (uint32_t r = height; r-- > 0;) {
        best[r] = UINT32_MAX;
        OfferAll(plane, sources, r, height, true, [&](Step step, uint32_t cost) {
            const uint32_t total = cost + best[r + step.rows];
            if (total < best[r]) {
                best[r] = total;
                steps[r] = step;
            }
        });
    }
    for (uint32_t r = 0; r < height; r += steps[r].rows) {
        if (!EmitStep(plane, r, steps[r], out)) return false;
    }
    return true;
}

}  // namespace

AuthorStatus CheckVspGeometry(uint32_t width, uint32_t height, uint32_t left, uint32_t top) {
    if (width == 0 || height == 0) return AuthorStatus::EmptyPicture;
    if (width % 8 != 0) return AuthorStatus::BadWidth;
    // The whole picture lies on the 640 x 400 screen its position describes.
    if (left % 8 != 0 || width > 640 || height > 400 || left > 640 - width || top > 400 - height) {
        return AuthorStatus::OutOfBounds;
    }
    return AuthorStatus::Ok;
}

AuthorStatus EncodeVsp(const VspPicture& picture, ParseStrategy strategy, ByteBuffer& file) {
    file.resize(0);
    const AuthorStatus status = CheckVspGeometry(picture.width, picture.height, picture.left, picture.top);
    if (status != AuthorStatus::Ok) return status;
    const uint32_t width = picture.width, height = picture.height;
    for (uint64_t i = 0; i < uint64_t(width) * height; ++i) {
        if (picture.indices[i] > 15) return AuthorStatus::TooManyColours;
    }
    for (int e = 0; e < 16; ++e) {
        const VspLevels& c = picture.palette[e];
        if (c.red > 15 || c.green > 15 || c.blue > 15) return AuthorStatus::NotFourBitLevels;
    }

    if (picture.like != nullptr && (picture.like->bytes == nullptr || picture.like->size < 10)) {
        return AuthorStatus::BadTemplate;
    }
    if (!file.resize(58)) return AuthorStatus::OutOfMemory;
    if (picture.like != nullptr) {
        file.data()[8] = picture.like->bytes[8];
        file.data()[9] = picture.like->bytes[9];
    }
    const uint32_t left = picture.left / 8;
    file.putLe16(0, uint16_t(left));
    file.putLe16(2, uint16_t(picture.top));
    file.putLe16(4, uint16_t(left + width / 8));
    file.putLe16(6, uint16_t(picture.top + height));
    for (int e = 0; e < 16; ++e) {
        uint8_t* entry = file.data() + 10 + 3 * e;
        entry[0] = picture.palette[e].blue;
        entry[1] = picture.palette[e].red;
        entry[2] = picture.palette[e].green;
    }

    std::array<Plane, 4> current{}, previous{};
    for (uint32_t column = 0; column < width / 8; ++column) {
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* row = picture.indices + uint64_t(y) * width + column * 8;
            for (unsigned p = 0; p < 4; ++p) {
                uint8_t byte = 0;
                for (unsigned k = 0; k < 8; ++k) byte = uint8_t(byte | (((row[k] >> p) & 1) << (7 - k)));
                current[p][y] = byte;
            }
        }
        for (unsigned p = 0; p < 4; ++p) {
            Sources sources;
            if (column > 0) sources.previous = &previous[p];
            for (unsigned s = 0; s < 3; ++s) {
                if (s < p) sources.planes[s] = &current[s];
                else if (column > 0) sources.planes[s] = &previous[s];
            }
            if (!EncodePlane(current[p], sources, height, strategy, file)) return AuthorStatus::OutOfMemory;
        }
        previous = current;
    }
    return file.failed() ? AuthorStatus::OutOfMemory : AuthorStatus::Ok;
}

}  // namespace author
