/* The PNG writer: a picture given as rows of pixels in one of the formats
 * below, written as a PNG file through a callback or into memory.
 *
 * The writer picks the PNG layout from the pixels, so that the same pixels
 * give the same bytes whatever format they came in:
 *
 *   indexed pixels         palette PNG; indices as given, the palette cut
 *                          after the highest index used, at the smallest bit
 *                          depth (1, 2, 4 or 8) that addresses it; tRNS for
 *                          palette entries whose alpha is below 255
 *   colour pixels of at    palette PNG of those colours in order of first
 *   most 256 colours       appearance (alpha included, tRNS for it)
 *   other colour pixels    8-bit RGB, or RGBA when some alpha is below 255
 *   grey pixels            8-bit grey
 *
 * Compression is libdeflate's, at a level chosen from the content for
 * TORVA_PNG_LEVEL_DEFAULT; every build (native, Windows, WebAssembly) writes
 * the same bytes for the same pixels and options.
 *
 * Nothing here keeps a pointer to the caller's data after a call returns,
 * throws, or aborts; every call may run on any thread at the same time as
 * any other. */
#ifndef TORVA_PNG_PNG_WRITER_H
#define TORVA_PNG_PNG_WRITER_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum torva_png_status {
    TORVA_PNG_OK = 0,
    TORVA_PNG_INVALID_ARGUMENT = 1,   /* a null pointer, an unknown format or level */
    TORVA_PNG_EMPTY_PICTURE = 2,      /* width or height is 0 */
    TORVA_PNG_TOO_LARGE = 3,          /* beyond 2^31 - 1 pixels a side, or rows too long to address */
    TORVA_PNG_NO_PALETTE = 4,         /* indexed pixels without palette entries */
    TORVA_PNG_INDEX_PAST_PALETTE = 5, /* an index at or past palette_entries */
    TORVA_PNG_OUT_OF_MEMORY = 6,
    TORVA_PNG_WRITE_FAILED = 7        /* the write callback refused bytes */
} torva_png_status;

typedef enum torva_png_format {
    TORVA_PNG_RGBA8 = 0,    /* red, green, blue, alpha */
    TORVA_PNG_RGB8 = 1,     /* red, green, blue */
    TORVA_PNG_BGRA8 = 2,    /* blue, green, red, alpha */
    TORVA_PNG_BGR8 = 3,     /* blue, green, red */
    TORVA_PNG_RGB555 = 4,   /* 16-bit little-endian 0RRRRRGGGGGBBBBB; a 5-bit level v reads as v << 3 | v >> 2 */
    TORVA_PNG_INDEXED8 = 5, /* one index a byte */
    TORVA_PNG_INDEXED4 = 6, /* two indices a byte, the left pixel in the high nibble */
    TORVA_PNG_GREY8 = 7     /* one level a byte */
} torva_png_format;

typedef enum torva_png_level {
    TORVA_PNG_LEVEL_DEFAULT = 0, /* chosen from the content: near Best's size at a fraction of its time */
    TORVA_PNG_LEVEL_FAST = 1,
    TORVA_PNG_LEVEL_BEST = 2
} torva_png_level;

typedef struct torva_png_colour {
    uint8_t red, green, blue, alpha;
} torva_png_colour;

typedef struct torva_png_image {
    uint32_t width;
    uint32_t height;
    int format;            /* a torva_png_format */
    const uint8_t* pixels; /* the first byte of the top row */
    /* Bytes from the start of a row to the start of the row below it: at
     * least what the row's pixels take; negative for rows stored bottom-up
     * (pixels then points at the top row, the last in memory). */
    ptrdiff_t stride;
    /* The indexed formats' colours; ignored for the others. */
    const torva_png_colour* palette;
    uint32_t palette_entries; /* 1 to 256 */
} torva_png_image;

typedef struct torva_png_options {
    int level;        /* a torva_png_level */
    /* Nonzero: an oFFs chunk places the picture at (x, y) pixels on its
     * screen. */
    int has_position;
    int32_t x;
    int32_t y;
} torva_png_options;

/* Takes `count` bytes of the file; returns nonzero when they were all taken.
 * A zero return stops the writer with TORVA_PNG_WRITE_FAILED. */
typedef int (*torva_png_write_fn)(void* context, const void* bytes, size_t count);

/* Writes `image` as PNG through `write`, in several calls, once the
 * compressed data is complete: a refusal writes nothing. `options` may be
 * NULL for the defaults (equal to a zero-filled torva_png_options). */
torva_png_status torva_png_write(const torva_png_image* image, const torva_png_options* options,
                                 torva_png_write_fn write, void* context);

/* The same into a buffer from malloc, which the caller releases with
 * torva_png_free: `*png` and `*size` receive it (NULL and 0 on failure). */
torva_png_status torva_png_write_memory(const torva_png_image* image, const torva_png_options* options,
                                        uint8_t** png, size_t* size);

void torva_png_free(uint8_t* png);

/* A short English phrase for messages; "unknown status" for other values. */
const char* torva_png_status_text(int status);

#ifdef __cplusplus
}
#endif

#endif /* TORVA_PNG_PNG_WRITER_H */
