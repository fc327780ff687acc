// Zlib streams written bit by bit, among them the corner cases where a
// lenient inflate engine and zlib judge a stream differently: declared code
// counts zlib refuses, repeats past the declared lengths, incomplete and
// empty codes, the fixed code's unused symbols, and the header's check bits,
// window size and preset-dictionary flag.
#pragma once

#include <functional>
#include <vector>

#include "tests/support/test_support.h"

namespace torvatest {

struct DeflateCase {
    const char* label;
    int zlibResult;  // what zlib's uncompress answers with ample room
    std::function<Bytes()> stream;
};

// Every case, valid streams among them (Z_OK).
const std::vector<DeflateCase>& DeflateCases();

}  // namespace torvatest
