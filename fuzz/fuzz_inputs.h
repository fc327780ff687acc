// How a fuzz input becomes a host call. The first bytes of the input choose
// what the host would choose (the file name's extension, how many head bytes
// it supplies, the mode); the rest is the file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace torvafuzz {

// Drives archive detection and listing: the file behind the handle is the
// whole payload, the supplied head bytes are a prefix of it.
void RunArchiveInput(const uint8_t* data, size_t size);

// Drives image detection, information and bitmap construction with a
// negative and a non-negative mode.
void RunImageInput(const uint8_t* data, size_t size);

}  // namespace torvafuzz
