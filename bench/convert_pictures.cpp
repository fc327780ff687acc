// Writes the pictures of the conversion benchmark (scripts/bench-convert.sh)
// with the project's own writers, greedily coded as a real encoder would:
//
//   torva_convert_pictures OUTDIR
//
// OUTDIR/single/KIND-CONTENT.EXT  one picture of each kind and content, 1024 x
//                                 768 (VSP: 640 x 400, its largest)
// OUTDIR/batch/NN-KIND-CONTENT.EXT 64 pictures, the kinds and contents in turn,
//                                 each from its own seed
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "bench/bench_pictures.h"
#include "tests/writers/pms_writer.h"
#include "tests/writers/qnt_writer.h"
#include "tests/writers/vsp_writer.h"

namespace {

using torvabench::Bytes;
using torvabench::Content;
using torvabench::Scene;

enum class Kind { Qnt, QntAlpha, Pms8, Pms16, Pms16Alpha, Vsp, Count };
const char* const kKindNames[] = {"qnt", "qnt_alpha", "pms8", "pms16", "pms16_alpha", "vsp"};
const char* const kExtensions[] = {".qnt", ".qnt", ".pms", ".pms", ".pms", ".vsp"};

Bytes Picture(Kind kind, Content content, uint64_t seed) {
    const bool vsp = kind == Kind::Vsp;
    const uint32_t w = vsp ? 640 : 1024, h = vsp ? 400 : 768;
    const Scene s = torvabench::MakeScene(content, w, h, seed);
    const size_t n = size_t{w} * h;
    switch (kind) {
    case Kind::Qnt:
    case Kind::QntAlpha: {
        torvatest::QntPicture p;
        p.width = w;
        p.height = h;
        for (size_t i = 0; i < n; ++i) {
            p.bgr.insert(p.bgr.end(), &s.bgra[4 * i], &s.bgra[4 * i + 3]);
            if (kind == Kind::QntAlpha) p.alpha.push_back(s.bgra[4 * i + 3]);
        }
        return torvatest::WriteQnt(p, torvatest::QntOptions{});
    }
    case Kind::Pms8: {
        torvatest::PmsPicture p;
        p.width = w;
        p.height = h;
        p.depth = 8;
        for (unsigned i = 0; i < 256; ++i) {  // 3-3-2 levels
            p.palette.insert(p.palette.end(), {uint8_t((i >> 5) * 255 / 7), uint8_t(((i >> 2) & 7) * 255 / 7),
                                               uint8_t((i & 3) * 255 / 3)});
        }
        for (size_t i = 0; i < n; ++i) {
            const uint8_t* q = &s.bgra[4 * i];
            p.indices.push_back(uint8_t((q[2] >> 5) << 5 | (q[1] >> 5) << 2 | (q[0] >> 6)));
        }
        return torvatest::WritePms(p, seed, nullptr, torvatest::PmsCodeMix::Greedy);
    }
    case Kind::Pms16:
    case Kind::Pms16Alpha: {
        torvatest::PmsPicture p;
        p.width = w;
        p.height = h;
        p.depth = 16;
        for (size_t i = 0; i < n; ++i) {
            const uint8_t* q = &s.bgra[4 * i];
            p.pixels.push_back(uint16_t((q[2] >> 3) << 11 | (q[1] >> 2) << 5 | (q[0] >> 3)));
            if (kind == Kind::Pms16Alpha) p.alpha.push_back(q[3]);
        }
        return torvatest::WritePms(p, seed, nullptr, torvatest::PmsCodeMix::Greedy);
    }
    default: {
        torvatest::VspPicture p;
        p.width = int(w);
        p.height = int(h);
        for (unsigned i = 0; i < 16; ++i) {
            p.palette[i] = {uint8_t(i), uint8_t((i * 7) & 15), uint8_t(15 - i)};
        }
        p.indices = s.region;
        return torvatest::WriteVsp(p, seed, nullptr, torvatest::VspCodeMix::Greedy);
    }
    }
}

bool Save(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = !bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: torva_convert_pictures OUTDIR\n");
        return 2;
    }
    const std::string out = argv[1];
    for (const std::string dir : {out, out + "/single", out + "/batch"}) mkdir(dir.c_str(), 0755);
    const Content contents[] = {Content::Photo, Content::Flat};
    const int kinds = int(Kind::Count);
    for (int k = 0; k < kinds; ++k) {
        for (const Content c : contents) {
            const std::string name = std::string(kKindNames[k]) + "-" + torvabench::ContentName(c) + kExtensions[k];
            if (!Save(out + "/single/" + name, Picture(Kind(k), c, 1000 + k))) {
                std::fprintf(stderr, "torva_convert_pictures: cannot write %s\n", name.c_str());
                return 1;
            }
        }
    }
    for (int i = 0; i < 64; ++i) {
        const int k = i % kinds;
        const Content c = contents[(i / kinds) % 2];
        char name[64];
        std::snprintf(name, sizeof name, "%02d-%s-%s%s", i, kKindNames[k], torvabench::ContentName(c), kExtensions[k]);
        if (!Save(out + "/batch/" + name, Picture(Kind(k), c, 2000 + i))) {
            std::fprintf(stderr, "torva_convert_pictures: cannot write %s\n", name);
            return 1;
        }
    }
    return 0;
}
