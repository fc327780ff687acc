// Pictures that drop back in, end to end: `convert` then `encode --like`
// keeps every header byte of the original but those the new pixel streams
// decide, positions travel through the PNG's oFFs chunk, and `--at` is
// checked against each format's screen.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/writers/pms_writer.h"
#include "tests/writers/qnt_writer.h"
#include "tests/writers/vsp_writer.h"
#include "tools/tests/e2e_files.h"

namespace {

using torvae2e::Quote;
using torvae2e::ReadFile;
using torvae2e::WriteFile;
using torvae2e::Exists;
using torvae2e::Outcome;
using torvae2e::RunTool;
using torvatest::Bytes;

void PutLe32(Bytes& file, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

uint32_t Le32(const std::string& file, size_t at) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= uint32_t(static_cast<unsigned char>(file[at + i])) << (8 * i);
    return value;
}

// Header bytes a re-encoding may change: the stream sizes (QNT) and
// offsets (PMS), which follow from the new streams.
struct Original {
    const char* name;
    Bytes file;
    size_t headerBytes;             // bytes compared: the header (the palette is the picture's)
    std::vector<size_t> streamFields;  // 32-bit fields left out of the comparison
    const char* info;               // part of `torva info`'s line
};

Bytes Qnt(uint32_t version, uint32_t headerSize, bool alpha) {
    torvatest::QntOptions options;
    options.version = version;
    options.headerSize = headerSize;
    return torvatest::WriteQnt(torvatest::RandomQntPicture(19, 13, alpha, 7 + version), options);
}

// A QNT file whose unread header fields all hold something.
Bytes MarkedQnt(uint32_t version, uint32_t headerSize, int32_t x, int32_t y) {
    Bytes file = Qnt(version, headerSize, version == 1);
    const size_t body = version == 0 ? 8 : 12;
    PutLe32(file, body, uint32_t(x));
    PutLe32(file, body + 4, uint32_t(y));
    PutLe32(file, body + 20, 0xA5A5A5A5u);
    for (size_t i = body + 32; i < (version == 0 ? 48 : headerSize); ++i) file[i] = static_cast<unsigned char>(i);
    return file;
}

// A PMS file with its unread bytes set and, when asked, a comment after the
// streams.
Bytes MarkedPms(int depth, int version, bool alpha, int32_t x, int32_t y, const std::string& comment) {
    Bytes file = torvatest::WritePms(torvatest::MakePmsPicture(24, 10, depth, alpha, version, 3), 5);
    const size_t headerSize = version == 1 ? 48 : 64;
    file[7] = 0x11;
    for (size_t i = 8; i < 16; ++i) file[i] = static_cast<unsigned char>(0xC0 + i);
    PutLe32(file, 16, uint32_t(x));
    PutLe32(file, 20, uint32_t(y));
    for (size_t i = 44; i < headerSize; ++i) file[i] = static_cast<unsigned char>(i * 3);
    if (!comment.empty()) {
        PutLe32(file, 40, uint32_t(file.size()));
        file.insert(file.end(), comment.begin(), comment.end());
        file.push_back(0);
    }
    return file;
}

Bytes MarkedVsp(int left, int top, unsigned char b8, unsigned char b9) {
    torvatest::VspPicture picture = torvatest::MakeVspPicture(32, 12, 9);
    picture.left = left;
    picture.top = top;
    Bytes file = torvatest::WriteVsp(picture, 4);
    file[8] = b8;
    file[9] = b9;
    return file;
}

class Header : public testing::Test {
protected:
    void SetUp() override {
        work_ = testing::TempDir() + "torva_header_" + std::to_string(getpid());
        std::system(("rm -rf " + Quote(work_) + " && mkdir -p " + Quote(work_)).c_str());
    }
    void TearDown() override {
        if (!HasFailure()) std::system(("rm -rf " + Quote(work_)).c_str());
    }
    Outcome torva(const std::vector<std::string>& arguments) { return RunTool(Quote(TORVA_NATIVE_TOOL), work_, arguments); }
    std::string work_;
};

TEST_F(Header, ConvertThenEncodeLikeKeepsEveryHeaderField) {
    const std::string comment = "a comment kept";
    std::vector<Original> originals = {
        {"v0.qnt", MarkedQnt(0, 0, 16, 24), 48, {32, 36}, "version 0, header 48 bytes, reserved 2779096485"},
        {"v1.qnt", MarkedQnt(1, 60, -8, 3), 60, {36, 40}, "at -8,3, version 1, header 60 bytes"},
        {"v2.qnt", MarkedQnt(2, 52, 0, 0), 52, {36, 40}, "no alpha, at 0,0, version 2"},
        {"v2_alpha.qnt", Qnt(2, 52, true), 52, {36, 40}, "; alpha, at 0,0"},
        {"p8v1.pms", MarkedPms(8, 1, false, 100, 200, ""), 48 + 768, {32, 36, 40},
         "at 100,200, version 1, header 48 bytes, shadow depth 17, flags c8c9cacbcccdcecf, comment at 0"},
        {"p8v2.pms", MarkedPms(8, 2, false, 0, 0, comment), 64 + 768, {32, 36, 40}, "version 2, header 64 bytes"},
        {"p16v1.pms", MarkedPms(16, 1, false, 7, 9, comment), 48, {32, 36, 40}, "no alpha, at 7,9"},
        {"p16v2_alpha.pms", MarkedPms(16, 2, true, 0, 5, ""), 64, {32, 36, 40}, "; alpha, at 0,5, version 2"},
        {"at.vsp", MarkedVsp(8, 40, 0x12, 0x34), 10, {}, "at 64,40, header 58 bytes, reserved 13330"},
        {"origin.vsp", MarkedVsp(0, 0, 0, 0), 10, {}, "no alpha, at 0,0"},
    };
    // The sample pictures, and pictures torva encode placed, as originals too.
    ASSERT_EQ(std::system((Quote(TORVA_SAMPLES_TOOL) + " " + Quote(work_ + "/samples") + " >/dev/null").c_str()), 0);
    ASSERT_EQ(torva({"convert", "samples/pictures/bars.vsp", "-o", "made"}).status, 0);
    const std::vector<std::string> made[] = {
        {"made/bars.png", "-f", "qnt", "--at", "-16,24", "-o", "made/placed.qnt"},
        {"made/bars.png", "-f", "pms8", "--at", "3,5", "-o", "made/placed8.pms"},
        {"made/bars.png", "-f", "pms16", "--at", "640,0", "-o", "made/placed16.pms"},
        {"made/bars.png", "-f", "vsp", "--at", "512,320", "-o", "made/placedv.vsp"},
    };
    for (const std::vector<std::string>& arguments : made) {
        std::vector<std::string> encode = {"encode"};
        encode.insert(encode.end(), arguments.begin(), arguments.end());
        ASSERT_EQ(torva(encode).status, 0) << arguments.back();
    }
    const struct {
        const char* path;
        size_t headerBytes;
        std::vector<size_t> streamFields;
    } found[] = {
        {"samples/pictures/sunset.qnt", 52, {36, 40}},
        {"samples/pictures/ring_alpha.qnt", 52, {36, 40}},
        {"samples/pictures/checker.pms", 48 + 768, {32, 36, 40}},
        {"samples/pictures/gradient16.pms", 64, {32, 36, 40}},
        {"samples/pictures/disc16_alpha.pms", 64, {32, 36, 40}},
        {"samples/pictures/bars.vsp", 10, {}},
        {"made/placed.qnt", 52, {36, 40}},
        {"made/placed8.pms", 48 + 768, {32, 36, 40}},
        {"made/placed16.pms", 48, {32, 36, 40}},
        {"made/placedv.vsp", 10, {}},
    };
    for (const auto& file : found) {
        const std::string bytes = ReadFile(work_ + "/" + file.path);
        ASSERT_FALSE(bytes.empty()) << file.path;
        const std::string path = file.path;
        originals.push_back({nullptr, Bytes(bytes.begin(), bytes.end()), file.headerBytes, file.streamFields, ""});
        originals.back().name = file.path + path.rfind('/') + 1;
    }
    for (const Original& original : originals) {
        SCOPED_TRACE(original.name);
        const std::string name = original.name, stem = name.substr(0, name.rfind('.'));
        WriteFile(work_ + "/" + name, std::string(original.file.begin(), original.file.end()));
        const Outcome info = torva({"info", name});
        EXPECT_EQ(info.status, 0) << info.err;
        EXPECT_NE(info.out.find(original.info), std::string::npos) << info.out;

        ASSERT_EQ(torva({"convert", name, "-o", "png"}).status, 0);
        const Outcome encode = torva({"encode", "png/" + stem + ".png", "--like", name, "-o", "back/"});
        ASSERT_EQ(encode.status, 0) << encode.err;
        const std::string before(original.file.begin(), original.file.end());
        const std::string after = ReadFile(work_ + "/back/" + name);
        ASSERT_GE(after.size(), original.headerBytes);
        for (size_t i = 0; i < original.headerBytes; ++i) {
            bool stream = false;
            for (size_t field : original.streamFields) stream = stream || (i >= field && i < field + 4);
            if (!stream) EXPECT_EQ(int(static_cast<unsigned char>(after[i])), int(static_cast<unsigned char>(before[i])))
                << "header byte " << i;
        }
        // A comment travels with the header, wherever the new file puts it.
        if (name.find(".pms") != std::string::npos && Le32(before, 40) != 0) {
            EXPECT_EQ(after.substr(Le32(after, 40), comment.size() + 1), comment + std::string(1, '\0'));
        }
        // The same pixels and position: the two convert to the same PNG.
        ASSERT_EQ(torva({"convert", "back/" + name, "-o", "again"}).status, 0);
        EXPECT_EQ(ReadFile(work_ + "/again/" + stem + ".png"), ReadFile(work_ + "/png/" + stem + ".png"));
    }
}

// Where a PNG's oFFs chunk begins, or npos.
size_t OffsChunk(const std::string& png) { return png.find("oFFs"); }

TEST_F(Header, PositionsSurvivePngRoundTripsAndAtIsChecked) {
    WriteFile(work_ + "/v.vsp", [] {
        const Bytes vsp = MarkedVsp(0, 0, 0, 0);
        return std::string(vsp.begin(), vsp.end());
    }());
    ASSERT_EQ(torva({"convert", "v.vsp", "-o", "plain"}).status, 0);
    // At 0,0 a PNG has no oFFs chunk.
    EXPECT_EQ(OffsChunk(ReadFile(work_ + "/plain/v.png")), std::string::npos);

    struct Case {
        const char* format;
        const char* at;
        int status;
        const char* shown;  // the position info shows, or the refusal
    };
    const Case cases[] = {
        {"qnt", "-16,24", 0, "at -16,24"},
        {"qnt", "2147483640,0", 1, "reaches past 2147483647"},
        {"pms8", "100,200", 0, "at 100,200"},
        {"pms16", "0,2147483647", 1, "reaches past 2147483647"},
        {"vsp", "64,100", 0, "at 64,100"},
        {"vsp", "608,0", 0, "at 608,0"},
        {"vsp", "616,0", 1, "at most 640 x 400"},
        {"vsp", "0,389", 1, "at most 640 x 400"},
        {"vsp", "-8,0", 1, "at most 640 x 400"},
        {"qnt", "1,2,3", 2, "--at takes X,Y"},
        {"qnt", "2147483648,0", 2, "--at takes X,Y"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.format) + " at " + c.at);
        std::system(("rm -rf " + Quote(work_ + "/out") + " " + Quote(work_ + "/png") + " " + Quote(work_ + "/back"))
                        .c_str());
        const Outcome encode = torva({"encode", "plain/v.png", "-f", c.format, "--at", c.at, "-o", "out"});
        EXPECT_EQ(encode.status, c.status) << encode.err;
        if (c.status != 0) {
            EXPECT_NE(encode.err.find(c.shown), std::string::npos) << encode.err;
            continue;
        }
        const std::string extension = std::string(c.format) == "vsp" ? ".vsp" : std::string(c.format) == "qnt" ? ".qnt" : ".pms";
        EXPECT_NE(torva({"info", "out/v" + extension}).out.find(c.shown), std::string::npos);
        // convert puts the position into oFFs; encode without --at reads it back.
        ASSERT_EQ(torva({"convert", "out/v" + extension, "-o", "png"}).status, 0);
        EXPECT_NE(OffsChunk(ReadFile(work_ + "/png/v.png")), std::string::npos);
        ASSERT_EQ(torva({"encode", "png/v.png", "-f", c.format, "-o", "back"}).status, 0);
        EXPECT_NE(torva({"info", "back/v" + extension}).out.find(c.shown), std::string::npos);
        // --at outranks the PNG's position.
        ASSERT_EQ(torva({"encode", "png/v.png", "-f", c.format, "--at", "8,8", "-o", "back", "--overwrite"}).status, 0);
        EXPECT_NE(torva({"info", "back/v" + extension}).out.find("at 8,8"), std::string::npos);
    }
}

TEST_F(Header, LikeRefusesWhatTheOriginalCannotHold) {
    const Bytes vsp = MarkedVsp(72, 0, 0, 0);  // 32 pixels wide at 576, reaching 608
    WriteFile(work_ + "/orig.vsp", std::string(vsp.begin(), vsp.end()));
    const Bytes pms = MarkedPms(8, 1, false, 0, 0, "");
    WriteFile(work_ + "/orig.pms", std::string(pms.begin(), pms.end()));
    WriteFile(work_ + "/notes.txt", "no picture");
    const Bytes wide = MarkedVsp(0, 0, 0, 0);
    WriteFile(work_ + "/wide.vsp", std::string(wide.begin(), wide.end()));
    const Bytes wider = [] {
        torvatest::VspPicture picture = torvatest::MakeVspPicture(72, 12, 2);
        picture.left = picture.top = 0;  // no position of its own in the PNG
        return torvatest::WriteVsp(picture, 1);
    }();
    WriteFile(work_ + "/wide72.vsp", std::string(wider.begin(), wider.end()));
    ASSERT_EQ(torva({"convert", "wide.vsp", "wide72.vsp", "-o", "png"}).status, 0);

    struct Case {
        std::vector<std::string> arguments;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{"encode", "png/wide.png", "--like", "orig.vsp", "--at", "616,0", "-o", "o"}, 1, "at 616,0"},
        {{"encode", "png/wide.png", "--like", "notes.txt", "-o", "o"}, 1, "not a picture whose header torva can copy"},
        {{"encode", "png/wide.png", "--like", "orig.pms", "-f", "qnt", "-o", "o"}, 2, "differs from the format"},
        {{"encode", "png/wide.png", "--like", "orig.pms", "-o", "o/x.qnt"}, 2, "not .qnt"},
        {{"encode", "png/wide.png", "--like", "missing.qnt", "-o", "o"}, 1, "missing.qnt: cannot open"},
        // The original's position with a picture wider than the original.
        {{"encode", "png/wide72.png", "--like", "orig.vsp", "-o", "o"}, 1, "72 x 12 at 576,0"},
        {{"encode", "png/wide.png", "--like", "orig.vsp", "-o", "o"}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[3]);
        const Outcome run = torva(c.arguments);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
}

}  // namespace
