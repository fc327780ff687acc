#include "codec/inflate.h"

#include <zlib.h>

#include "codec/zlib_inflate.h"

namespace torva {

// zlib's length type is 32 bits wide on Windows; every capacity passed here is
// at most one allocation of this library, which fits.
bool InflateStream(unsigned char* destination, uint64_t* length, const unsigned char* source, uint32_t sourceSize) {
    unsigned long produced = static_cast<unsigned long>(*length);
    const int result = InflateLikeUncompress(destination, &produced, source, static_cast<unsigned long>(sourceSize));
    if (result != Z_OK) return false;
    *length = produced;
    return true;
}

bool InflateStreamWritingNoFurther(unsigned char* destination, uint64_t* length, const unsigned char* source,
                                   uint32_t sourceSize) {
    uLongf produced = static_cast<uLongf>(*length);
    const int result = uncompress(destination, &produced, source, static_cast<uLong>(sourceSize));
    if (result != Z_OK) return false;
    *length = produced;
    return true;
}

}  // namespace torva
