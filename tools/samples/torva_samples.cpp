// Writes the sample files that torva shows off, with the project's own
// writers: small pictures one can recognise at a glance, one for each format
// and path of the plug-in, loose and packed into an ALD and an ALK archive.
//
//   torva_samples OUTDIR
//
// OUTDIR/pictures/   the pictures as separate files
// OUTDIR/samples.ald all of them, plus one under a double-byte name
// OUTDIR/samples.alk the QNT and PMS pictures (ALK names its members itself)
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "tests/support/test_support.h"
#include "tests/writers/archive_writer.h"
#include "tests/writers/pms_writer.h"
#include "tests/writers/qnt_writer.h"
#include "tests/writers/vsp_writer.h"

using torvatest::Bytes;

namespace {

struct Sample {
    std::string name;
    Bytes bytes;
};

const double kPi = 3.14159265358979323846;

unsigned char Clamp(double v) { return static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : std::lround(v)); }

// QNT, 24-bit: an evening sky over dark hills with the sun going down.
Bytes SunsetQnt() {
    torvatest::QntPicture p;
    p.width = 128;
    p.height = 96;
    for (uint32_t y = 0; y < p.height; ++y) {
        for (uint32_t x = 0; x < p.width; ++x) {
            const double t = double(y) / p.height;
            double r = 30 + 225 * t, g = 40 + 120 * t, b = 120 - 80 * t;
            const double dx = x - 64.0, dy = y - 58.0;
            if (dx * dx + dy * dy < 20.0 * 20.0) r = 255, g = 230, b = 60;  // the sun
            const double hill = 74 + 8 * std::sin(x / 12.0);
            if (y > hill) r = 30, g = 60 + (y - hill), b = 25;  // the hills
            p.bgr.push_back(Clamp(b));
            p.bgr.push_back(Clamp(g));
            p.bgr.push_back(Clamp(r));
        }
    }
    return torvatest::WriteQnt(p, torvatest::QntOptions());
}

// QNT with alpha: a colour wheel ring, transparent outside and in the hole.
Bytes RingQnt() {
    torvatest::QntPicture p;
    p.width = 96;
    p.height = 96;
    for (uint32_t y = 0; y < p.height; ++y) {
        for (uint32_t x = 0; x < p.width; ++x) {
            const double dx = x - 47.5, dy = y - 47.5;
            const double radius = std::sqrt(dx * dx + dy * dy);
            const double hue = (std::atan2(dy, dx) + kPi) / (2 * kPi) * 6;
            const double f = hue - std::floor(hue);
            double r = 0, g = 0, b = 0;
            switch (static_cast<int>(hue) % 6) {
            case 0: r = 1, g = f; break;
            case 1: r = 1 - f, g = 1; break;
            case 2: g = 1, b = f; break;
            case 3: g = 1 - f, b = 1; break;
            case 4: r = f, b = 1; break;
            default: r = 1, b = 1 - f; break;
            }
            p.bgr.push_back(Clamp(255 * b));
            p.bgr.push_back(Clamp(255 * g));
            p.bgr.push_back(Clamp(255 * r));
            // Opaque between radii 24 and 44, with soft edges.
            const double edge = std::fmin(radius - 24, 44 - radius);
            p.alpha.push_back(Clamp(edge >= 2 ? 255 : edge <= 0 ? 0 : 127.5 * edge));
        }
    }
    return torvatest::WriteQnt(p, torvatest::QntOptions());
}

// PMS, 8-bit: a checkerboard of a blue ramp and a red-yellow ramp, with a
// white cross through it.
Bytes CheckerPms() {
    torvatest::PmsPicture p;
    p.width = 128;
    p.height = 96;
    p.depth = 8;
    p.version = 1;
    for (int i = 0; i < 256; ++i) {
        if (i < 128) {
            p.palette.insert(p.palette.end(), {Clamp(i * 2), Clamp(i * 2), 255});
        } else {
            p.palette.insert(p.palette.end(), {255, Clamp((i - 128) * 2), 0});
        }
    }
    p.palette[255 * 3 + 1] = 255;
    p.palette[255 * 3 + 2] = 255;  // entry 255 is white
    for (uint32_t y = 0; y < p.height; ++y) {
        for (uint32_t x = 0; x < p.width; ++x) {
            const bool dark = ((x / 16) + (y / 16)) % 2 == 0;
            unsigned char index = dark ? Clamp(x * 127.0 / p.width) : Clamp(128 + y * 126.0 / p.height);
            if ((x >= 60 && x < 68) || (y >= 44 && y < 52)) index = 255;
            p.indices.push_back(index);
        }
    }
    return torvatest::WritePms(p, 1);
}

uint16_t Rgb565(double r, double g, double b) {
    return static_cast<uint16_t>((Clamp(r) >> 3) << 11 | (Clamp(g) >> 2) << 5 | (Clamp(b) >> 3));
}

// PMS, 16-bit: a red-green gradient with a white diamond; with `alpha`, a
// soft-edged disc instead, fading out from its middle.
Bytes GradientPms(bool alpha) {
    torvatest::PmsPicture p;
    p.width = 128;
    p.height = 96;
    p.depth = 16;
    p.version = 2;
    for (uint32_t y = 0; y < p.height; ++y) {
        for (uint32_t x = 0; x < p.width; ++x) {
            const double dx = x - 63.5, dy = y - 47.5;
            if (!alpha) {
                const bool diamond = std::fabs(dx) + std::fabs(dy) < 30;
                p.pixels.push_back(diamond ? Rgb565(255, 255, 255)
                                           : Rgb565(255.0 * x / p.width, 255.0 * y / p.height, 96));
            } else {
                p.pixels.push_back(Rgb565(40, 160 + 95.0 * y / p.height, 255.0 * x / p.width));
                const double radius = std::sqrt(dx * dx + dy * dy);
                p.alpha.push_back(Clamp(radius >= 44 ? 0 : 255 * (1 - radius / 44) * 1.6));
            }
        }
    }
    return torvatest::WritePms(p, 2);
}

// VSP: eight colour bars, bright above and dark below, with a black box
// framed in white in the middle.
Bytes BarsVsp() {
    torvatest::VspPicture p;
    p.width = 128;
    p.height = 80;
    for (int i = 0; i < 16; ++i) {
        const unsigned char level = i < 8 ? 15 : 7;
        p.palette[i] = torvatest::VspLevels{static_cast<unsigned char>(i & 1 ? level : 0),
                                            static_cast<unsigned char>(i & 4 ? level : 0),
                                            static_cast<unsigned char>(i & 2 ? level : 0)};
    }
    p.palette[0] = torvatest::VspLevels{0, 0, 0};
    p.palette[8] = torvatest::VspLevels{3, 3, 3};
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            int index = (x / 16) + (y >= 40 ? 8 : 0);
            const bool inBox = x >= 40 && x < 88 && y >= 24 && y < 56;
            const bool inFrame = x >= 36 && x < 92 && y >= 20 && y < 60;
            if (inBox) {
                index = 0;
            } else if (inFrame) {
                index = 7;
            }
            p.indices.push_back(static_cast<unsigned char>(index));
        }
    }
    return torvatest::WriteVsp(p, 3);
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace

const char kUsage[] =
    "Usage: torva_samples OUTDIR\n"
    "\n"
    "Writes sample pictures and archives made by the project's own writers:\n"
    "OUTDIR/pictures/ (one picture of each format and depth), OUTDIR/samples.ald\n"
    "(all of them, one under a Japanese name, and a text file) and\n"
    "OUTDIR/samples.alk.\n";

int main(int argc, char** argv) {
    const std::string out = argc == 2 ? argv[1] : "";
    if (out == "-h" || out == "--help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc != 2 || out.empty() || out[0] == '-') {
        std::fputs(kUsage, stderr);
        return 2;
    }
    mkdir(out.c_str(), 0777);
    mkdir((out + "/pictures").c_str(), 0777);

    const std::vector<Sample> samples = {
        {"sunset.qnt", SunsetQnt()},         {"ring_alpha.qnt", RingQnt()},
        {"checker.pms", CheckerPms()},       {"gradient16.pms", GradientPms(false)},
        {"disc16_alpha.pms", GradientPms(true)}, {"bars.vsp", BarsVsp()},
    };
    for (const Sample& s : samples) {
        if (s.bytes.empty() || !WriteFile(out + "/pictures/" + s.name, s.bytes)) {
            std::fprintf(stderr, "torva_samples: cannot make %s\n", s.name.c_str());
            return 1;
        }
    }

    // 2024-05-01 09:00:00 UTC, one minute apart.
    const uint64_t kFirstStamp = 133590276000000000ull;
    std::vector<torvatest::AldMember> aldMembers;
    for (size_t i = 0; i < samples.size(); ++i) {
        torvatest::AldMember member;
        member.name = samples[i].name;
        member.data = samples[i].bytes;
        member.utcFileTime = kFirstStamp + i * 600000000ull;
        aldMembers.push_back(member);
    }
    // The sunset again under a Shift-JIS name, "hyoushi" (cover): its first
    // character's trail byte is 0x5C, a backslash when read byte by byte.
    torvatest::AldMember cover;
    cover.name = "\x95\x5C\x8E\x86.qnt";
    cover.data = samples[0].bytes;
    cover.utcFileTime = kFirstStamp + samples.size() * 600000000ull;
    aldMembers.push_back(cover);
    // Something that is no picture: the archive may hold other data too.
    torvatest::AldMember notes;
    notes.name = "readme.txt";
    const std::string text = "Sample pictures for torva.\n";
    notes.data.assign(text.begin(), text.end());
    notes.utcFileTime = cover.utcFileTime + 600000000ull;
    aldMembers.push_back(notes);

    std::vector<torvatest::AlkMember> alkRows;
    for (size_t i = 0; i < 5; ++i) {
        torvatest::AlkMember row;
        row.data = samples[i].bytes;
        alkRows.push_back(row);
        if (i == 1) alkRows.push_back(torvatest::AlkMember::Empty());
    }

    if (!WriteFile(out + "/samples.ald", torvatest::WriteAld(aldMembers)) ||
        !WriteFile(out + "/samples.alk", torvatest::WriteAlk(alkRows))) {
        std::fprintf(stderr, "torva_samples: cannot write the archives\n");
        return 1;
    }
    std::printf("%s/samples.ald, %s/samples.alk and %s/pictures/\n", out.c_str(), out.c_str(), out.c_str());
    return 0;
}
