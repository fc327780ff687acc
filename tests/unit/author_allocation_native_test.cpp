// Every allocation of the encoders and packers, failed in turn: the routine
// answers OutOfMemory with nothing written, and the sanitizer build sees no
// leak; once no failure lands, the output is whole.
#include <gtest/gtest.h>

#include <vector>

#include "author/archive_packer.h"
#include "author/picture_encoder.h"
#include "platform/standin/standin_control.h"

namespace {

using author::AuthorStatus;

TEST(AuthorAllocationTest, EveryRefusedAllocationIsOutOfMemory) {
    const uint32_t width = 16, height = 9;
    std::vector<uint8_t> rgba(width * height * 4);
    for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = uint8_t(i % 4 == 3 ? (i % 7 ? 255 : 9) : (i / 4 % 3) * 17);
    author::SourcePicture picture;
    picture.width = width;
    picture.height = height;
    picture.rgba = rgba.data();
    std::vector<uint8_t> opaque = rgba;
    for (size_t i = 3; i < opaque.size(); i += 4) opaque[i] = 255;

    using Format = author::PictureFormat;
    for (const Format format : {Format::Qnt, Format::Pms8, Format::Pms16, Format::Vsp}) {
        author::EncodeOptions options;
        options.format = format;
        author::SourcePicture source = picture;
        if (format == Format::Pms8 || format == Format::Vsp) source.rgba = opaque.data();
        size_t whole = 0;
        for (long n = 1;; ++n) {
            author::ByteBuffer file;
            standin::FailAllocationAfter(n);
            const AuthorStatus status = author::EncodePicture(source, options, file);
            const bool injected = standin::AllocationsSinceArm() >= n;
            standin::FailAllocationAfter(0);
            if (!injected) {
                ASSERT_EQ(status, AuthorStatus::Ok);
                whole = file.size();
                break;
            }
            EXPECT_EQ(status, AuthorStatus::OutOfMemory) << int(format) << " allocation " << n;
            EXPECT_EQ(file.size(), 0u);
        }
        EXPECT_GT(whole, 0u);
    }

    const uint8_t data[3] = {1, 2, 3};
    const uint8_t* bytes[2] = {data, data};
    author::PackMember members[2];
    for (author::PackMember& m : members) {
        m.name = reinterpret_cast<const uint8_t*>("name");
        m.nameLength = 4;
        m.size = 3;
    }
    for (const bool ald : {true, false}) {
        for (long n = 1;; ++n) {
            author::ByteBuffer archive;
            author::MemorySink sink(archive, bytes, members);
            standin::FailAllocationAfter(n);
            const AuthorStatus status = ald ? author::PackAld(members, 2, sink) : author::PackAlk(members, 2, sink);
            const bool injected = standin::AllocationsSinceArm() >= n;
            standin::FailAllocationAfter(0);
            if (!injected) {
                EXPECT_EQ(status, AuthorStatus::Ok);
                break;
            }
            EXPECT_TRUE(status == AuthorStatus::OutOfMemory || status == AuthorStatus::WriteFailed) << n;
        }
    }
}

}  // namespace
