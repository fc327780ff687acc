// A name too long for the plug-in's inline copy is copied to the heap; when
// the heap refuses, the name matches no extension instead of being searched
// unguarded.
#include <gtest/gtest.h>

#include "platform/standin/standin_control.h"
#include "plugin/entry_points.h"
#include "tests/support/lead_byte_name_cases.h"

namespace {

TEST(FileNameNativeTest, LongNameWithoutMemoryMatchesNoExtension) {
    torvatest::HostRecord record(torvatest::NameCaseBytes('v'), torvatest::kLongName);
    for (const long failAt : {1L, 0L}) {
        int32_t kind = -1;
        standin::FailAllocationAfter(failAt);
        EXPECT_EQ(KRV_IsSupported(record.get(), ServiceImage, &kind), 0);
        standin::FailAllocationAfter(0);
        EXPECT_EQ(kind, failAt == 0 ? ImageVsp : ImageNone) << "allocation failing: " << failAt;
    }
}

}  // namespace
