// Interim: the public API answered through the plug-in's entry points, so
// that the browser build can run before the library implements the API
// itself. Removed once it does.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "plugin/entry_points.h"
#include "tools/torva/bitmap_view.h"
#include "tools/torva/host_record.h"
#include "torvasoft/torvasoft.h"

namespace torvasoft {

const char* StatusName(Status status) {
    switch (status) {
    case Status::Complete: return "complete";
    case Status::Truncated: return "truncated";
    case Status::Corrupt: return "corrupt";
    case Status::OutsideFile: return "outside-file";
    case Status::TooLarge: return "too-large";
    case Status::OutOfMemory: return "out-of-memory";
    case Status::NotRecognised: return "not-recognised";
    }
    return "not-recognised";
}

const char* KindName(Kind kind) {
    static const char* const names[] = {"none", "ald", "alk", "qnt", "pms", "vsp"};
    return names[static_cast<int>(kind)];
}

Kind DetectKind(const uint8_t* bytes, size_t size, const char* name) {
    const std::string data(reinterpret_cast<const char*>(bytes), size);
    torva::HostRecord record(nullptr, data, name);
    int32_t result = 0;
    if (KRV_IsSupported(record.get(), ServiceArchive, &result) == 0 && result != 0) {
        return result == ArchiveAld ? Kind::Ald : Kind::Alk;
    }
    if (KRV_IsSupported(record.get(), ServiceImage, &result) == 0 && result != 0) {
        return result == ImageQnt ? Kind::Qnt : result == ImagePms ? Kind::Pms : Kind::Vsp;
    }
    return Kind::None;
}

Status InspectPicture(const uint8_t* bytes, size_t size, const char* name, PictureInfo* info) {
    *info = PictureInfo();
    const Kind kind = DetectKind(bytes, size, name);
    if (kind != Kind::Qnt && kind != Kind::Pms && kind != Kind::Vsp) return Status::NotRecognised;
    const std::string data(reinterpret_cast<const char*>(bytes), size);
    torva::HostRecord record(nullptr, data, name);
    ImageInfo raw;
    if (KRV_GetImageInfo(record.get(), &raw) != 0) return Status::Corrupt;
    info->kind = kind;
    info->width = raw.width;
    info->height = raw.height;
    info->depth = raw.bitDepth;
    return Status::Complete;
}

Picture::Picture(Picture&&) noexcept = default;
Picture& Picture::operator=(Picture&&) noexcept = default;
Picture::~Picture() = default;

bool Picture::toRgba(std::vector<uint8_t>& out) const {
    out.clear();
    if (pixels_.empty()) return false;
    out.resize(pixels_.size());
    for (size_t i = 0; i + 3 < pixels_.size(); i += 4) {
        out[i] = pixels_[i + 2];
        out[i + 1] = pixels_[i + 1];
        out[i + 2] = pixels_[i];
        out[i + 3] = pixels_[i + 3];
    }
    return true;
}

Picture DecodePicture(const uint8_t* bytes, size_t size, const char* name, const DecodeOptions& options) {
    Picture picture;
    if (InspectPicture(bytes, size, name, &picture.info_) != Status::Complete) return picture;
    const std::string data(reinterpret_cast<const char*>(bytes), size);
    torva::HostRecord record(nullptr, data, name);
    HGLOBAL block = nullptr;
    uint32_t blockSize = 0;
    if (KRV_GetImage(record.get(), &block, &blockSize, options.fullColour16 ? -1 : 0) != 0) {
        picture.status_ = Status::Corrupt;
        return picture;
    }
    const void* locked = GlobalLock(block);
    const std::string bitmapBytes(static_cast<const char*>(locked), blockSize);
    GlobalUnlock(block);
    GlobalFree(block);
    torva::BitmapView bitmap;
    std::string error;
    if (!bitmap.parse(bitmapBytes, error)) {
        picture.status_ = Status::Corrupt;
        return picture;
    }
    picture.format_ = PixelFormat::Bgra32;
    picture.stride_ = size_t(bitmap.width()) * 4;
    picture.pixels_.resize(picture.stride_ * bitmap.height());
    picture.info_.hasAlpha = bitmap.bitCount() == 32;
    for (uint32_t y = 0; y < bitmap.height(); ++y) {
        const uint8_t* in = bitmap.row(y);
        uint8_t* out = picture.pixels_.data() + y * picture.stride_;
        for (uint32_t x = 0; x < bitmap.width(); ++x, out += 4) {
            switch (bitmap.bitCount()) {
            case 4:
            case 8: {
                const unsigned index = bitmap.bitCount() == 8 ? in[x] : (x & 1 ? in[x / 2] & 15 : in[x / 2] >> 4);
                const torva::Rgb c = index < bitmap.palette().size() ? bitmap.palette()[index] : torva::Rgb{0, 0, 0};
                out[0] = c.blue, out[1] = c.green, out[2] = c.red, out[3] = 255;
                break;
            }
            case 16: {
                const unsigned v = in[2 * x] | in[2 * x + 1] << 8;
                out[0] = uint8_t((v & 31) << 3 | (v & 31) >> 2);
                out[1] = uint8_t((v >> 5 & 31) << 3 | (v >> 5 & 31) >> 2);
                out[2] = uint8_t((v >> 10 & 31) << 3 | (v >> 10 & 31) >> 2);
                out[3] = 255;
                break;
            }
            case 24: std::memcpy(out, in + 3 * x, 3), out[3] = 255; break;
            default: std::memcpy(out, in + 4 * x, 4); break;
            }
        }
    }
    picture.produced_ = uint64_t(bitmap.width()) * bitmap.height();
    picture.status_ = Status::Complete;
    return picture;
}

ArchiveListing ListArchive(const uint8_t* bytes, size_t size, const char* name) {
    ArchiveListing listing;
    const char* path = "/tmp/interim-archive";
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return listing;
    std::fwrite(bytes, 1, size, file);
    std::fclose(file);
    torva::FileHandle handle(path);
    const std::string data(reinterpret_cast<const char*>(bytes), size < 4096 ? size : 4096);
    torva::HostRecord record(handle.get(), data, name);
    HGLOBAL block = nullptr;
    int32_t count = 0;
    const Kind kind = DetectKind(bytes, size, name);
    if ((kind != Kind::Ald && kind != Kind::Alk) || KRV_GetArchiveInfo(record.get(), &block, &count) != 0) return listing;
    listing.kind = kind;
    const auto* entries = static_cast<const ArchiveEntry*>(GlobalLock(block));
    for (int32_t i = 0; i < count; ++i) {
        Member member;
        member.rawName.assign(entries[i].name, strnlen(entries[i].name, sizeof entries[i].name));
        member.position = entries[i].position;
        member.size = uint64_t(entries[i].size);
        listing.members.push_back(member);
    }
    GlobalUnlock(block);
    GlobalFree(block);
    listing.status = Status::Complete;
    return listing;
}

}  // namespace torvasoft

namespace torvasoft {

ArchiveListing ListArchive(const char* name, ReadAt read, void* context) {
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    for (size_t got; (got = read(context, bytes.size(), chunk, sizeof chunk)) > 0;) bytes.insert(bytes.end(), chunk, chunk + got);
    return ListArchive(bytes.data(), bytes.size(), name);
}

}  // namespace torvasoft
