#include "fuzz/capi_input.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "torvasoft/torvasoft.h"

namespace torvafuzz {
namespace {

const char* const kExtensions[] = {".ald", ".alk", ".qnt", ".pms", ".vsp", ".ALD", ".Vsp", ".bin", ""};
constexpr size_t kExtensionCount = sizeof kExtensions / sizeof kExtensions[0];

void Require(bool condition) {
    if (!condition) std::abort();
}

// Larger pictures are not decoded: a few header bytes may declare the
// library's full cap, and filling that under the sanitizers costs the fuzzer
// its time. (The limits are not lowered instead: they are process-wide, and
// the corpus replays among other tests.)
constexpr size_t kLargestDecode = size_t{8} << 20;

bool Decodable(torvasoft_status status) {
    return status == TORVASOFT_COMPLETE || status == TORVASOFT_TRUNCATED || status == TORVASOFT_OUTSIDE_FILE;
}

// A heap block of exactly `bytes`, so that a write one past it meets the
// sanitizer's guard; null for 0 bytes.
std::unique_ptr<uint8_t[]> ExactBlock(size_t bytes) {
    return std::unique_ptr<uint8_t[]>(bytes == 0 ? nullptr : new (std::nothrow) uint8_t[bytes]);
}

// The count and status promises of a decode of `layout`.
void CheckDecode(torvasoft_status status, const torvasoft_layout& layout, uint64_t produced) {
    const uint64_t pixels = uint64_t{layout.width} * layout.height;
    Require(status != TORVASOFT_BUFFER_TOO_SMALL && status != TORVASOFT_INVALID_ARGUMENT);
    Require(produced <= pixels);
    if (status == TORVASOFT_COMPLETE) Require(produced == pixels);
}

void DecodeAs(const uint8_t* file, size_t size, const char* name, int request) {
    torvasoft_layout layout{};
    const torvasoft_status header = torvasoft_decoded_layout(file, size, name, request, &layout);
    if (!Decodable(header)) return;
    Require(layout.size == layout.stride * layout.height);
    if (layout.size > kLargestDecode / 4) return;
    std::unique_ptr<uint8_t[]> pixels = ExactBlock(layout.size);
    if (layout.size != 0 && pixels == nullptr) return;
    std::unique_ptr<torvasoft_colour[]> palette(
        layout.palette_entries == 0 ? nullptr : new (std::nothrow) torvasoft_colour[layout.palette_entries]);
    if (layout.palette_entries != 0 && palette == nullptr) return;
    uint64_t produced = 0;
    const torvasoft_status status =
        torvasoft_decode(file, size, name, request, pixels.get(), layout.size, palette.get(), &produced);
    CheckDecode(status, layout, produced);

    torvasoft_layout rgba{};
    if (!Decodable(torvasoft_decoded_layout(file, size, name, TORVASOFT_AS_RGBA8, &rgba))) return;
    Require(rgba.format == TORVASOFT_RGBA8 && rgba.size == size_t{4} * rgba.width * rgba.height);
    std::unique_ptr<uint8_t[]> colour = ExactBlock(rgba.size);
    if (rgba.size != 0 && colour == nullptr) return;
    uint64_t rgbaProduced = 0;
    const torvasoft_status rgbaStatus = torvasoft_decode_rgba(file, size, name, colour.get(), rgba.size, &rgbaProduced);
    CheckDecode(rgbaStatus, rgba, rgbaProduced);
}

struct MemoryFile {
    const uint8_t* bytes;
    size_t size;
};

size_t ReadMemory(void* context, uint64_t offset, void* buffer, size_t count) {
    const auto* file = static_cast<const MemoryFile*>(context);
    if (offset >= file->size) return 0;
    const size_t delivered = static_cast<size_t>(std::min<uint64_t>(count, file->size - offset));
    std::memcpy(buffer, file->bytes + offset, delivered);
    return delivered;
}

void CheckMembers(const torvasoft_member* members, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        Require(members[i].raw_name_size < TORVASOFT_NAME_BYTES);
        Require(std::strlen(members[i].raw_name) == members[i].raw_name_size);
    }
}

void List(const uint8_t* file, size_t size, const char* name) {
    int kind = -1;
    size_t count = 0;
    const torvasoft_status counted = torvasoft_list_memory(file, size, name, &kind, nullptr, 0, &count);
    if (counted == TORVASOFT_NOT_RECOGNISED) {
        Require(kind == TORVASOFT_KIND_NONE && count == 0);
        return;
    }
    Require(kind == TORVASOFT_KIND_ALD || kind == TORVASOFT_KIND_ALK);
    if (count > 0) Require(counted != TORVASOFT_COMPLETE);
    std::unique_ptr<torvasoft_member[]> members(count == 0 ? nullptr : new (std::nothrow) torvasoft_member[count]);
    if (count != 0 && members == nullptr) return;
    size_t again = 0;
    const torvasoft_status listed = torvasoft_list_memory(file, size, name, &kind, members.get(), count, &again);
    Require(again == count && listed != TORVASOFT_BUFFER_TOO_SMALL);
    CheckMembers(members.get(), count);

    // The same through a read function, into an array of the same size.
    MemoryFile memory{file, size};
    std::unique_ptr<torvasoft_member[]> read(count == 0 ? nullptr : new (std::nothrow) torvasoft_member[count]);
    if (count != 0 && read == nullptr) return;
    size_t readCount = 0;
    const torvasoft_status through =
        torvasoft_list(name, ReadMemory, &memory, &kind, read.get(), count, &readCount);
    Require(through == listed && readCount == count);
    for (size_t i = 0; i < count; ++i) Require(std::memcmp(&read[i], &members[i], sizeof read[i]) == 0);
}

}  // namespace

void RunCapiInput(const uint8_t* data, size_t size) {
    if (size < 1) return;
    const std::string name = std::string("dir/file") + kExtensions[data[0] % kExtensionCount];
    const int request = (data[0] / kExtensionCount) % 4;
    ++data;
    --size;
    const uint8_t* file = size == 0 ? nullptr : data;

    const int kind = torvasoft_detect(file, size, name.c_str());
    torvasoft_info info{};
    const torvasoft_status inspected = torvasoft_inspect(file, size, name.c_str(), &info);
    // Detection tries archives first; a picture it reports is the one inspection finds.
    if (kind == TORVASOFT_KIND_QNT || kind == TORVASOFT_KIND_PMS || kind == TORVASOFT_KIND_VSP) {
        Require(inspected != TORVASOFT_NOT_RECOGNISED && info.kind == kind);
    }
    if (inspected != TORVASOFT_NOT_RECOGNISED) DecodeAs(file, size, name.c_str(), request);
    List(file, size, name.c_str());
}

}  // namespace torvafuzz
