#include "api/library.h"

namespace torva {
namespace api {

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
    return "unknown";
}

const char* KindName(Kind kind) {
    switch (kind) {
        case Kind::Ald: return "ald";
        case Kind::Alk: return "alk";
        case Kind::Qnt: return "qnt";
        case Kind::Pms: return "pms";
        case Kind::Vsp: return "vsp";
        case Kind::None: break;
    }
    return "none";
}

}  // namespace api
}  // namespace torva
