// png_writer.h for C++ callers: the file into a std::string.
#pragma once

#include <new>
#include <string>

#include "png/png_writer.h"

namespace torva_png {

namespace detail {

inline int AppendTo(void* context, const void* bytes, size_t count) {
    try {
        static_cast<std::string*>(context)->append(static_cast<const char*>(bytes), count);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return 1;
}

}  // namespace detail

// Writes `image` into `png` (emptied first; left empty on a refusal). Running
// out of memory while appending is TORVA_PNG_OUT_OF_MEMORY.
inline torva_png_status Write(const torva_png_image& image, const torva_png_options& options, std::string& png) {
    png.clear();
    const torva_png_status status = torva_png_write(&image, &options, detail::AppendTo, &png);
    if (status != TORVA_PNG_OK) png.clear();
    return status == TORVA_PNG_WRITE_FAILED ? TORVA_PNG_OUT_OF_MEMORY : status;
}

}  // namespace torva_png
