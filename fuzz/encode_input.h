// Authoring under hostile input: a PNG or BMP read, encoded in the format the
// first byte picks, and read back through the plug-in, which must give the
// picture back as the format holds it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace torvafuzz {

void RunEncodeInput(const uint8_t* data, size_t size);

}  // namespace torvafuzz
