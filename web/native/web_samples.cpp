// Writes the larger files the browser viewer is tested and measured with,
// using the project's writers:
//
//   torva_web_samples OUTDIR
//
// OUTDIR/large.qnt     1024 x 768, 24-bit, photographic content
// OUTDIR/large16.pms   1024 x 768, 16-bit, encoded as a real encoder would
// OUTDIR/many.ald      200 small pictures of every kind under double-byte
//                      names ("gazou" (picture) and a number, code page 932)
#include <cstdio>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "bench/bench_pictures.h"
#include "tests/writers/archive_writer.h"
#include "tests/writers/pms_writer.h"
#include "tests/writers/qnt_writer.h"
#include "tests/writers/vsp_writer.h"

using torvatest::Bytes;

namespace {

Bytes PhotoQnt(uint32_t width, uint32_t height, uint64_t seed, bool alpha) {
    const torvabench::Scene scene = torvabench::MakeScene(torvabench::Content::Photo, width, height, seed);
    torvatest::QntPicture picture;
    picture.width = width;
    picture.height = height;
    for (size_t i = 0; i < scene.bgra.size(); i += 4) {
        picture.bgr.insert(picture.bgr.end(), scene.bgra.begin() + i, scene.bgra.begin() + i + 3);
        if (alpha) picture.alpha.push_back(scene.bgra[i + 3]);
    }
    return torvatest::WriteQnt(picture, torvatest::QntOptions());
}

Bytes Pms(uint32_t width, uint32_t height, int depth, bool alpha, uint64_t seed) {
    const torvatest::PmsPicture picture = torvatest::MakePmsPicture(width, height, depth, alpha, 2, seed);
    return torvatest::WritePms(picture, seed, nullptr, torvatest::PmsCodeMix::Greedy);
}

// One of five kinds in turn, so that the archive exercises every decoder.
torvatest::AldMember ManyMember(int index) {
    torvatest::AldMember member;
    const uint64_t seed = 1000 + index;
    const char* extension = ".qnt";
    switch (index % 5) {
    case 0: member.data = PhotoQnt(160, 120, seed, false); break;
    case 1: member.data = PhotoQnt(120, 120, seed, true); break;
    case 2: member.data = Pms(160, 120, 8, false, seed), extension = ".pms"; break;
    case 3: member.data = Pms(160, 120, 16, index % 2 != 0, seed), extension = ".pms"; break;
    default:
        member.data = torvatest::WriteVsp(torvatest::MakeVspPicture(160, 120, seed), seed);
        extension = ".vsp";
        break;
    }
    char number[8];
    std::snprintf(number, sizeof number, "%03d", index + 1);
    member.name = std::string("\x89\xE6\x91\x9C") + number + extension;  // gazou001.qnt
    member.utcFileTime = 133590276000000000ull + uint64_t(index) * 600000000ull;
    return member;
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool ok = !bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: torva_web_samples OUTDIR\n");
        return 2;
    }
    const std::string out = argv[1];
    mkdir(out.c_str(), 0777);
    std::vector<torvatest::AldMember> many;
    for (int i = 0; i < 200; ++i) many.push_back(ManyMember(i));
    torvatest::AldOptions options;
    options.tableSectors = 4;  // 200 three-byte entries and the end marker
    const bool ok = WriteFile(out + "/large.qnt", PhotoQnt(1024, 768, 7, false)) &&
                    WriteFile(out + "/large16.pms", Pms(1024, 768, 16, false, 7)) &&
                    WriteFile(out + "/many.ald", torvatest::WriteAld(many, options));
    if (!ok) {
        std::fprintf(stderr, "torva_web_samples: cannot write into %s\n", out.c_str());
        return 1;
    }
    return 0;
}
