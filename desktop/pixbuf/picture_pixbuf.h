/* A picture file in memory turned into a GdkPixbuf through the library's C
 * interface: RGBA where the picture has alpha, else RGB, in full colour
 * (16-bit PMS widened to 8 bits a channel, as `torva convert` writes it). */
#ifndef TORVASOFT_DESKTOP_PICTURE_PIXBUF_H
#define TORVASOFT_DESKTOP_PICTURE_PIXBUF_H

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <stddef.h>
#include <stdint.h>

#include "torvasoft/torvasoft.h"

/* The pixbuf options that carry the picture's stored screen position (VSP):
 * decimal pixels from the screen's left and top. Set only where the format
 * stores one. */
#define PICTURE_OPTION_X "x-offset"
#define PICTURE_OPTION_Y "y-offset"

/* The name to detect the bytes with. gdk-pixbuf hands its loaders no file
 * name, and it chooses this loader only for the MIME types of the three
 * formats: QNT and PMS by their magic, VSP (which has none) by its
 * extension. So bytes without QNT or PMS magic are read as VSP. */
const char* picture_detection_name(const uint8_t* bytes, size_t size);

/* Reads the header. FALSE with `error` set when the bytes are no picture of
 * ours or too large to decode; a header whose data run past the end passes,
 * and its decode reports the damage. */
gboolean picture_inspect(const uint8_t* bytes, size_t size, const char* name, torvasoft_info* info, GError** error);

/* Decodes the picture into a new pixbuf. NULL with `error` set when there is
 * none to give (out of memory, too large). Otherwise the pixbuf, and
 * `complete` says whether it is whole: when the decoder stopped early it
 * holds the pixels produced (the rest zero) and `error` says what was
 * found. */
GdkPixbuf* picture_decode(const uint8_t* bytes, size_t size, const char* name, const torvasoft_info* info,
                          gboolean* complete, GError** error);

#endif
