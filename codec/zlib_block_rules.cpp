// What zlib's inflate refuses and a more lenient engine may accept, found by
// walking the deflate blocks the way zlib reads them:
//
//  - a dynamic header declaring more than 286 literal/length codes or more
//    than 30 distance codes;
//  - a code-length repeat that runs past the declared number of lengths;
//  - a code-length code that is incomplete, even a single one-bit code;
//  - literal/length lengths that give the end-of-block symbol no code;
//  - an over-subscribed or incomplete literal/length or distance code
//    (incomplete is allowed only as a single one-bit code, whose other
//    one-bit pattern is then invalid);
//  - a literal/length symbol 286 or 287, or a distance symbol 30 or 31
//    (possible only in a block with the fixed codes);
//  - any bit pattern that is no code of the current table, for example a
//    match in a block whose distance code is empty.
//
// Only code lengths and symbols are followed; no output is produced, so
// distances, lengths of output and the checksum are not looked at.
#include "codec/zlib_block_rules.h"

#include <cstdint>
#include <cstring>

namespace torva {
namespace {

// The bit buffer is one machine word: 64 bits where registers have them, 32
// on the 32-bit build. A refill leaves at least kWordBits - 8 bits in it.
using Word = std::uintptr_t;
constexpr unsigned kWordBits = sizeof(Word) * 8;
constexpr unsigned kRefilledBits = kWordBits - 8;

// The most bits one step reads at once: a literal/length code of up to 15
// bits with up to 5 extra bits (20), and where the word is wide enough the
// distance code (15) and its extra bits (13) as well (48).
constexpr unsigned kLiteralStepBits = 20;
constexpr unsigned kMatchStepBits = 48;
constexpr bool kWholeMatchPerStep = kMatchStepBits <= kRefilledBits;
constexpr unsigned kStepBits = kWholeMatchPerStep ? kMatchStepBits : kLiteralStepBits;
static_assert(kLiteralStepBits <= kRefilledBits, "one refill must cover a literal/length step");

class BitReader {
public:
    BitReader(const unsigned char* data, std::size_t size) : begin_(data), next_(data), end_(data + size) {}

    // At least n <= kStepBits bits in the buffer; false once the walk has
    // used bits beyond the end of the data (which are read as zeros).
    bool need(unsigned n) { return count_ >= n || refill(); }

    Word peek() const { return bits_; }
    void drop(unsigned n) {
        bits_ >>= n;
        count_ -= n;
    }
    unsigned take(unsigned n) {
        const unsigned value = static_cast<unsigned>(bits_ & ((Word{1} << n) - 1));
        drop(n);
        return value;
    }

    // Moves to the next byte boundary and returns the number of data bytes
    // consumed so far, or false when padding has been consumed.
    bool alignToByte(std::size_t* consumed) {
        drop(count_ & 7);
        const std::size_t unread = count_ / 8;
        const std::size_t loaded = static_cast<std::size_t>(next_ - begin_) + overread_;
        if (unread < overread_) return false;
        *consumed = loaded - unread;
        return true;
    }

    // Continues at byte `offset` of the data with an empty buffer.
    void restartAt(std::size_t offset) {
        next_ = begin_ + offset;
        bits_ = 0;
        count_ = 0;
        overread_ = 0;
    }

    // True when no bit beyond the data has been consumed.
    bool inside() const { return overread_ * 8 <= count_; }

    std::size_t size() const { return static_cast<std::size_t>(end_ - begin_); }
    const unsigned char* data() const { return begin_; }

private:
    bool refill() {
        if (static_cast<std::size_t>(end_ - next_) >= sizeof(Word)) {
            // A whole word ORed in above the bits held; the bytes already held
            // are ORed onto themselves, so only the new ones change the buffer.
            Word word;
            std::memcpy(&word, next_, sizeof word);
            bits_ |= LittleEndian(word) << count_;
            next_ += (kWordBits - 1 - count_) / 8;
            count_ |= kRefilledBits;
            return true;
        }
        if (!inside()) return false;
        bits_ &= count_ == 0 ? 0 : (~Word{0} >> (kWordBits - count_));
        while (count_ <= kRefilledBits) {
            if (next_ < end_) {
                bits_ |= Word{*next_++} << count_;
            } else {
                ++overread_;
            }
            count_ += 8;
        }
        return true;
    }

    static Word LittleEndian(Word w) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        return sizeof(Word) == 8 ? Word(__builtin_bswap64(w)) : Word(__builtin_bswap32(uint32_t(w)));
#else
        return w;
#endif
    }

    const unsigned char* begin_;
    const unsigned char* next_;
    const unsigned char* end_;
    Word bits_ = 0;
    unsigned count_ = 0;
    std::size_t overread_ = 0;
};

// How zlib judges a set of code lengths: the code-length code must be
// complete; the literal/length and distance codes may also be a single
// one-bit code, and an empty distance code is allowed until it is used.
enum class CodeKind { CodeLengths, LiteralLengths, Distances };

constexpr unsigned kMaxCodeBits = 15;

// Extra bits of the length symbols 257..285 and of the distance symbols 0..29.
constexpr unsigned char kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                            2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr unsigned DistanceExtra(unsigned symbol) { return symbol < 4 ? 0 : symbol / 2 - 1; }

// A canonical Huffman code: counts of each length and the symbols in code
// order (for the bit-by-bit decode of long or invalid patterns), and a
// direct table indexed by the next TableBits bits of the stream.
template <unsigned TableBits, unsigned MaxSymbols>
struct Code {
    static constexpr Word kMask = (Word{1} << TableBits) - 1;
    uint16_t count[kMaxCodeBits + 1];
    uint16_t symbols[MaxSymbols];
    uint16_t table[1u << TableBits];
};

// Decodes one symbol bit by bit from `bits` (at least 15 valid bits).
// Returns the symbol and sets *length, or returns -1 for a pattern that is
// no code (possible only in an incomplete or empty code).
template <class C>
int DecodeSlowly(const C& code, Word bits, unsigned* length) {
    int first = 0;
    int index = 0;
    int value = 0;
    for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
        value |= static_cast<int>(bits & 1);
        bits >>= 1;
        const int count = code.count[len];
        if (value - count < first) {
            *length = len;
            return code.symbols[index + (value - first)];
        }
        index += count;
        first = (first + count) << 1;
        value <<= 1;
    }
    return -1;
}

// Reverses the low `n` bits of `v`: codes are defined most significant bit
// first but arrive least significant bit first.
inline unsigned Reverse(unsigned v, unsigned n) {
    unsigned r = 0;
    for (unsigned i = 0; i < n; ++i) r = (r << 1) | ((v >> i) & 1u);
    return r;
}

// Fills `code` from `lengths` as zlib would accept them. `entryOf(symbol,
// length)` gives a table entry; `slow` marks entries that need DecodeSlowly
// (codes longer than the table, and patterns that are no code).
template <unsigned TableBits, unsigned MaxSymbols, class EntryOf>
bool Build(Code<TableBits, MaxSymbols>* code, const unsigned char* lengths, unsigned symbolCount, CodeKind kind,
           uint16_t slow, EntryOf entryOf) {
    std::memset(code->count, 0, sizeof code->count);
    for (unsigned s = 0; s < symbolCount; ++s) ++code->count[lengths[s]];
    unsigned longest = kMaxCodeBits;
    while (longest > 0 && code->count[longest] == 0) --longest;
    if (longest == 0 && kind == CodeKind::CodeLengths) return false;  // zlib fails later, for want of an end code
    int left = 1;
    for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
        left = (left << 1) - code->count[len];
        if (left < 0) return false;  // over-subscribed
    }
    if (longest != 0 && left > 0 && (kind == CodeKind::CodeLengths || longest != 1)) return false;  // incomplete

    uint16_t offsets[kMaxCodeBits + 2];
    offsets[1] = 0;
    for (unsigned len = 1; len <= kMaxCodeBits; ++len) offsets[len + 1] = offsets[len] + code->count[len];
    unsigned next[kMaxCodeBits + 1];
    unsigned value = 0;
    code->count[0] = 0;
    for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
        value = (value + code->count[len - 1]) << 1;
        next[len] = value;
    }
    for (auto& entry : code->table) entry = slow;
    for (unsigned s = 0; s < symbolCount; ++s) {
        const unsigned len = lengths[s];
        if (len == 0) continue;
        code->symbols[offsets[len]++] = static_cast<uint16_t>(s);
        const unsigned reversed = Reverse(next[len]++, len);
        if (len > TableBits) continue;  // its table slot stays slow
        const uint16_t entry = entryOf(s, len);
        for (unsigned i = reversed; i < (1u << TableBits); i += 1u << len) code->table[i] = entry;
    }
    return true;
}

// Literal/length table entries: a literal is its code length (1..15), a
// length symbol 32 + code length + extra bits, the end of the block 64 +
// code length; kSlow sends the decode bit by bit. After PackLiterals, a
// literal entry may stand for several literals in a row, the sum of their
// code lengths (at most kLiteralBits).
constexpr unsigned kLiteralBits = 12;
constexpr uint16_t kLengthBase = 32;
constexpr uint16_t kEndBase = 64;
constexpr uint16_t kLiteralSlow = 96;
using LiteralCode = Code<kLiteralBits, 288>;

uint16_t LiteralEntry(unsigned symbol, unsigned length) {
    if (symbol < 256) return static_cast<uint16_t>(length);
    if (symbol == 256) return static_cast<uint16_t>(kEndBase + length);
    if (symbol <= 285) return static_cast<uint16_t>(kLengthBase + length + kLengthExtra[symbol - 257]);
    return kLiteralSlow;  // 286 and 287 are no symbols for zlib
}

// Lets one lookup step over as many literals as lie wholly inside the table's
// window: photographs are mostly literals of a few bits each, and walking
// them one lookup at a time would cost as much as inflating them. Entries
// are filled in increasing order, so the entry for what follows the first
// literal (a smaller index) is already packed; it is taken when it fits in
// the bits known, else its single literal if that fits, else nothing.
void PackLiterals(LiteralCode* code) {
    constexpr unsigned kEntries = 1u << kLiteralBits;
    uint16_t single[kEntries];
    std::memcpy(single, code->table, sizeof single);
    for (unsigned i = 0; i < kEntries; ++i) {
        const uint16_t first = single[i];
        if (first >= kLengthBase) continue;
        const unsigned budget = kLiteralBits - first;
        const unsigned rest = i >> first;
        const uint16_t packed = rest < i ? code->table[rest] : single[rest];
        const uint16_t one = single[rest];
        if (packed < kLengthBase && packed <= budget) {
            code->table[i] = static_cast<uint16_t>(first + packed);
        } else if (one < kLengthBase && one <= budget) {
            code->table[i] = static_cast<uint16_t>(first + one);
        }
    }
}

// Distance table entries: code length in the low 4 bits, extra bits above.
constexpr unsigned kDistanceBits = 8;
constexpr uint16_t kDistanceSlow = 0xFF;
using DistanceCode = Code<kDistanceBits, 32>;

uint16_t DistanceEntry(unsigned symbol, unsigned length) {
    if (symbol >= 30) return kDistanceSlow;  // 30 and 31 are no symbols for zlib
    return static_cast<uint16_t>(length | (DistanceExtra(symbol) << 4));
}

// Code-length code entries: symbol in the low 5 bits, code length above.
constexpr unsigned kCodeLengthBits = 7;
using CodeLengthCode = Code<kCodeLengthBits, 19>;

bool BuildFixed(LiteralCode* literals, DistanceCode* distances) {
    unsigned char lengths[288];
    std::memset(lengths, 8, 144);
    std::memset(lengths + 144, 9, 112);
    std::memset(lengths + 256, 7, 24);
    std::memset(lengths + 280, 8, 8);
    if (!Build(literals, lengths, 288, CodeKind::LiteralLengths, kLiteralSlow, LiteralEntry)) return false;
    PackLiterals(literals);
    std::memset(lengths, 5, 32);
    return Build(distances, lengths, 32, CodeKind::Distances, kDistanceSlow, DistanceEntry);
}

// Reads a dynamic block's header and builds its two codes.
bool ReadDynamicHeader(BitReader* in, LiteralCode* literals, DistanceCode* distances) {
    static constexpr unsigned char kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    if (!in->need(14)) return false;
    const unsigned literalCount = 257 + in->take(5);
    const unsigned distanceCount = 1 + in->take(5);
    const unsigned codeLengthCount = 4 + in->take(4);
    if (literalCount > 286 || distanceCount > 30) return false;

    unsigned char lengths[286 + 30] = {};
    for (unsigned i = 0; i < codeLengthCount; ++i) {
        if (!in->need(3)) return false;
        lengths[kOrder[i]] = static_cast<unsigned char>(in->take(3));
    }
    CodeLengthCode codeLengths;
    const auto codeLengthEntry = [](unsigned symbol, unsigned length) {
        return static_cast<uint16_t>(symbol | (length << 5));
    };
    if (!Build(&codeLengths, lengths, 19, CodeKind::CodeLengths, 0, codeLengthEntry)) return false;

    const unsigned total = literalCount + distanceCount;
    unsigned have = 0;
    while (have < total) {
        // A complete code of at most 7 bits: every table entry is a code.
        if (!in->need(kCodeLengthBits + 7)) return false;
        const uint16_t entry = codeLengths.table[in->peek() & CodeLengthCode::kMask];
        in->drop(entry >> 5);
        const unsigned symbol = entry & 31u;
        if (symbol < 16) {
            lengths[have++] = static_cast<unsigned char>(symbol);
            continue;
        }
        unsigned char repeated = 0;
        unsigned copies;
        if (symbol == 16) {
            if (have == 0) return false;
            repeated = lengths[have - 1];
            copies = 3 + in->take(2);
        } else if (symbol == 17) {
            copies = 3 + in->take(3);
        } else {
            copies = 11 + in->take(7);
        }
        if (have + copies > total) return false;
        std::memset(lengths + have, repeated, copies);
        have += copies;
    }
    if (lengths[256] == 0) return false;
    if (!Build(literals, lengths, literalCount, CodeKind::LiteralLengths, kLiteralSlow, LiteralEntry)) return false;
    PackLiterals(literals);
    return Build(distances, lengths + literalCount, distanceCount, CodeKind::Distances, kDistanceSlow,
                 DistanceEntry);
}

// Reads the distance of one match.
bool SkipDistance(BitReader* in, const DistanceCode& distances) {
    if (!in->need(kMaxCodeBits)) return false;
    const uint16_t entry = distances.table[in->peek() & DistanceCode::kMask];
    unsigned extra;
    if (entry != kDistanceSlow) {
        in->drop(entry & 15u);
        extra = entry >> 4;
    } else {
        unsigned length = 0;
        const int symbol = DecodeSlowly(distances, in->peek(), &length);
        if (symbol < 0 || symbol >= 30) return false;
        in->drop(length);
        extra = DistanceExtra(static_cast<unsigned>(symbol));
    }
    if (!in->need(extra)) return false;
    in->drop(extra);
    return true;
}

// Reads the codes of one Huffman block up to and including its end code.
// Literals and matches found in the tables take the fast way; codes longer
// than a table, and patterns that are no code, are decoded bit by bit.
bool SkipHuffmanBlock(BitReader* in, const LiteralCode& literals, const DistanceCode& distances) {
    for (;;) {
        if (!in->need(kStepBits)) return false;
        const Word bits = in->peek();
        uint16_t entry = literals.table[bits & LiteralCode::kMask];
        if (entry < kLengthBase) {
            in->drop(entry);
            continue;
        }
        if (entry < kEndBase && kWholeMatchPerStep) {
            const unsigned used = entry - kLengthBase;
            const uint16_t distance = distances.table[(bits >> used) & DistanceCode::kMask];
            if (distance != kDistanceSlow) {
                in->drop(used + (distance & 15u) + (distance >> 4));
                continue;
            }
        }
        if (entry == kLiteralSlow) {
            unsigned length = 0;
            const int symbol = DecodeSlowly(literals, bits, &length);
            if (symbol < 0 || symbol > 285) return false;
            entry = LiteralEntry(static_cast<unsigned>(symbol), length);
            if (entry < kLengthBase) {
                in->drop(entry);
                continue;
            }
        }
        if (entry >= kEndBase) {
            in->drop(entry - kEndBase);
            return true;
        }
        in->drop(entry - kLengthBase);
        if (!SkipDistance(in, distances)) return false;
    }
}

// A stored block: after the header bits, the rest of the byte is skipped,
// then come LEN, its complement and LEN bytes.
bool SkipStoredBlock(BitReader* in) {
    std::size_t at = 0;
    if (!in->alignToByte(&at)) return false;
    if (in->size() - at < 4) return false;
    const unsigned char* p = in->data() + at;
    const std::size_t length = p[0] | (std::size_t{p[1]} << 8);
    const std::size_t complement = p[2] | (std::size_t{p[3]} << 8);
    if ((length ^ complement) != 0xFFFF) return false;
    if (in->size() - at - 4 < length) return false;
    in->restartAt(at + 4 + length);
    return true;
}

}  // namespace

bool ZlibAcceptsBlocks(const unsigned char* deflate, std::size_t size) {
    BitReader in(deflate, size);
    LiteralCode literals;
    DistanceCode distances;
    LiteralCode fixedLiterals;
    DistanceCode fixedDistances;
    bool fixedBuilt = false;
    for (;;) {
        if (!in.need(3)) return false;
        const bool last = in.take(1) != 0;
        const unsigned type = in.take(2);
        bool ok;
        if (type == 0) {
            ok = SkipStoredBlock(&in);
        } else if (type == 1) {
            if (!fixedBuilt) fixedBuilt = BuildFixed(&fixedLiterals, &fixedDistances);
            ok = fixedBuilt && SkipHuffmanBlock(&in, fixedLiterals, fixedDistances);
        } else if (type == 2) {
            ok = ReadDynamicHeader(&in, &literals, &distances) && SkipHuffmanBlock(&in, literals, distances);
        } else {
            ok = false;
        }
        if (!ok) return false;
        if (last) return in.inside();
    }
}

}  // namespace torva
