#include "author/pms_encoder.h"

#include <algorithm>

#include "author/picture_limits.h"
#include "formats/pms_codes.h"

namespace author {
namespace {

enum Code : uint8_t { Literal, AboveRight, AboveLeft, Fill, Pairs, CopyUp, CopyTwoUp, Packed };

// Lengths and byte costs of the run codes of one depth.
struct CodeTable {
    uint32_t fillMin, fillMax, fillCost;
    uint32_t pairMin, pairMax, pairCost;
    uint32_t copyMin, copyMax, copyCost;
    bool packed;  // the 16-bit packed colour run: 3 bytes, then one a pixel
};

// From the decoders' own rules (formats/pms_codes.h).
constexpr CodeTable TableOf(const torva::pms::RunRules& runs, bool packed) {
    return CodeTable{runs.fill.shortest(), runs.fill.longest(), runs.fill.codeBytes,
                     runs.pair.shortest(), runs.pair.longest(), runs.pair.codeBytes,
                     runs.copy.shortest(), runs.copy.longest(), runs.copy.codeBytes, packed};
}

constexpr CodeTable kCodes8 = TableOf(torva::pms::kRuns8, false);
constexpr CodeTable kCodes16 = TableOf(torva::pms::kRuns16, true);
constexpr uint32_t kPackedMax = torva::pms::kRuns16.packed.longest();
// F9 n b, then a byte a pixel.
constexpr uint32_t kPackedCodeBytes = torva::pms::kRuns16.packed.codeBytes;

using torva::pms::IsLiteral;
inline uint32_t LiteralCost(uint8_t v) { return IsLiteral(v) ? 1 : 2; }
inline uint32_t LiteralCost(uint16_t v) { return IsLiteral(static_cast<uint8_t>(v & 0xFF)) ? 2 : 3; }
// The bits a packed colour run takes from its base byte: the top 3 of red,
// 2 of green and 3 of blue.
inline uint16_t PackedKey(uint16_t v) { return v & 0xE61C; }
inline uint16_t PackedKey(uint8_t) { return 0; }

struct Step {
    uint8_t code;
    uint16_t length;
};

// How far each code could reach from one position, capped at its maximum.
template <typename Pixel>
struct Reach {
    uint64_t fill = 0, pairs = 0, copyUp = 0, copyTwoUp = 0, packed = 0;
    bool aboveRight = false, aboveLeft = false;
};

// Forward scan of the matches at `i`, for the greedy parse.
template <typename Pixel>
Reach<Pixel> ScanAt(const Pixel* p, uint64_t n, uint64_t width, uint64_t i, const CodeTable& codes) {
    Reach<Pixel> r;
    const uint64_t left = n - i;
    auto count = [&](uint64_t limit, auto&& same) {
        uint64_t k = 0;
        while (k < limit && same(k)) ++k;
        return k;
    };
    r.fill = count(std::min<uint64_t>(left, codes.fillMax), [&](uint64_t k) { return p[i + k] == p[i]; });
    r.pairs = std::min<uint64_t>(left, 2) +
              count(left > 2 ? std::min<uint64_t>(left, codes.pairMax) - 2 : 0,
                    [&](uint64_t k) { return p[i + k + 2] == p[i + k]; });
    if (r.pairs > codes.pairMax) r.pairs = codes.pairMax;
    r.pairs &= ~uint64_t{1};
    if (i >= width) {
        r.copyUp = count(std::min<uint64_t>(left, codes.copyMax), [&](uint64_t k) { return p[i + k] == p[i + k - width]; });
    }
    if (i >= 2 * width) {
        r.copyTwoUp =
            count(std::min<uint64_t>(left, codes.copyMax), [&](uint64_t k) { return p[i + k] == p[i + k - 2 * width]; });
    }
    if (codes.packed) {
        r.packed = count(std::min<uint64_t>(left, kPackedMax), [&](uint64_t k) { return PackedKey(p[i + k]) == PackedKey(p[i]); });
    }
    r.aboveRight = width >= 2 && i + 1 >= width && p[i] == p[i + 1 - width];
    r.aboveLeft = i >= width + 1 && p[i] == p[i - width - 1];
    return r;
}

template <typename Pixel>
Step GreedyStep(const Pixel* p, uint64_t n, uint64_t width, uint64_t i, const CodeTable& codes) {
    const Reach<Pixel> r = ScanAt(p, n, width, i, codes);
    Step best{Literal, 1};
    uint64_t bestLength = 1, bestCost = LiteralCost(p[i]);
    // Most pixels per byte; on a tie the longer run.
    auto offer = [&](Code code, uint64_t length, uint64_t cost) {
        const uint64_t mine = length * bestCost, theirs = bestLength * cost;
        if (mine > theirs || (mine == theirs && length > bestLength)) {
            best = Step{code, uint16_t(length)};
            bestLength = length;
            bestCost = cost;
        }
    };
    if (r.aboveRight) offer(AboveRight, 1, 1);
    if (r.aboveLeft) offer(AboveLeft, 1, 1);
    if (r.fill >= codes.fillMin) offer(Fill, r.fill, codes.fillCost);
    if (r.pairs >= codes.pairMin) offer(Pairs, r.pairs, codes.pairCost);
    if (r.copyUp >= codes.copyMin) offer(CopyUp, r.copyUp, codes.copyCost);
    if (r.copyTwoUp >= codes.copyMin) offer(CopyTwoUp, r.copyTwoUp, codes.copyCost);
    if (r.packed >= 2) offer(Packed, r.packed, kPackedCodeBytes + r.packed);
    return best;
}

// The smallest key(j) for j in [lo, hi] stepping by `step`, over queries
// whose windows slide towards smaller positions, as they do when the parse
// runs from the last pixel to the first. Amortised constant time a query:
// a candidate is dropped for good once a smaller position has a key no
// larger (it leaves the window first and is no better).
class WindowMin {
public:
    explicit WindowMin(uint64_t step) : step_(step) {}

    template <typename Key>
    uint64_t query(uint64_t lo, uint64_t hi, Key key) {
        uint64_t next;
        if (!started_ || hi > hi_ || lo > lo_ || lo_ < step_) {
            head_ = tail_ = 0;
            next = hi;
        } else {
            next = lo_ - step_ < hi ? lo_ - step_ : hi;
        }
        while (tail_ != head_ && ring_[(tail_ - 1) & kMask] > hi) --tail_;
        for (uint64_t j = next; j >= lo; j -= step_) {
            const auto value = key(j);
            while (tail_ != head_ && key(ring_[head_ & kMask]) >= value) ++head_;
            ring_[--head_ & kMask] = j;
            if (j < step_) break;
        }
        started_ = true;
        lo_ = lo;
        hi_ = hi;
        return ring_[(tail_ - 1) & kMask];
    }

private:
    static const uint64_t kMask = 1023;  // windows hold at most 516 positions
    uint64_t ring_[kMask + 1];
    uint64_t head_ = 0, tail_ = 0;  // [head, tail) in the ring; head is the smallest position
    uint64_t lo_ = 0, hi_ = 0, step_;
    bool started_ = false;
};

// The shortest parse: best[i] is the fewest bytes that produce pixels i..n-1.
// The match lengths at i follow from those at i + 1, so they are carried
// down the loop rather than scanned; each run code's best length is the
// window minimum of best[] over the positions it can reach.
template <typename Pixel>
bool ShortestParse(const Pixel* p, uint64_t n, uint64_t width, const CodeTable& codes, HeapArray<Step>& steps) {
    HeapArray<uint32_t> best(n + 1);
    if (!best.valid() || !steps.valid()) return false;
    best[n] = 0;
    auto bytesAfter = [&](uint64_t j) { return best[j]; };
    // A packed run of L pixels costs 3 + L bytes: the key counts the pixels.
    auto packedKey = [&](uint64_t j) { return uint64_t(best[j]) + j; };
    WindowMin fillWindow(1), copyWindow(1), twoUpWindow(1), packedWindow(1);
    WindowMin pairWindows[2] = {WindowMin(2), WindowMin(2)};
    uint64_t fill = 0, period = 0, copyUp = 0, copyTwoUp = 0, packed = 0;
    for (uint64_t i = n; i-- > 0;) {
        fill = i + 1 < n && p[i + 1] == p[i] ? fill + 1 : 1;
        period = i + 2 < n && p[i + 2] == p[i] ? period + 1 : 0;
        copyUp = i >= width && p[i] == p[i - width] ? copyUp + 1 : 0;
        copyTwoUp = i >= 2 * width && p[i] == p[i - 2 * width] ? copyTwoUp + 1 : 0;
        packed = i + 1 < n && PackedKey(p[i + 1]) == PackedKey(p[i]) ? packed + 1 : 1;

        uint32_t cost = LiteralCost(p[i]) + best[i + 1];
        Step step{Literal, 1};
        auto offer = [&](Code code, uint64_t length, uint32_t bytes) {
            const uint32_t total = bytes + best[i + length];
            if (total < cost) {
                cost = total;
                step = Step{code, uint16_t(length)};
            }
        };
        auto offerRun = [&](Code code, WindowMin& window, uint64_t shortest, uint64_t reach, uint32_t bytes) {
            if (reach >= shortest) offer(code, window.query(i + shortest, i + reach, bytesAfter) - i, bytes);
        };
        if (width >= 2 && i + 1 >= width && p[i] == p[i + 1 - width]) offer(AboveRight, 1, 1);
        if (i >= width + 1 && p[i] == p[i - width - 1]) offer(AboveLeft, 1, 1);
        offerRun(Fill, fillWindow, codes.fillMin, std::min<uint64_t>(fill, codes.fillMax), codes.fillCost);
        offerRun(Pairs, pairWindows[i & 1], codes.pairMin,
                 std::min<uint64_t>({n - i, period + 2, codes.pairMax}) & ~uint64_t{1}, codes.pairCost);
        offerRun(CopyUp, copyWindow, codes.copyMin, std::min<uint64_t>(copyUp, codes.copyMax), codes.copyCost);
        offerRun(CopyTwoUp, twoUpWindow, codes.copyMin, std::min<uint64_t>(copyTwoUp, codes.copyMax), codes.copyCost);
        if (codes.packed && packed >= 2) {
            const uint64_t j = packedWindow.query(i + 2, i + std::min<uint64_t>(packed, kPackedMax), packedKey);
            offer(Packed, j - i, uint32_t(kPackedCodeBytes + j - i));
        }
        best[i] = cost;
        steps[i] = step;
    }
    return true;
}

bool Emit8(const uint8_t* p, uint64_t width, uint64_t i, Step step, ByteBuffer& out) {
    using namespace torva::pms;
    switch (step.code) {
    case Literal:
        if (!IsLiteral(p[i])) out.push(kEscape);
        return out.push(p[i]);
    case AboveRight: return out.push(kAboveRight);
    case AboveLeft: return out.push(kAboveLeft);
    case Fill: {
        const uint8_t bytes[3] = {kFillRun, kRuns8.fill.countFor(step.length), p[i]};
        return out.append(bytes, 3);
    }
    case Pairs: {
        const uint8_t bytes[4] = {kPairRun, kRuns8.pair.countFor(step.length), p[i], p[i + 1]};
        return out.append(bytes, 4);
    }
    case CopyUp:
    case CopyTwoUp: {
        const uint8_t bytes[2] = {step.code == CopyUp ? kCopyUp : kCopyTwoUp, kRuns8.copy.countFor(step.length)};
        return out.append(bytes, 2);
    }
    default: (void)width; return false;
    }
}

bool Emit16(const uint16_t* p, uint64_t, uint64_t i, Step step, ByteBuffer& out) {
    using namespace torva::pms;
    switch (step.code) {
    case Literal:
        if (!IsLiteral(static_cast<uint8_t>(p[i] & 0xFF))) out.push(kEscape);
        return out.pushLe16(p[i]);
    case AboveRight: return out.push(kAboveRight);
    case AboveLeft: return out.push(kAboveLeft);
    case Fill:
        out.push(kFillRun);
        out.push(kRuns16.fill.countFor(step.length));
        return out.pushLe16(p[i]);
    case Pairs:
        out.push(kPairRun);
        out.push(kRuns16.pair.countFor(step.length));
        out.pushLe16(p[i]);
        return out.pushLe16(p[i + 1]);
    case CopyUp:
    case CopyTwoUp:
        out.push(step.code == CopyUp ? kCopyUp : kCopyTwoUp);
        return out.push(kRuns16.copy.countFor(step.length));
    case Packed: {
        const uint16_t v = p[i];
        out.push(kPackedRun);
        out.push(kRuns16.packed.countFor(step.length));
        out.push(uint8_t(((v >> 8) & 0xE0) | ((v >> 6) & 0x18) | ((v >> 2) & 0x07)));
        for (uint64_t k = 0; k < step.length; ++k) {
            const uint16_t w = p[i + k];
            out.push(uint8_t(((w >> 5) & 0xC0) | ((w >> 3) & 0x3C) | (w & 0x03)));
        }
        return !out.failed();
    }
    default: return false;
    }
}

template <typename Pixel, typename EmitFn>
AuthorStatus EncodeStream(const Pixel* p, uint64_t n, uint32_t width, const CodeTable& codes, ParseStrategy strategy,
                          ByteBuffer& stream, EmitFn emit) {
    stream.resize(0);
    if (n == 0 || width == 0) return AuthorStatus::EmptyPicture;
    if (n > (kLargestBitmapBytes >> 2)) return AuthorStatus::TooLarge;
    if (strategy == ParseStrategy::Greedy) {
        for (uint64_t i = 0; i < n;) {
            const Step step = GreedyStep(p, n, width, i, codes);
            if (!emit(p, width, i, step, stream)) return AuthorStatus::OutOfMemory;
            i += step.length;
        }
        return AuthorStatus::Ok;
    }
    HeapArray<Step> steps(n);
    if (!ShortestParse(p, n, width, codes, steps)) return AuthorStatus::OutOfMemory;
    for (uint64_t i = 0; i < n; i += steps[i].length) {
        if (!emit(p, width, i, steps[i], stream)) return AuthorStatus::OutOfMemory;
    }
    return AuthorStatus::Ok;
}

// Where a file's parts go: the header, what the depth puts after it, the
// comment last.
struct PmsLayout {
    uint32_t headerSize = 48;
};

// Starts `file` with the header (the template's bytes or a blank one).
bool StartPmsFile(ByteBuffer& file, const HeaderTemplate* like, PmsLayout& layout) {
    file.resize(0);
    if (like == nullptr) return file.resize(layout.headerSize);
    layout.headerSize = like->size;
    return file.append(like->bytes, like->size);
}

// Appends the template's comment and fills in the header's fields.
AuthorStatus FinishPmsFile(ByteBuffer& file, const HeaderTemplate* like, uint8_t depth, uint32_t width,
                           uint32_t height, uint32_t left, uint32_t top, uint64_t streamOffset,
                           uint64_t secondOffset) {
    uint64_t commentOffset = 0;
    if (like != nullptr && like->comment != nullptr && like->commentSize != 0) {
        commentOffset = file.size();
        if (!file.append(like->comment, like->commentSize)) return AuthorStatus::OutOfMemory;
    }
    if (file.size() > UINT32_MAX) return AuthorStatus::TooLarge;
    uint8_t* h = file.data();
    h[0] = 'P';
    h[1] = 'M';
    if (like == nullptr) {
        file.putLe16(2, 1);
        file.putLe16(4, 48);
    }
    h[6] = depth;
    file.putLe32(16, left);
    file.putLe32(20, top);
    file.putLe32(24, width);
    file.putLe32(28, height);
    file.putLe32(32, uint32_t(streamOffset));
    file.putLe32(36, uint32_t(secondOffset));
    file.putLe32(40, uint32_t(commentOffset));
    return AuthorStatus::Ok;
}

// A template must be a whole header: "PM", version 1 and 48 bytes or
// version 2 and 64.
bool TemplateFits(const HeaderTemplate* like) {
    if (like == nullptr) return true;
    if (like->bytes == nullptr || like->size < 6 || like->bytes[0] != 'P' || like->bytes[1] != 'M') return false;
    const unsigned version = like->bytes[2] | like->bytes[3] << 8, size = like->bytes[4] | like->bytes[5] << 8;
    return ((version == 1 && size == 48) || (version == 2 && size == 64)) && like->size == size;
}

AuthorStatus CheckGeometry(uint32_t width, uint32_t height) {
    if (width == 0 || height == 0) return AuthorStatus::EmptyPicture;
    if (!PictureSizeAllowed(width, height)) return AuthorStatus::TooLarge;
    return AuthorStatus::Ok;
}

}  // namespace

AuthorStatus EncodePms8Stream(const uint8_t* pixels, uint64_t count, uint32_t width, ParseStrategy strategy,
                              ByteBuffer& stream) {
    return EncodeStream(pixels, count, width, kCodes8, strategy, stream, Emit8);
}

AuthorStatus EncodePms16Stream(const uint16_t* pixels, uint64_t count, uint32_t width, ParseStrategy strategy,
                               ByteBuffer& stream) {
    return EncodeStream(pixels, count, width, kCodes16, strategy, stream, Emit16);
}

AuthorStatus EncodePms8(const Pms8Picture& picture, ParseStrategy strategy, ByteBuffer& file) {
    file.resize(0);
    AuthorStatus status = CheckGeometry(picture.width, picture.height);
    if (status == AuthorStatus::Ok) status = CheckStoredPosition(picture.width, picture.height, picture.left, picture.top);
    if (status != AuthorStatus::Ok) return status;
    if (!TemplateFits(picture.like)) return AuthorStatus::BadTemplate;
    ByteBuffer stream;
    status = EncodePms8Stream(picture.indices, uint64_t(picture.width) * picture.height, picture.width, strategy, stream);
    if (status != AuthorStatus::Ok) return status;
    PmsLayout layout;
    if (!StartPmsFile(file, picture.like, layout)) return AuthorStatus::OutOfMemory;
    const uint32_t paletteOffset = layout.headerSize, streamOffset = paletteOffset + 768;
    if (!file.resize(streamOffset) || !file.append(stream.data(), stream.size())) return AuthorStatus::OutOfMemory;
    for (int i = 0; i < 768; ++i) file.data()[paletteOffset + i] = picture.palette[i];
    return FinishPmsFile(file, picture.like, 8, picture.width, picture.height, picture.left, picture.top,
                         streamOffset, paletteOffset);
}

AuthorStatus EncodePms16(const Pms16Picture& picture, ParseStrategy strategy, ByteBuffer& file) {
    file.resize(0);
    AuthorStatus status = CheckGeometry(picture.width, picture.height);
    if (status == AuthorStatus::Ok) status = CheckStoredPosition(picture.width, picture.height, picture.left, picture.top);
    if (status != AuthorStatus::Ok) return status;
    if (!TemplateFits(picture.like)) return AuthorStatus::BadTemplate;
    const uint64_t count = uint64_t(picture.width) * picture.height;
    ByteBuffer stream, alpha;
    status = EncodePms16Stream(picture.pixels, count, picture.width, strategy, stream);
    if (status == AuthorStatus::Ok && picture.alpha != nullptr) {
        status = EncodePms8Stream(picture.alpha, count, picture.width, strategy, alpha);
    }
    if (status != AuthorStatus::Ok) return status;
    PmsLayout layout;
    if (!StartPmsFile(file, picture.like, layout)) return AuthorStatus::OutOfMemory;
    const uint64_t alphaOffset = picture.alpha != nullptr ? layout.headerSize + uint64_t(stream.size()) : 0;
    if (alphaOffset + alpha.size() > UINT32_MAX) return AuthorStatus::TooLarge;
    if (!file.append(stream.data(), stream.size()) || !file.append(alpha.data(), alpha.size())) {
        return AuthorStatus::OutOfMemory;
    }
    return FinishPmsFile(file, picture.like, 16, picture.width, picture.height, picture.left, picture.top,
                         layout.headerSize, alphaOffset);
}

}  // namespace author
