// What reading a picture or an archive found.
#pragma once

namespace torva {

enum class DecodeStatus {
    Complete,     // every pixel or member came from the data
    Truncated,    // the data ended before the picture or table did
    Corrupt,      // the data cannot be what it claims (inflate failed, impossible code, inconsistent table)
    OutsideFile,  // a header offset points past the supplied bytes
    TooLarge,     // the declared size is beyond what one call may allocate or address
    OutOfMemory,  // the heap refused scratch memory
};

}  // namespace torva
