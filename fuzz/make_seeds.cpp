// Writes the seed inputs of the fuzz targets from our own writers: every
// archive and image format, version and decoding path, in small files so that
// the fuzzers spend their time mutating rather than decoding.
//
//   make_seeds DIRECTORY     (writes DIRECTORY/<target>/seed-* for every target)
//
// Inputs are in the encoding of fuzz/fuzz_inputs.cpp: for the archive target
// an extension byte and a two-byte head length (0xFFFF: the whole file) before
// the file; for the image target an extension byte before the file. The
// per-codec targets take the bare picture file.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <zlib.h>

#include "tests/writers/archive_writer.h"
#include "tests/writers/deflate_writer.h"
#include "tests/writers/pms_writer.h"
#include "tests/writers/qnt_writer.h"
#include "tests/writers/vsp_writer.h"

namespace {

using torvatest::Bytes;

// Indices into the extension table of fuzz_inputs.cpp.
enum Extension : unsigned char { kAld = 0, kAlk = 1, kQnt = 2, kPms = 3, kVsp = 4, kAldUpper = 5, kBin = 7 };

constexpr unsigned kWholeFile = 0xFFFF;

size_t g_written = 0;
size_t g_bytes = 0;

void Write(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "make_seeds: cannot write %s\n", path.string().c_str());
        std::exit(1);
    }
    ++g_written;
    g_bytes += bytes.size();
}

void ArchiveSeed(const std::filesystem::path& dir, const std::string& name, Extension extension, unsigned head,
                 const Bytes& file) {
    Bytes input = {extension, static_cast<unsigned char>(head >> 8), static_cast<unsigned char>(head & 0xFF)};
    input.insert(input.end(), file.begin(), file.end());
    Write(dir / ("seed-" + name), input);
}

// The per-codec targets that take a picture seed, by the seed's name.
struct CodecSeedTarget {
    const char* namePrefix;
    const char* target;
};
constexpr CodecSeedTarget kCodecSeedTargets[] = {
    {"qnt-", "qnt24"}, {"qnt-", "qnt32"}, {"pms8-", "pms8"}, {"pms16-", "pms16"}, {"vsp-", "vsp"}};

void ImageSeed(const std::filesystem::path& dir, const std::string& name, Extension extension, const Bytes& file) {
    Bytes input = {extension};
    input.insert(input.end(), file.begin(), file.end());
    Write(dir / ("seed-" + name), input);
    for (const CodecSeedTarget& codec : kCodecSeedTargets) {
        if (name.rfind(codec.namePrefix, 0) != 0) continue;
        const std::filesystem::path codecDir = dir.parent_path() / codec.target;
        std::filesystem::create_directories(codecDir);
        Write(codecDir / ("seed-" + name), file);
    }
}

Bytes Filler(size_t size, unsigned char first) {
    Bytes data(size);
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<unsigned char>(first + i);
    return data;
}

void ArchiveSeeds(const std::filesystem::path& dir) {
    using torvatest::AldMember;
    using torvatest::AldOptions;
    using torvatest::AlkMember;

    // Several members, the end marker, a time stamp, and headers of 32, 48
    // and 96 bytes (the last with padding before its data).
    std::vector<AldMember> members(3);
    members[0].name = "a.txt";
    members[0].data = Filler(20, 1);
    members[0].utcFileTime = 0x01D0000000000000ull;
    members[1].name = "second_member_with_a_long_name.bin";
    members[1].data = Filler(300, 7);
    members[2].name = "pad.dat";
    members[2].data = Filler(5, 9);
    members[2].headerLength = 96;
    const Bytes ald = torvatest::WriteAld(members);
    ArchiveSeed(dir, "ald-three-members", kAld, kWholeFile, ald);
    // The host supplies only the head: the table must come through the handle.
    ArchiveSeed(dir, "ald-head-only", kAldUpper, 16, ald);

    // No end marker; a name of exactly 48 bytes (no terminator); a larger
    // first table with a gap before the first member.
    std::vector<AldMember> unterminated(2);
    unterminated[0].name = std::string(48, 'N');
    unterminated[0].data = Filler(8, 3);
    unterminated[1].name = "z";
    unterminated[1].data = {};
    unterminated[1].headerLength = 64;
    AldOptions noMarker;
    noMarker.tableSectors = 2;
    noMarker.beforeFirstSector = 5;
    noMarker.endMarker = false;
    ArchiveSeed(dir, "ald-no-marker", kAld, kWholeFile, torvatest::WriteAld(unterminated, noMarker));

    // Multibyte name bytes (lead byte followed by a backslash).
    std::vector<AldMember> multibyte(1);
    multibyte[0].name = "\x83\x5C\x83\x74\x83\x67.txt";
    multibyte[0].data = Filler(3, 0x40);
    ArchiveSeed(dir, "ald-multibyte-name", kAld, kWholeFile, torvatest::WriteAld(multibyte));

    // ALK: ordinary rows, empty rows between them, and a lone empty row.
    std::vector<AlkMember> rows(5);
    rows[0].data = Filler(10, 1);
    rows[1] = AlkMember::Empty();
    rows[2].data = Filler(7, 2);
    rows[3] = AlkMember::Empty();
    rows[4].data = Filler(40, 3);
    const Bytes alk = torvatest::WriteAlk(rows);
    ArchiveSeed(dir, "alk-empty-rows", kAlk, kWholeFile, alk);
    ArchiveSeed(dir, "alk-head-only", kAlk, 16, alk);
    ArchiveSeed(dir, "alk-under-ald-name", kAld, kWholeFile, alk);
    ArchiveSeed(dir, "alk-only-empty", kBin, kWholeFile, torvatest::WriteAlk({AlkMember::Empty()}));
}

void QntSeeds(const std::filesystem::path& dir) {
    struct Case {
        uint32_t version;
        uint32_t width, height;
        bool alpha;
        uint32_t headerSize;
    };
    const Case cases[] = {
        {0, 8, 8, false, 0},  {0, 5, 3, true, 0},    {1, 1, 1, false, 0},   {1, 7, 9, true, 0},
        {2, 16, 16, false, 0}, {2, 13, 11, true, 0}, {2, 3, 2, false, 64},  {2, 64, 64, false, 0},
        {1, 2, 33, true, 48},
    };
    uint64_t seed = 100;
    for (const Case& c : cases) {
        torvatest::QntOptions options;
        options.version = c.version;
        options.headerSize = c.headerSize;
        options.padding = static_cast<unsigned char>(seed);
        const Bytes file = torvatest::WriteQnt(torvatest::RandomQntPicture(c.width, c.height, c.alpha, seed++), options);
        if (file.empty()) {
            std::fprintf(stderr, "make_seeds: QNT writer refused a case\n");
            std::exit(1);
        }
        char name[64];
        std::snprintf(name, sizeof name, "qnt-v%u-%ux%u%s", c.version, c.width, c.height, c.alpha ? "-alpha" : "");
        ImageSeed(dir, name, kQnt, file);
    }
}

void PmsSeeds(const std::filesystem::path& dir) {
    struct Case {
        int depth;
        int version;
        uint32_t width, height;
        bool alpha;
    };
    const Case cases[] = {
        {8, 1, 8, 8, false},   {8, 2, 13, 7, false},  {8, 1, 1, 5, false},   {8, 2, 40, 33, false},
        {16, 1, 8, 8, false},  {16, 2, 9, 6, false},  {16, 1, 1, 4, false},  {16, 1, 12, 10, true},
        {16, 2, 7, 5, true},   {16, 2, 48, 40, true},
    };
    uint64_t seed = 200;
    for (const Case& c : cases) {
        const torvatest::PmsPicture picture =
            torvatest::MakePmsPicture(c.width, c.height, c.depth, c.alpha, c.version, seed);
        const Bytes file = torvatest::WritePms(picture, seed++);
        char name[64];
        std::snprintf(name, sizeof name, "pms%d-v%d-%ux%u%s", c.depth, c.version, c.width, c.height,
                      c.alpha ? "-alpha" : "");
        ImageSeed(dir, name, kPms, file);
    }
}

void VspSeeds(const std::filesystem::path& dir) {
    struct Case {
        int width, height;
    };
    const Case cases[] = {{8, 1}, {8, 4}, {16, 12}, {32, 30}, {64, 64}};
    uint64_t seed = 300;
    for (const Case& c : cases) {
        const Bytes file = torvatest::WriteVsp(torvatest::MakeVspPicture(c.width, c.height, seed), seed);
        ++seed;
        char name[64];
        std::snprintf(name, sizeof name, "vsp-%dx%d", c.width, c.height);
        ImageSeed(dir, name, kVsp, file);
    }
}

// Streams zlib writes, at several levels and strategies, over text, noise
// and runs; each once as it is and once with its checksum to be repaired,
// at capacities around, below and well above its output.
void InflateSeeds(const std::filesystem::path& dir) {
    Bytes text, noise, runs;
    for (int i = 0; i < 1500; ++i) {
        text.push_back(static_cast<unsigned char>("a stream of words, "[i % 19]));
        noise.push_back(static_cast<unsigned char>((i * 2654435761u) >> 24));
        runs.push_back(static_cast<unsigned char>(i / 97));
    }
    const struct {
        const char* name;
        const Bytes* data;
    } contents[] = {{"text", &text}, {"noise", &noise}, {"runs", &runs}};
    const struct {
        const char* name;
        int level, strategy;
    } modes[] = {{"stored", 0, Z_DEFAULT_STRATEGY}, {"fast", 1, Z_DEFAULT_STRATEGY}, {"default", 6, Z_DEFAULT_STRATEGY},
                 {"fixed", 9, Z_FIXED}, {"huffman", 6, Z_HUFFMAN_ONLY}, {"rle", 6, Z_RLE}};
    unsigned char options = 0;
    for (const auto& content : contents) {
        for (const auto& mode : modes) {
            z_stream z{};
            deflateInit2(&z, mode.level, Z_DEFLATED, 15, 8, mode.strategy);
            Bytes stream(deflateBound(&z, content.data->size()));
            z.next_in = const_cast<unsigned char*>(content.data->data());
            z.avail_in = static_cast<uInt>(content.data->size());
            z.next_out = stream.data();
            z.avail_out = static_cast<uInt>(stream.size());
            deflate(&z, Z_FINISH);
            stream.resize(z.total_out);
            deflateEnd(&z);
            Bytes input = {options, 0, 0};
            options = static_cast<unsigned char>((options + 3) & 7);
            input.insert(input.end(), stream.begin(), stream.end());
            Write(dir / (std::string("seed-") + content.name + "-" + mode.name), input);
        }
    }
    // The streams on which a lenient engine and zlib disagree, as they are
    // and with their checksums to be repaired after mutation.
    for (const torvatest::DeflateCase& c : torvatest::DeflateCases()) {
        const Bytes stream = c.stream();
        for (const unsigned char repair : {0, 1}) {
            Bytes input = {repair, 0, 0};
            input.insert(input.end(), stream.begin(), stream.end());
            Write(dir / (std::string("seed-") + c.label + (repair ? "-repaired" : "")), input);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds DIRECTORY\n");
        return 2;
    }
    const std::filesystem::path root(argv[1]);
    const std::filesystem::path archives = root / "archive";
    const std::filesystem::path images = root / "image";
    std::filesystem::create_directories(archives);
    std::filesystem::create_directories(images);
    std::filesystem::create_directories(root / "inflate");
    try {
        InflateSeeds(root / "inflate");
        ArchiveSeeds(archives);
        QntSeeds(images);
        PmsSeeds(images);
        VspSeeds(images);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_seeds: %s\n", error.what());
        return 1;
    }
    std::printf("%zu seeds, %zu bytes\n", g_written, g_bytes);
    return 0;
}
