// A FileAccess record built for bytes and a name that a host of the public
// API hands over, so that the API runs exactly the plug-in's own operations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "plugin/records.h"

namespace torva {
namespace api {

class HostRecord {
public:
    // False when memory runs out. `name` may be a path; its part after the
    // last '/' is what the record carries (a backslash is the plug-in's own
    // separator and is left to it). Null counts as an empty name.
    bool build(const uint8_t* bytes, uint32_t size, const char* name, HANDLE handle);
    const FileAccess* get() const { return reinterpret_cast<const FileAccess*>(storage_.data()); }

private:
    // Aligned for the record's pointer fields.
    std::vector<uint64_t> storage_;
};

}  // namespace api
}  // namespace torva
