// How a fuzz input drives the C interface: the first byte picks the file
// name's extension and the decode request; the rest is the file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace torvafuzz {

// Detection, inspection, the size helper and a decode into a heap buffer of
// exactly the layout's size (and a palette of exactly its entries), the same
// as RGBA through torvasoft_decode_rgba, and the listing into an array of
// exactly the member count, from memory and through a read function. Aborts
// when an answer contradicts another or the interface's promises.
void RunCapiInput(const uint8_t* data, size_t size);

}  // namespace torvafuzz
