// Temporary: decoders not yet merged.
#include "codec/pixel_conversion.h"
#include "codec/pms_decoder.h"
#include "codec/qnt_decoder.h"
#include "codec/vsp_decoder.h"
int DecodePms8(unsigned char*, const unsigned char*, const BITMAPINFOHEADER*, uint32_t) { return 0; }
int DecodePms16(unsigned char*, const unsigned char*, const BITMAPINFOHEADER*, uint32_t) { return 0; }
void ConvertMaskedPixels(unsigned char*, const unsigned char*, uint32_t, int32_t, uint32_t, ChannelMasks& m, uint32_t) { if (m.alphaMask == 0xFFFF) m.alphaMask = 0; }
void FlipRows(unsigned char*, uint32_t, int32_t) {}
