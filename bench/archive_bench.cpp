// Listing of ALD archives with the largest first table (t[0] = 255: 21760
// three-byte entries, for which the listing allocates 21759 records), as full
// as the table allows (t[0] and t[1] take two entries: 21758 members) and
// partly filled, so that the time per member can be
// compared. The counter "members" is the number of members listed.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "plugin/entry_points.h"
#include "tests/support/test_support.h"
#include "tests/writers/archive_writer.h"

namespace torvabench {
namespace {

constexpr uint32_t kLargestTableSectors = 255;
constexpr int kLargestMemberCount = 21758;

struct Archive {
    std::unique_ptr<torvatest::TempFile> file;
    torvatest::Bytes bytes;
};

Archive MakeArchive(int members) {
    std::vector<torvatest::AldMember> list(static_cast<size_t>(members));
    for (int i = 0; i < members; ++i) {
        list[i].name = "member" + std::to_string(i) + ".qnt";
        list[i].data = torvatest::Bytes(16 + i % 64, static_cast<unsigned char>(i));
        list[i].utcFileTime = 0x01D9000000000000ull + uint64_t(i) * 10000000ull;
    }
    torvatest::AldOptions options;
    options.tableSectors = kLargestTableSectors;
    options.endMarker = false;
    Archive archive;
    archive.bytes = torvatest::WriteAld(list, options);
    archive.file = std::make_unique<torvatest::TempFile>(archive.bytes, ".ald");
    return archive;
}

void ListAld(benchmark::State& state) {
    const int members = static_cast<int>(state.range(0));
    const Archive archive = MakeArchive(members);
    torvatest::OpenFile handle(archive.file->path());
    // The host supplies the head of an archive: here the whole first table.
    const uint32_t head = kLargestTableSectors * 256;
    torvatest::HostRecord record(archive.bytes, head, "archive.ald", handle.handle());
    for (auto _ : state) {
        HGLOBAL block = nullptr;
        int32_t count = 0;
        if (KRV_GetArchiveInfo(record.get(), &block, &count) != 0 || count != members) {
            state.SkipWithError("listing failed");
            break;
        }
        GlobalFree(block);
    }
    state.counters["members"] = members;
}

BENCHMARK(ListAld)
    ->Name("ald_listing")
    ->ArgName("members")
    ->Arg(2000)
    ->Arg(kLargestMemberCount)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace torvabench
