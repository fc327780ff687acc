// The decoders driven the way the unit tests hold their inputs: a whole QNT
// file, or a bare PMS or VSP stream with the picture's width and height.
#pragma once

#include <cstdint>

#include "codec/decode_result.h"
#include "codec/image_headers.h"
#include "tests/support/test_support.h"

namespace torvatest {

// The QNT header as the file declares it, field by field, without the checks
// of detection, so that tests can hand the decoders any declaration.
QntHeader QntHeaderOf(const Bytes& file);

// Decodes a QNT file into `pixels`: rows of stride(24) (DecodeQnt24) or 4 x w
// (DecodeQnt32), h of them.
torva::DecodeResult DecodeQntFile(const Bytes& file, unsigned char* pixels, bool withAlpha, bool wavefront = true);

// A PMS stream of `length` bytes decoded as a picture of `width` x `height`:
// DecodePms8 into bottom-up rows of stride(8), DecodePms16 into top-down rows
// of stride(16). The stream is the whole file, at offset 0.
torva::DecodeResult DecodePmsStream(int depth, unsigned char* destination, const unsigned char* stream,
                                    uint32_t length, int32_t width, int32_t height);

// A VSP plane stream of `available` bytes decoded as a picture of `width` x
// `height` into rows of width / 2 bytes. The stream is put behind a header
// and palette in a block of exactly the file's size.
torva::DecodeResult DecodeVspStream(unsigned char* pixels, const unsigned char* planes, uint32_t available,
                                    int32_t width, int32_t height);

}  // namespace torvatest
