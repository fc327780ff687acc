// Calls from several threads at once: archive listings and bitmaps of every
// kind, on different files, round after round. Each thread has its own file
// handles (calls that share a handle must not overlap), and every result must
// be byte for byte the one a single thread gets. Run under ThreadSanitizer by
// the native-tsan preset, which also checks the stand-in platform's own
// shared state (the block table, the code page, the allocation hook).
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/standin/standin_control.h"
#include "plugin/entry_points.h"
#include "tests/support/test_support.h"
#include "tests/writers/archive_writer.h"
#include "tests/writers/pms_writer.h"
#include "tests/writers/qnt_writer.h"
#include "tests/writers/vsp_writer.h"

namespace {

using torvatest::Bytes;
using torvatest::HostRecord;

constexpr int kThreads = 4;
constexpr int kRounds = 40;

enum class Call { Image, Archive };

struct Job {
    std::string label;
    Call call;
    Bytes file;
    std::string name;
    int32_t mode = 0;
};

// The whole answer of one call: result, count or size, the returned bytes.
struct Answer {
    int32_t result = -1;
    int64_t count = -1;
    Bytes bytes;
    bool operator==(const Answer& other) const {
        return result == other.result && count == other.count && bytes == other.bytes;
    }
};

Answer Perform(const Job& job, HANDLE handle) {
    Answer answer;
    HGLOBAL block = nullptr;
    if (job.call == Call::Image) {
        HostRecord record(job.file, job.name);
        uint32_t size = 0;
        answer.result = KRV_GetImage(record.get(), &block, &size, job.mode);
        answer.count = size;
        if (answer.result == 0) answer.bytes = torvatest::BlockBytes(block, size);
    } else {
        HostRecord record(job.file, 16, job.name, handle);
        int32_t count = 0;
        answer.result = KRV_GetArchiveInfo(record.get(), &block, &count);
        answer.count = count;
        if (answer.result == 0) answer.bytes = torvatest::BlockBytes(block, size_t(count) * sizeof(ArchiveEntry));
    }
    if (answer.result == 0 && GlobalFree(block) != nullptr) answer.result = -2;
    return answer;
}

std::vector<Job> Jobs() {
    std::vector<Job> jobs;
    auto image = [&](const char* label, Bytes file, const char* name, int32_t mode) {
        jobs.push_back(Job{label, Call::Image, std::move(file), name, mode});
    };
    torvatest::QntOptions qnt;
    image("qnt24", torvatest::WriteQnt(torvatest::RandomQntPicture(37, 29, false, 1), qnt), "a.qnt", 0);
    image("qnt32", torvatest::WriteQnt(torvatest::RandomQntPicture(30, 41, true, 2), qnt), "b.qnt", -1);
    image("pms8", torvatest::WritePms(torvatest::MakePmsPicture(45, 33, 8, false, 1, 3), 3), "c.pms", 0);
    const Bytes pms16 = torvatest::WritePms(torvatest::MakePmsPicture(33, 20, 16, true, 2, 4), 4);
    image("pms16 mode 0", pms16, "d.pms", 0);
    image("pms16 alpha", pms16, "d.pms", -1);
    image("pms16 no alpha", torvatest::WritePms(torvatest::MakePmsPicture(21, 19, 16, false, 1, 5), 5), "e.pms",
          -1);
    image("vsp", torvatest::WriteVsp(torvatest::MakeVspPicture(64, 48, 6), 6), "f.vsp", 0);
    image("not an image", Bytes(100, 0x11), "g.bin", 0);

    std::vector<torvatest::AldMember> members(4);
    for (size_t i = 0; i < members.size(); ++i) {
        members[i].name = "member" + std::to_string(i) + ".dat";
        members[i].data = Bytes(100 + 300 * i, static_cast<unsigned char>(i));
        members[i].utcFileTime = 0x01D0000000000000ull + i;
    }
    jobs.push_back(Job{"ald", Call::Archive, torvatest::WriteAld(members), "x.ald", 0});
    std::vector<torvatest::AlkMember> rows(5);
    for (size_t i = 0; i < rows.size(); ++i) rows[i].data = Bytes(10 + i, static_cast<unsigned char>(i));
    rows[2] = torvatest::AlkMember::Empty();
    jobs.push_back(Job{"alk", Call::Archive, torvatest::WriteAlk(rows), "y.alk", 0});
    return jobs;
}

TEST(ConcurrencyTest, ThreadsGetTheSingleThreadedAnswers) {
    const std::vector<Job> jobs = Jobs();
    std::vector<std::unique_ptr<torvatest::TempFile>> files;
    for (const Job& job : jobs) files.push_back(std::make_unique<torvatest::TempFile>(job.file, ".bin"));

    std::vector<Answer> expected;
    for (size_t j = 0; j < jobs.size(); ++j) {
        torvatest::OpenFile handle(files[j]->path());
        expected.push_back(Perform(jobs[j], handle.handle()));
        ASSERT_EQ(expected.back().result, 0) << jobs[j].label;
        ASSERT_FALSE(expected.back().bytes.empty()) << jobs[j].label;
    }
    const long blocksBefore = standin::LiveGlobalBlocks();

    // Each thread walks the jobs from its own starting point, so that at any
    // moment different threads decode different formats.
    std::vector<std::vector<std::string>> mismatches(kThreads);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::vector<std::unique_ptr<torvatest::OpenFile>> handles;
            for (const auto& file : files) handles.push_back(std::make_unique<torvatest::OpenFile>(file->path()));
            ready.fetch_add(1);
            while (ready.load() < kThreads) std::this_thread::yield();
            for (int round = 0; round < kRounds; ++round) {
                for (size_t i = 0; i < jobs.size(); ++i) {
                    const size_t j = (i + static_cast<size_t>(t) * 3 + static_cast<size_t>(round)) % jobs.size();
                    if (!(Perform(jobs[j], handles[j]->handle()) == expected[j])) {
                        mismatches[t].push_back(jobs[j].label + " in round " + std::to_string(round));
                    }
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();

    for (int t = 0; t < kThreads; ++t) {
        for (const std::string& m : mismatches[t]) ADD_FAILURE() << "thread " << t << ": " << m;
    }
    EXPECT_EQ(standin::LiveGlobalBlocks(), blocksBefore);
    EXPECT_EQ(standin::LockedGlobalBlocks(), 0);
}

}  // namespace
