#include "tests/writers/deflate_writer.h"

#include <zlib.h>

#include <algorithm>
#include <utility>

namespace torvatest {
namespace {

// Deflate's bit order: fields least significant bit first, Huffman codes
// most significant bit first.
class BitWriter {
public:
    void bits(unsigned value, int count) {
        for (int i = 0; i < count; ++i) put((value >> i) & 1);
    }
    void code(unsigned value, int length) {
        for (int i = length - 1; i >= 0; --i) put((value >> i) & 1);
    }
    void align() {
        while (used_ != 0) put(0);
    }
    void byte(unsigned char b) { bits(b, 8); }
    Bytes bytes() {
        align();
        return out_;
    }

private:
    void put(unsigned bit) {
        if (used_ == 0) out_.push_back(0);
        out_.back() |= static_cast<unsigned char>(bit << used_);
        used_ = (used_ + 1) & 7;
    }
    Bytes out_;
    int used_ = 0;
};

// Canonical codes for a list of code lengths.
std::vector<unsigned> Canonical(const std::vector<int>& lengths) {
    int count[16] = {};
    for (int l : lengths) ++count[l];
    count[0] = 0;
    unsigned next[16] = {};
    for (int len = 1, code = 0; len < 16; ++len) next[len] = code = (code + count[len - 1]) << 1;
    std::vector<unsigned> codes(lengths.size());
    for (size_t s = 0; s < lengths.size(); ++s)
        if (lengths[s]) codes[s] = next[lengths[s]]++;
    return codes;
}

// One block with the fixed codes.
struct Fixed {
    BitWriter& w;
    void header(bool last) { w.bits(last, 1), w.bits(1, 2); }
    void symbol(int s) {
        if (s < 144) w.code(0x30 + s, 8);
        else if (s < 256) w.code(0x190 + s - 144, 9);
        else if (s < 280) w.code(s - 256, 7);
        else w.code(0xC0 + s - 280, 8);
    }
    void distance(int s, unsigned extra, int extraBits) { w.code(s, 5), w.bits(extra, extraBits); }
};

// A dynamic block header: `lengths` holds the literal/length then distance
// lengths, sent with a code-length code in which 0..15 have 5 bits and the
// repeats 16, 17, 18 have 2, 3, 3 (complete), unless `codeLengthLengths` is
// given. `items` overrides the code-length symbols sent: pairs of symbol and
// extra-bits value.
struct Dynamic {
    BitWriter& w;
    std::vector<int> lit, dist;
    std::vector<unsigned> litCodes, distCodes;
    Dynamic(BitWriter& writer, std::vector<int> literalLengths, std::vector<int> distanceLengths, bool last,
            std::vector<std::pair<int, unsigned>> items = {}, std::vector<int> codeLengthLengths = {})
        : w(writer), lit(literalLengths), dist(distanceLengths) {
        static const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
        if (codeLengthLengths.empty()) {
            codeLengthLengths.assign(16, 5);
            codeLengthLengths.insert(codeLengthLengths.end(), {2, 3, 3});
        }
        w.bits(last, 1), w.bits(2, 2);
        w.bits(unsigned(lit.size() - 257), 5), w.bits(unsigned(dist.size() - 1), 5), w.bits(15, 4);
        for (int i = 0; i < 19; ++i) w.bits(codeLengthLengths[order[i]], 3);
        const std::vector<unsigned> pre = Canonical(codeLengthLengths);
        if (items.empty()) {
            for (int l : lit) items.push_back({l, 0});
            for (int l : dist) items.push_back({l, 0});
        }
        static const int extraBits[19] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 7};
        for (auto [symbol, extra] : items) w.code(pre[symbol], codeLengthLengths[symbol]), w.bits(extra, extraBits[symbol]);
        litCodes = Canonical(lit);
        distCodes = Canonical(dist);
    }
    void symbol(int s) { w.code(litCodes[s], lit[s]); }
    void distance(int s) { w.code(distCodes[s], dist[s]); }
};

// A complete literal/length code over `count` symbols: bytes 9 bits (half
// the code space), 256 and 257 5 bits, 258..285 6 bits; any symbols past 285
// have no code.
std::vector<int> CompleteLiteralLengths(size_t count = 286) {
    std::vector<int> l(count, 0);
    for (size_t s = 0; s < 286; ++s) l[s] = s < 256 ? 9 : s < 258 ? 5 : 6;
    return l;
}

Bytes Zlib(const Bytes& deflate, const Bytes& output, unsigned char cmf = 0x78, unsigned char flg = 0x01) {
    Bytes out(deflate.size() + 2);
    out[0] = cmf, out[1] = flg;
    std::copy(deflate.begin(), deflate.end(), out.begin() + 2);
    const uLong sum = adler32(adler32(0, nullptr, 0), output.data(), uInt(output.size()));
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(sum >> shift));
    return out;
}

// "abc" then a match of 6 at distance 3: "abcabcabc".
Bytes FixedAbc(BitWriter& w, bool last = true) {
    Fixed f{w};
    f.header(last);
    for (int c : {'a', 'b', 'c'}) f.symbol(c);
    f.symbol(260), f.distance(2, 0, 0), f.symbol(256);
    return Bytes{'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b', 'c'};
}

// A fixed block, not the last, of 'x' and then `matches` matches of 258 at
// distance 1: a long history in a few bytes.
Bytes FixedRun(BitWriter& w, int matches) {
    Fixed f{w};
    f.header(false), f.symbol('x');
    for (int i = 0; i < matches; ++i) f.symbol(285), f.distance(0, 0, 0);
    f.symbol(256);
    return Bytes(1 + 258 * size_t(matches), 'x');
}

// A stored block of `n` bytes of 'x', not the last.
Bytes Stored(BitWriter& w, unsigned n) {
    w.bits(0, 1), w.bits(0, 2), w.align();
    w.bits(n, 16), w.bits(~n & 0xFFFF, 16);
    for (unsigned i = 0; i < n; ++i) w.byte('x');
    return Bytes(n, 'x');
}

Bytes Make(const std::function<Bytes(BitWriter&)>& body, unsigned char cmf = 0x78, unsigned char flg = 0x01) {
    BitWriter w;
    const Bytes out = body(w);
    return Zlib(w.bytes(), out, cmf, flg);
}

// A dynamic block with complete codes around one symbol sequence.
Bytes DynamicWith(BitWriter& w, std::vector<int> lit, std::vector<int> dist,
                  std::vector<std::pair<int, unsigned>> items = {}, std::vector<int> pre = {}) {
    Dynamic d(w, lit, dist, true, items, pre);
    d.symbol('a'), d.symbol(256);
    return Bytes{'a'};
}

// Complete distance codes over 30 symbols, and over the first 29 of 30.
std::vector<int> CompleteDistances() {
    std::vector<int> d(30, 5);
    d[0] = d[1] = 4;
    return d;
}
std::vector<int> DistancesLastUnused() {
    std::vector<int> d(30, 5);
    d[0] = d[1] = d[2] = 4;
    d[29] = 0;
    return d;
}

}  // namespace

const std::vector<DeflateCase>& DeflateCases() {
    static const std::vector<DeflateCase> cases = {
        {"fixed_block", Z_OK, [] { return Make([](BitWriter& w) { return FixedAbc(w); }); }},
        {"trailing_bytes_after_checksum", Z_OK,
         [] {
             Bytes s = Make([](BitWriter& w) { return FixedAbc(w); });
             s.insert(s.end(), {1, 2, 3});
             return s;
         }},
        {"bad_checksum", Z_DATA_ERROR,
         [] {
             Bytes s = Make([](BitWriter& w) { return FixedAbc(w); });
             s.back() ^= 1;
             return s;
         }},
        {"header_check_bits_wrong", Z_DATA_ERROR, [] { return Make([](BitWriter& w) { return FixedAbc(w); }, 0x78, 0x02); }},
        {"preset_dictionary_flag", Z_DATA_ERROR, [] { return Make([](BitWriter& w) { return FixedAbc(w); }, 0x78, 0x3F); }},
        {"window_over_32KiB", Z_DATA_ERROR, [] { return Make([](BitWriter& w) { return FixedAbc(w); }, 0x88, 0x1C); }},
        {"reserved_block_type", Z_DATA_ERROR, [] { return Make([](BitWriter& w) { w.bits(1, 1), w.bits(3, 2); return Bytes{}; }); }},
        {"stored_then_fixed", Z_OK,
         [] {
             return Make([](BitWriter& w) {
                 Bytes out = Stored(w, 300);
                 Bytes tail = FixedAbc(w);
                 out.insert(out.end(), tail.begin(), tail.end());
                 return out;
             });
         }},
        {"stored_length_complement_wrong", Z_DATA_ERROR,
         [] { return Make([](BitWriter& w) { w.bits(1, 1), w.bits(0, 2), w.align(), w.bits(5, 16), w.bits(5, 16); return Bytes{}; }); }},
        {"distance_beyond_output", Z_DATA_ERROR,
         [] {
             return Make([](BitWriter& w) {
                 Fixed f{w};
                 f.header(true), f.symbol('a'), f.symbol(257), f.distance(1, 0, 0), f.symbol(256);
                 return Bytes{'a', 'a', 'a', 'a'};
             });
         }},
        {"fixed_symbol_286", Z_DATA_ERROR,
         [] {
             return Make([](BitWriter& w) {
                 Fixed f{w};
                 f.header(true), f.symbol('a'), f.symbol(286), f.distance(0, 0, 0), f.symbol(256);
                 return Bytes(259, 'a');
             });
         }},
        {"fixed_symbol_287", Z_DATA_ERROR,
         [] {
             return Make([](BitWriter& w) {
                 Fixed f{w};
                 f.header(true), f.symbol('a'), f.symbol(287), f.distance(0, 0, 0), f.symbol(256);
                 return Bytes(259, 'a');
             });
         }},
        {"fixed_distance_30", Z_DATA_ERROR,
         [] {
             return Make([](BitWriter& w) {
                 Bytes out = FixedRun(w, 100);
                 Fixed f{w};
                 f.header(true), f.symbol(257), f.distance(30, 0, 13), f.symbol(256);
                 out.insert(out.end(), 3, 'x');
                 return out;
             });
         }},
        {"fixed_distance_31", Z_DATA_ERROR,
         [] {
             return Make([](BitWriter& w) {
                 Bytes out = FixedRun(w, 100);
                 Fixed f{w};
                 f.header(true), f.symbol(257), f.distance(31, 0, 13), f.symbol(256);
                 out.insert(out.end(), 3, 'x');
                 return out;
             });
         }},
        {"dynamic_block", Z_OK, [] { return Make([](BitWriter& w) { return DynamicWith(w, CompleteLiteralLengths(), CompleteDistances()); }); }},
        {"dynamic_287_literal_lengths", Z_DATA_ERROR,
         [] { return Make([](BitWriter& w) { return DynamicWith(w, CompleteLiteralLengths(287), CompleteDistances()); }); }},
        {"dynamic_288_literal_lengths", Z_DATA_ERROR,
         [] { return Make([](BitWriter& w) { return DynamicWith(w, CompleteLiteralLengths(288), CompleteDistances()); }); }},
        {"dynamic_31_distances", Z_DATA_ERROR,
         [] {
             return Make([](BitWriter& w) {
                 std::vector<int> d = CompleteDistances();
                 d.push_back(0);
                 return DynamicWith(w, CompleteLiteralLengths(), d);
             });
         }},
        {"dynamic_repeat_past_lengths", Z_DATA_ERROR,
         [] {
             return Make([](BitWriter& w) {
                 // The last length (0) sent as a run of three zeros.
                 std::vector<std::pair<int, unsigned>> items;
                 for (int l : CompleteLiteralLengths()) items.push_back({l, 0});
                 for (int l : DistancesLastUnused()) items.push_back({l, 0});
                 items.back() = {17, 0};
                 return DynamicWith(w, CompleteLiteralLengths(), DistancesLastUnused(), items);
             });
         }},
        {"oversubscribed_literal_code", Z_DATA_ERROR,
         [] {
             return Make([](BitWriter& w) {
                 std::vector<int> l = CompleteLiteralLengths();
                 l[258] = 5;
                 return DynamicWith(w, l, CompleteDistances());
             });
         }},
        {"incomplete_literal_code", Z_DATA_ERROR,
         [] {
             return Make([](BitWriter& w) {
                 std::vector<int> l = CompleteLiteralLengths();
                 l[285] = 0;
                 return DynamicWith(w, l, CompleteDistances());
             });
         }},
        {"incomplete_code_length_code", Z_DATA_ERROR,
         [] {
             return Make([](BitWriter& w) {
                 std::vector<int> pre(16, 5);
                 pre.insert(pre.end(), {2, 3, 0});
                 return DynamicWith(w, CompleteLiteralLengths(), CompleteDistances(), {}, pre);
             });
         }},
        {"no_end_of_block_code", Z_DATA_ERROR,
         [] {
             return Make([](BitWriter& w) {
                 std::vector<int> l = CompleteLiteralLengths();
                 l[256] = 0;
                 return DynamicWith(w, l, CompleteDistances());
             });
         }},
        {"match_with_empty_distance_code", Z_DATA_ERROR,
         [] {
             return Make([](BitWriter& w) {
                 Dynamic d(w, CompleteLiteralLengths(), std::vector<int>(1, 0), true);
                 d.symbol('a'), d.symbol(257), w.bits(0, 1), d.symbol(256);
                 return Bytes(4, 'a');
             });
         }},
        {"empty_distance_code_without_matches", Z_OK,
         [] {
             return Make([](BitWriter& w) {
                 Dynamic d(w, CompleteLiteralLengths(), std::vector<int>(1, 0), true);
                 d.symbol('a'), d.symbol('b'), d.symbol(256);
                 return Bytes{'a', 'b'};
             });
         }},
        {"one_bit_distance_code_pattern_1", Z_DATA_ERROR,
         [] {
             return Make([](BitWriter& w) {
                 Dynamic d(w, CompleteLiteralLengths(), std::vector<int>{1}, true);
                 d.symbol('a'), d.symbol(257), w.bits(1, 1), d.symbol(256);
                 return Bytes(4, 'a');
             });
         }},
        {"one_bit_distance_code_pattern_0", Z_OK,
         [] {
             return Make([](BitWriter& w) {
                 Dynamic d(w, CompleteLiteralLengths(), std::vector<int>{1}, true);
                 d.symbol('a'), d.symbol(257), w.bits(0, 1), d.symbol(256);
                 return Bytes(4, 'a');
             });
         }},
        {"end_of_block_only_one_bit_code", Z_OK,
         [] {
             return Make([](BitWriter& w) {
                 std::vector<int> l(257, 0);
                 l[256] = 1;
                 Dynamic d(w, l, std::vector<int>(1, 0), true);
                 d.symbol(256);
                 return Bytes{};
             });
         }},
    };
    return cases;
}

}  // namespace torvatest
