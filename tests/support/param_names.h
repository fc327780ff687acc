// Test names for table-driven GoogleTest cases, from each case's `label`.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace torvatest {

// The case's label with every character that GoogleTest does not allow in a
// test name replaced by '_'.
template <typename T>
std::string LabelOf(const ::testing::TestParamInfo<T>& info) {
    std::string name;
    for (const char* p = info.param.label; *p; ++p) name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
}

}  // namespace torvatest
