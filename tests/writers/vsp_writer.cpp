// The encoder keeps the decoder's state (four plane buffers of 480 rows and the
// negation mask) and, at each row position, collects every command whose rows
// match the picture there, then picks one of them at random. Commands that end
// a plane may run past the picture's last row; the rows beyond never reach the
// picture, so any content there is valid.
//
// It never relies on what the plane buffers hold before the first column: in
// column 0 it uses no command 0 and copies only from planes decoded before.
#include "tests/writers/vsp_writer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace torvatest {
namespace {

constexpr int kPlaneRows = 480;

void PutLe16(Bytes& out, int value) {
    out.push_back(static_cast<unsigned char>(value & 0xFF));
    out.push_back(static_cast<unsigned char>((value >> 8) & 0xFF));
}

// Plane p of column c: bit 7 - x holds bit p of pixel x's index.
unsigned char PlaneByte(const VspPicture& picture, int c, int y, int p) {
    const unsigned char* row = &picture.indices[static_cast<size_t>(y) * picture.width + static_cast<size_t>(c) * 8];
    unsigned char byte = 0;
    for (int x = 0; x < 8; ++x) byte = static_cast<unsigned char>(byte | (((row[x] >> p) & 1) << (7 - x)));
    return byte;
}

enum class Kind { Single, Fill, Pair, Repeat, Copy };

struct Candidate {
    Kind kind;
    int source;      // plane copied from (Copy)
    bool invert;     // Copy that needs a command 6 first
    int maxRows;     // rows that match, capped at what one command can give
    bool mayExtend;  // the match reaches the last row: the command may run past it
};

class Encoder {
public:
    Encoder(const VspPicture& picture, uint64_t seed, VspWriteStats* stats, VspCodeMix mix)
        : picture_(picture), random_(seed), stats_(stats), greedy_(mix == VspCodeMix::Greedy) {
        std::memset(planes_, 0, sizeof planes_);
    }

    Bytes run() {
        const int columns = picture_.width / 8;
        target_.resize(static_cast<size_t>(picture_.height));
        for (int c = 0; c < columns; ++c) {
            for (int p = 0; p < 4; ++p) {
                for (int y = 0; y < picture_.height; ++y) target_[static_cast<size_t>(y)] = PlaneByte(picture_, c, y, p);
                encodePlane(c, p);
            }
            if (stats_ != nullptr) stats_->columnEnds.push_back(static_cast<uint32_t>(out_.size()));
        }
        return std::move(out_);
    }

private:
    void emit(unsigned char b) { out_.push_back(b); }
    void count(int command) {
        if (stats_ != nullptr) ++stats_->commands[static_cast<size_t>(std::min(command, 8))];
    }

    // Rows from `pos` on where `source` (XOR mask) equals the target, capped.
    int matchRun(const unsigned char* source, unsigned char mask, int pos, int cap) const {
        int n = 0;
        while (n < cap && pos + n < picture_.height &&
               static_cast<unsigned char>(source[pos + n] ^ mask) == target_[static_cast<size_t>(pos + n)])
            ++n;
        return n;
    }

    void addRun(std::vector<Candidate>& list, Kind kind, int source, bool invert, int run, int pos) {
        if (run <= 0) return;
        list.push_back({kind, source, invert, run, pos + run == picture_.height});
    }

    // Rows for a run command: often the whole match, sometimes less; when the
    // match reaches the last row, sometimes more (up to the command's 256).
    int pickRows(const Candidate& c) {
        if (greedy_) return c.maxRows;
        if (c.mayExtend && random_.below(3) == 0) return c.maxRows + static_cast<int>(random_.below(257 - c.maxRows));
        if (random_.below(2) == 0) return c.maxRows;
        return 1 + static_cast<int>(random_.below(static_cast<uint32_t>(c.maxRows)));
    }

    // Stream bytes the candidate takes.
    static int cost(const Candidate& c, unsigned char first) {
        switch (c.kind) {
        case Kind::Single: return first < 8 ? 2 : 1;
        case Kind::Fill: return 3;
        case Kind::Pair: return 4;
        case Kind::Repeat: return 2;
        case Kind::Copy: return c.invert ? 3 : 2;
        }
        return 1;
    }

    // Pairs (a, b) from `pos` on that match, the last one possibly hanging
    // one row past the picture; at least 1.
    int pairRun(int pos) const {
        const int h = picture_.height;
        const unsigned char a = target_[static_cast<size_t>(pos)];
        const unsigned char b = pos + 1 < h ? target_[static_cast<size_t>(pos + 1)] : 0;
        int pairs = 0;
        while (pairs < 256) {
            const int r = pos + 2 * pairs;
            if (r >= h || target_[static_cast<size_t>(r)] != a) break;
            if (r + 1 < h && target_[static_cast<size_t>(r + 1)] != b) break;
            ++pairs;
        }
        return pairs;
    }

    void store(int p, int row, unsigned char value) {
        if (row < kPlaneRows) planes_[p][row] = value;
    }

    void encodePlane(int c, int p) {
        const int h = picture_.height;
        const int plane = c * 4 + p;
        int pos = 0;
        while (pos < h) {
            // Now and then a command 6 of its own: the mask then waits for the
            // next copy, in this plane or a later one.
            if (!greedy_ && mask_ == 0 && random_.below(16) == 0) {
                emit(6);
                count(6);
                mask_ = 0xFF;
                maskPlane_ = plane;
            }
            const unsigned char first = target_[static_cast<size_t>(pos)];
            std::vector<Candidate> list;
            list.push_back({Kind::Single, 0, false, 1, false});
            int fill = 1;
            while (fill < 256 && pos + fill < h && target_[static_cast<size_t>(pos + fill)] == first) ++fill;
            addRun(list, Kind::Fill, 0, false, fill, pos);
            list.push_back({Kind::Pair, 0, false, 2 * pairRun(pos), false});
            if (c > 0) addRun(list, Kind::Repeat, p, false, matchRun(planes_[p], 0, pos, 256), pos);
            for (int s = 0; s < 3; ++s) {
                if (c == 0 && s >= p) continue;  // not yet decoded in the first column
                addRun(list, Kind::Copy, s, false, matchRun(planes_[s], mask_, pos, 256), pos);
                if (mask_ == 0) addRun(list, Kind::Copy, s, true, matchRun(planes_[s], 0xFF, pos, 256), pos);
            }
            // Mostly the command that gives the most rows per stream byte, as an
            // encoder out to save bytes would choose; otherwise any that fits.
            // The greedy mix always takes that command, and on a tie the one
            // giving more rows.
            if (greedy_) {
                Candidate chosen = list[0];
                for (const Candidate& c : list) {
                    const int lhs = c.maxRows * cost(chosen, first), rhs = chosen.maxRows * cost(c, first);
                    if (lhs > rhs || (lhs == rhs && c.maxRows > chosen.maxRows)) chosen = c;
                }
                pos = apply(chosen, p, pos, plane);
                continue;
            }
            Candidate chosen = list[random_.below(static_cast<uint32_t>(list.size()))];
            if (random_.below(4) != 0) {
                for (const Candidate& c : list)
                    if (c.maxRows * cost(chosen, first) > chosen.maxRows * cost(c, first)) chosen = c;
            }
            pos = apply(chosen, p, pos, plane);
        }
    }

    // Emits the chosen command, updates the plane buffer as the decoder will,
    // and returns the new row position.
    int apply(const Candidate& chosen, int p, int pos, int plane) {
        const int h = picture_.height;
        switch (chosen.kind) {
        case Kind::Single: {
            const unsigned char v = target_[static_cast<size_t>(pos)];
            if (v < 8) {
                emit(7);
                emit(v);
                count(7);
            } else {
                emit(v);
                count(8);
            }
            store(p, pos, v);
            return pos + 1;
        }
        case Kind::Fill: {
            const int rows = pickRows(chosen);
            const unsigned char v = target_[static_cast<size_t>(pos)];
            emit(1);
            emit(static_cast<unsigned char>(rows - 1));
            emit(v);
            count(1);
            for (int i = 0; i < rows; ++i) store(p, pos + i, v);
            return pos + rows;
        }
        case Kind::Pair: {
            const unsigned char a = target_[static_cast<size_t>(pos)];
            // On the last row the second byte of the pair falls outside the
            // picture and may be anything.
            const unsigned char b = pos + 1 < h ? target_[static_cast<size_t>(pos + 1)]
                                                : static_cast<unsigned char>(random_.below(256));
            int pairs = chosen.maxRows / 2;
            if (!greedy_ && random_.below(2) != 0) pairs = 1 + static_cast<int>(random_.below(static_cast<uint32_t>(pairs)));
            emit(2);
            emit(static_cast<unsigned char>(pairs - 1));
            emit(a);
            emit(b);
            count(2);
            for (int i = 0; i < pairs; ++i) {
                store(p, pos + 2 * i, a);
                store(p, pos + 2 * i + 1, b);
            }
            return pos + 2 * pairs;
        }
        case Kind::Repeat: {
            const int rows = pickRows(chosen);
            emit(0);
            emit(static_cast<unsigned char>(rows - 1));
            count(0);
            return pos + rows;
        }
        case Kind::Copy: {
            const int rows = pickRows(chosen);
            if (chosen.invert) {
                emit(6);
                count(6);
                mask_ = 0xFF;
                maskPlane_ = plane;
            } else if (mask_ != 0 && maskPlane_ != plane && stats_ != nullptr) {
                ++stats_->carriedMasks;
            }
            emit(static_cast<unsigned char>(3 + chosen.source));
            emit(static_cast<unsigned char>(rows - 1));
            count(3 + chosen.source);
            for (int i = 0; i < rows && pos + i < kPlaneRows; ++i)
                planes_[p][pos + i] = static_cast<unsigned char>(planes_[chosen.source][pos + i] ^ mask_);
            mask_ = 0;
            return pos + rows;
        }
        }
        return h;
    }

    const VspPicture& picture_;
    Random random_;
    VspWriteStats* stats_;
    bool greedy_;
    unsigned char planes_[4][kPlaneRows];
    unsigned char mask_ = 0;
    int maskPlane_ = -1;
    std::vector<unsigned char> target_;
    Bytes out_;
};

void CheckPicture(const VspPicture& picture) {
    if (picture.width < 8 || picture.width > 640 || picture.width % 8 != 0 || picture.height < 1 ||
        picture.height > 400 || picture.indices.size() != static_cast<size_t>(picture.width) * picture.height)
        throw std::invalid_argument("VSP picture out of range");
}

unsigned char Level17(unsigned char v) { return static_cast<unsigned char>(17 * v); }

}  // namespace

Bytes WriteVsp(const VspPicture& picture, uint64_t seed, VspWriteStats* stats, VspCodeMix mix) {
    CheckPicture(picture);
    Bytes file;
    PutLe16(file, picture.left);
    PutLe16(file, picture.top);
    PutLe16(file, picture.left + picture.width / 8);
    PutLe16(file, picture.top + picture.height);
    file.push_back(0);
    file.push_back(0);
    for (const VspLevels& e : picture.palette) {
        file.push_back(e.blue);
        file.push_back(e.red);
        file.push_back(e.green);
    }
    if (stats != nullptr) *stats = VspWriteStats{};
    Encoder encoder(picture, seed, stats, mix);
    const Bytes stream = encoder.run();
    file.insert(file.end(), stream.begin(), stream.end());
    return file;
}

Bytes ExpectedVspPixels(const VspPicture& picture) {
    CheckPicture(picture);
    const size_t stride = static_cast<size_t>(picture.width) / 2;
    Bytes pixels(stride * picture.height);
    for (int y = 0; y < picture.height; ++y) {
        const unsigned char* in = &picture.indices[static_cast<size_t>(y) * picture.width];
        unsigned char* out = &pixels[static_cast<size_t>(picture.height - 1 - y) * stride];
        for (size_t k = 0; k < stride; ++k) out[k] = static_cast<unsigned char>(in[2 * k] << 4 | in[2 * k + 1]);
    }
    return pixels;
}

Bytes ExpectedVspColourTable(const VspPicture& picture) {
    Bytes table;
    for (const VspLevels& e : picture.palette) {
        table.push_back(Level17(e.blue));
        table.push_back(Level17(e.green));
        table.push_back(Level17(e.red));
        table.push_back(0);
    }
    return table;
}

VspPicture MakeVspPicture(int width, int height, uint64_t seed) {
    Random random(seed ^ 0x5650u);
    VspPicture picture;
    picture.left = static_cast<int>(random.below(static_cast<uint32_t>(80 - width / 8 + 1)));
    picture.top = static_cast<int>(random.below(static_cast<uint32_t>(400 - height + 1)));
    picture.width = width;
    picture.height = height;
    for (VspLevels& e : picture.palette) {
        e.blue = static_cast<unsigned char>(random.below(16));
        e.green = static_cast<unsigned char>(random.below(16));
        e.red = static_cast<unsigned char>(random.below(16));
    }
    picture.indices.assign(static_cast<size_t>(width) * height, 0);
    unsigned char pattern[2][8];
    int y = 0;
    while (y < height) {
        const int band = std::min(height - y, 1 + static_cast<int>(random.below(48)));
        const uint32_t style = random.below(6);
        const unsigned char colourA = static_cast<unsigned char>(random.below(16));
        const unsigned char colourB = static_cast<unsigned char>(random.below(16));
        const int flip1 = static_cast<int>(random.below(2));
        const int flip2 = static_cast<int>(random.below(2));
        for (auto& row : pattern)
            for (unsigned char& v : row) v = static_cast<unsigned char>(random.below(16));
        std::vector<unsigned char> columnColour(static_cast<size_t>(width / 8));
        for (unsigned char& v : columnColour) v = static_cast<unsigned char>(random.below(16));
        for (int r = y; r < y + band; ++r) {
            unsigned char* row = &picture.indices[static_cast<size_t>(r) * width];
            for (int x = 0; x < width; ++x) {
                unsigned char v = 0;
                switch (style) {
                case 0:  // noise
                    v = static_cast<unsigned char>(random.below(16));
                    break;
                case 1:  // one colour
                    v = colourA;
                    break;
                case 2:  // every column alike, two alternating rows
                    v = pattern[r & 1][x & 7];
                    break;
                case 3:  // horizontal stripes
                    v = (r & 1) != 0 ? colourB : colourA;
                    break;
                case 4: {  // planes 1 and 2 equal to plane 0 or its inverse
                    const int bit0 = static_cast<int>(random.below(2));
                    const int bit3 = static_cast<int>(random.below(2));
                    v = static_cast<unsigned char>(bit0 | (bit0 ^ flip1) << 1 | (bit0 ^ flip2) << 2 | bit3 << 3);
                    break;
                }
                default:  // a colour per column
                    v = columnColour[static_cast<size_t>(x / 8)];
                    break;
                }
                row[x] = v;
            }
        }
        y += band;
    }
    return picture;
}

}  // namespace torvatest
