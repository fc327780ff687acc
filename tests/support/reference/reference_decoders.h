// Plain decoders that produce one pixel at a time, exactly as the byte codes
// read, with the same signatures and statuses as the fast ones in codec/.
// Tests and fuzz targets hold the fast decoders against them; the product
// never links them. (The plain QNT decoder is the row-by-row one in codec/,
// which processors without 16-byte vectors use.)
#pragma once

#include "codec/pms_decoder.h"
#include "codec/vsp_decoder.h"

namespace torvaref {

torva::DecodeResult DecodePms8(const PmsHeader& header, torva::ByteSpan file, torva::PmsStream which,
                               torva::PixelSpan out);
torva::DecodeResult DecodePms16(const PmsHeader& header, torva::ByteSpan file, torva::PixelSpan out);

// Rows past the header's height limit are decoded like any other; the fast
// decoder's plane buffers end a little past that limit.
torva::DecodeResult DecodeVspPlanes(const VspHeader& header, torva::ByteSpan file, torva::PixelSpan out);

}  // namespace torvaref
