// Detection and header inspection for hosts of the public API.
#include "api/api_support.h"
#include "api/host_record.h"
#include "api/picture_info.h"
#include "plugin/plugin_object.h"
#include "api/library.h"

namespace torva {
namespace api {

namespace {

// The record holds a 32-bit count: larger inputs are seen through their first
// 4 GiB - 1 bytes, as a host of the plug-in would hand them over.
uint32_t RecordSize(size_t size) { return size > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(size); }

}  // namespace

Kind DetectKind(const uint8_t* bytes, size_t size, const char* name) {
    torva::api::HostRecord record;
    if (!record.build(bytes, RecordSize(size), name, nullptr)) return Kind::None;
    int32_t kind = ArchiveNone;
    // Archives first: ALD is told by its name, and no image magic is "ALK0".
    ThePlugin().isSupportedArchive(record.get(), &kind);
    if (kind != ArchiveNone) return torva::api::ArchiveKindOf(kind);
    ThePlugin().isSupportedImage(record.get(), &kind);
    return torva::api::ImageKindOf(kind);
}

Status InspectPicture(const uint8_t* bytes, size_t size, const char* name, PictureInfo* info) {
    if (size > UINT32_MAX) return Status::TooLarge;
    torva::api::HostRecord record;
    if (!record.build(bytes, static_cast<uint32_t>(size), name, nullptr)) return Status::OutOfMemory;
    torva::api::PictureFacts facts;
    const Status status = torva::api::ReadPictureFacts(record.get(), &facts);
    if (status != Status::NotRecognised && info != nullptr) *info = facts.info;
    return status;
}

}  // namespace api
}  // namespace torva
