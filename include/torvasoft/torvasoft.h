/* torvasoft: the library's public interface, in C.
 *
 * Reads the archives (ALD, ALK) and pictures (QNT, PMS, VSP) of a family of
 * games, and writes them. Every call takes bytes and a name from the caller
 * and writes into buffers the caller supplies; nothing here keeps a pointer
 * to them after it returns, opens a file or allocates memory the caller must
 * free. Nothing throws or aborts: every call answers with a status.
 *
 * Names. A `name` is a NUL-terminated byte string, the file's name or path;
 * it may be NULL for "no name". Only the part after the last '/' or '\' is
 * looked at, and only its extension decides anything (".ald" and ".vsp",
 * compared without regard to ASCII case: neither format has a magic number).
 * Any encoding will do for the rest: the library never decodes it. Member
 * names of archives are handed out as their stored bytes, which are code
 * page 932 in practice; the library does not convert them.
 *
 * Pixels. Rows are top-down (row 0 is the picture's top) and packed: a row
 * is exactly as long as its pixels need, with no padding.
 *
 * Damage. A decoder that stops early (a stream cut short or corrupt) still
 * leaves every pixel it produced in the caller's buffer, and tells how many
 * it produced; the others are zero. The status then says what it found; only
 * TORVASOFT_COMPLETE is a success.
 *
 * Threads. Every call may run on any thread, at the same time as any other,
 * on distinct or shared input. Output buffers must not be shared between
 * calls running at once. torvasoft_set_limits changes a process-wide setting
 * that every call after it observes.
 *
 * Versions. The header's TORVASOFT_VERSION_* macros say what a program was
 * built against, torvasoft_version() what it runs with. Before 1.0 a shared
 * library is compatible within one minor version. */
#ifndef TORVASOFT_TORVASOFT_H
#define TORVASOFT_TORVASOFT_H

#include <stddef.h>
#include <stdint.h>

#include "torvasoft/version.h"

/* On Windows the interface is torvasoft-c.dll (whose exports its module
 * definition names); a program that links the library statically defines
 * TORVASOFT_STATIC. */
#if defined(_WIN32)
#if defined(TORVASOFT_STATIC)
#define TORVASOFT_API
#else
#define TORVASOFT_API __declspec(dllimport)
#endif
#else
#define TORVASOFT_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------ statuses */

typedef enum torvasoft_status {
    TORVASOFT_COMPLETE = 0,         /* the whole picture, table or file */
    TORVASOFT_TRUNCATED = 1,        /* the data ended early; what was there is returned */
    TORVASOFT_CORRUPT = 2,          /* an impossible code, a failed inflate, an inconsistent table */
    TORVASOFT_OUTSIDE_FILE = 3,     /* the header points past the bytes supplied */
    TORVASOFT_TOO_LARGE = 4,        /* beyond the limits (torvasoft_set_limits) or what the format can hold */
    TORVASOFT_OUT_OF_MEMORY = 5,    /* an allocation failed */
    TORVASOFT_NOT_RECOGNISED = 6,   /* none of the library's formats */
    TORVASOFT_INVALID_ARGUMENT = 7, /* a null pointer or a value out of range */
    TORVASOFT_BUFFER_TOO_SMALL = 8, /* the caller's buffer cannot hold the result; nothing was written */
    TORVASOFT_WRITE_FAILED = 9,     /* the caller's write callback refused bytes */

    /* Why an encoder or packer refused its input; nothing was written. */
    TORVASOFT_EMPTY_PICTURE = 20,     /* width or height is 0 */
    TORVASOFT_TOO_MANY_COLOURS = 21,  /* more colours than the format's palette holds */
    TORVASOFT_NOT_FOUR_BIT = 22,      /* a VSP colour whose channels are not 17 x (0..15) */
    TORVASOFT_HAS_ALPHA = 23,         /* translucent pixels for a format without alpha */
    TORVASOFT_BAD_WIDTH = 24,         /* a VSP width that is not a multiple of 8 */
    TORVASOFT_OFF_SCREEN = 25,        /* a position or size outside the screen the format describes */
    TORVASOFT_COMPRESSION_FAILED = 26,
    TORVASOFT_NAME_EMPTY = 27,        /* an archive member without a name */
    TORVASOFT_NAME_TOO_LONG = 28,     /* an ALD member name that does not fit its header */
    TORVASOFT_TOO_MANY_MEMBERS = 29,  /* more members than the archive's table can list */
    TORVASOFT_MEMBER_TOO_LARGE = 30,  /* a member of 2 GiB or more */
    TORVASOFT_ARCHIVE_TOO_LARGE = 31, /* members that would lie at 2 GiB or beyond */
    TORVASOFT_NO_MEMBERS = 32         /* an ALK archive needs at least one row */
} torvasoft_status;

/* "complete", "truncated", "corrupt", "outside-file", "too-large",
 * "out-of-memory", "not-recognised", "invalid-argument", "buffer-too-small",
 * "write-failed", and for the refusals "empty-picture", "too-many-colours",
 * "not-four-bit", "has-alpha", "bad-width", "off-screen",
 * "compression-failed", "name-empty", "name-too-long", "too-many-members",
 * "member-too-large", "archive-too-large", "no-members"; "unknown" for any
 * other value. Never NULL. */
TORVASOFT_API const char* torvasoft_status_name(int status);

/* A short English phrase for messages ("more colours than the palette
 * holds"); "unknown status" for any other value. Never NULL. */
TORVASOFT_API const char* torvasoft_status_text(int status);

/* The library's version, "MAJOR.MINOR.PATCH". */
TORVASOFT_API const char* torvasoft_version(void);

/* ------------------------------------------------------------ kinds */

typedef enum torvasoft_kind {
    TORVASOFT_KIND_NONE = 0,
    TORVASOFT_KIND_ALD = 1,
    TORVASOFT_KIND_ALK = 2,
    TORVASOFT_KIND_QNT = 3,
    TORVASOFT_KIND_PMS = 4,
    TORVASOFT_KIND_VSP = 5
} torvasoft_kind;

/* "ald", "alk", "qnt", "pms", "vsp"; "none" for any other value. */
TORVASOFT_API const char* torvasoft_kind_name(int kind);

/* Which of the formats `bytes` are, as the viewer plug-in decides: archives
 * first (ALD by its name and its first table, ALK by its magic), then
 * pictures (QNT and PMS by their magic, VSP by its name and header).
 * `bytes` may be only the head of an archive. NULL bytes with size 0 are an
 * empty file. As the plug-in does, a QNT file whose streams run past its end
 * is none of the formats here; torvasoft_inspect takes it for a damaged QNT
 * picture (TRUNCATED). */
TORVASOFT_API int torvasoft_detect(const uint8_t* bytes, size_t size, const char* name);

/* ------------------------------------------------------------ limits */

typedef struct torvasoft_limits {
    /* Pictures of more pixels than this are refused with TORVASOFT_TOO_LARGE
     * before anything is allocated. 0: no limit beyond max_bytes. */
    uint64_t max_pixels;
    /* The largest block of memory one call allocates for its work. Values
     * above the library's built-in cap are lowered to it; 0 means the cap. */
    uint64_t max_bytes;
} torvasoft_limits;

/* The limits now in force (max_bytes as lowered to the cap). */
TORVASOFT_API void torvasoft_get_limits(torvasoft_limits* limits);
/* Sets the limits for every later call of this interface, process-wide; the
 * plug-in entry points keep their built-in cap. NULL restores the defaults
 * (no pixel limit, the cap). */
TORVASOFT_API void torvasoft_set_limits(const torvasoft_limits* limits);

/* ------------------------------------------------------------ pictures */

typedef struct torvasoft_info {
    int kind;          /* TORVASOFT_KIND_QNT, _PMS or _VSP */
    uint32_t width;
    uint32_t height;
    uint32_t depth;    /* as the plug-in reports it: 4 (VSP), 8 or 16 (PMS), 24 or 32 (QNT) */
    int has_alpha;     /* 1 when the file carries an alpha plane */
    int has_position;  /* 1 when the format stores a screen position (all three do) */
    int32_t x;         /* the stored position: QNT's and PMS's signed 32-bit fields, VSP's */
    int32_t y;         /* rectangle (left x 8, top) */
    /* The header fields a re-encoder keeps (torvasoft_encode's `like`),
     * which no decoder reads. */
    uint32_t version;         /* QNT 0, 1 or 2; PMS 1 or 2; VSP 0 */
    uint32_t header_size;     /* QNT: where the colour stream begins (48 in version 0); PMS: 48 or 64; VSP: 58 */
    uint32_t reserved;        /* QNT: body field 5, after the bit depth; VSP: bytes 8 and 9; PMS: 0 */
    uint32_t comment_offset;  /* PMS: offset 40, where a NUL-terminated comment begins (0: none) */
    uint8_t shadow_depth;     /* PMS: byte 7 */
    uint8_t pms_flags[8];     /* PMS: bytes 8 to 15 (a palette mask and reserved bytes), as stored */
} torvasoft_info;

/* Reads the header alone: NOT_RECOGNISED, or what the header tells (COMPLETE;
 * OUTSIDE_FILE for an offset past the bytes; TRUNCATED when its streams or
 * palette run past them, a QNT file cut anywhere after its header included;
 * TOO_LARGE for sizes beyond the limits). `info` is
 * filled unless the status is NOT_RECOGNISED or INVALID_ARGUMENT. */
TORVASOFT_API torvasoft_status torvasoft_inspect(const uint8_t* bytes, size_t size, const char* name,
                                                 torvasoft_info* info);

typedef enum torvasoft_pixel_format {
    TORVASOFT_RGBA8 = 0,    /* red, green, blue, alpha; alpha 255 where the picture has none */
    TORVASOFT_INDEXED4 = 1, /* two pixels a byte, high nibble first; a 16-entry palette (VSP) */
    TORVASOFT_INDEXED8 = 2, /* one byte a pixel; a 256-entry palette (8-bit PMS) */
    TORVASOFT_RGB555 = 3,   /* 16-bit little-endian 0RRRRRGGGGGBBBBB (16-bit PMS, the plug-in's mode 0) */
    TORVASOFT_BGR24 = 4,    /* blue, green, red */
    TORVASOFT_BGRA32 = 5    /* blue, green, red, alpha */
} torvasoft_pixel_format;

/* What a decode is asked for. */
typedef enum torvasoft_request {
    TORVASOFT_AS_RGBA8 = 0,       /* every picture as TORVASOFT_RGBA8, 16-bit PMS in full colour */
    /* The picture's own pixels, as the plug-in's bitmap holds them: INDEXED4
     * (VSP), INDEXED8 (8-bit PMS), RGB555 (16-bit PMS), BGR24 or BGRA32 (QNT). */
    TORVASOFT_AS_STORED = 1,
    /* As TORVASOFT_AS_STORED, but 16-bit PMS as BGR24, or BGRA32 when it has
     * alpha (the plug-in's negative mode). */
    TORVASOFT_AS_STORED_FULL = 2,
    /* TORVASOFT_AS_STORED turned to TORVASOFT_RGBA8: 16-bit PMS through
     * 5-5-5 and without alpha, as a viewer shows the plug-in's mode 0. */
    TORVASOFT_AS_RGBA8_FROM_STORED = 3
} torvasoft_request;

typedef struct torvasoft_layout {
    int format;               /* a torvasoft_pixel_format */
    uint32_t width;
    uint32_t height;
    size_t stride;            /* bytes a row */
    size_t size;              /* stride x height: the buffer torvasoft_decode needs */
    uint32_t palette_entries; /* 16 or 256 for the indexed formats, else 0 */
} torvasoft_layout;

/* The one size helper: how a decode of these bytes with `request` lays out
 * its pixels. Returns what torvasoft_inspect returns for the header, or
 * INVALID_ARGUMENT for an unknown request; `layout` is filled whenever a
 * picture was recognised and its size is within the limits (the status is
 * then COMPLETE, TRUNCATED or OUTSIDE_FILE). */
TORVASOFT_API torvasoft_status torvasoft_decoded_layout(const uint8_t* bytes, size_t size, const char* name,
                                                        int request, torvasoft_layout* layout);

/* One palette entry of the indexed formats. */
typedef struct torvasoft_colour {
    uint8_t red, green, blue, alpha;
} torvasoft_colour;

/* Decodes a whole picture file held in memory into `out`, laid out as
 * torvasoft_decoded_layout says. `out_size` must be at least the layout's
 * size (else BUFFER_TOO_SMALL, nothing written). `palette` receives the
 * layout's palette_entries colours when it is not NULL (alpha 255).
 * `produced`, when not NULL, receives the pixels decoded in stream order
 * before the decoder stopped: width x height when COMPLETE. The pixels are
 * those of the viewer plug-in's bitmap for the same file and mode, but for a
 * QNT picture whose streams end early (the file cut, or a stream stopping
 * short): the plug-in then leaves its bitmap blank, while this gives back
 * every pixel whose residuals arrived (TRUNCATED, `produced` counting them in
 * order from the top row), the rest rebuilt as if its residuals were zero. */
TORVASOFT_API torvasoft_status torvasoft_decode(const uint8_t* bytes, size_t size, const char* name, int request,
                                                void* out, size_t out_size, torvasoft_colour* palette,
                                                uint64_t* produced);

/* torvasoft_decode with TORVASOFT_AS_RGBA8: 4 x width x height bytes. */
TORVASOFT_API torvasoft_status torvasoft_decode_rgba(const uint8_t* bytes, size_t size, const char* name,
                                                     uint8_t* out, size_t out_size, uint64_t* produced);

/* ------------------------------------------------------------ archives */

/* Reads `count` bytes at `offset` of the archive into `buffer`; returns how
 * many it delivered (fewer at the end of the file or on an error). */
typedef size_t (*torvasoft_read_fn)(void* context, uint64_t offset, void* buffer, size_t count);

#define TORVASOFT_NAME_BYTES 256

typedef struct torvasoft_member {
    /* ALD: the stored name's bytes. ALK, which stores no names: one made up
     * as STEM_NNN.EXT (see torvasoft_list). NUL-terminated. */
    char raw_name[TORVASOFT_NAME_BYTES];
    size_t raw_name_size;                /* its length, without the terminator */
    uint64_t position;                   /* where the member's bytes start in the archive */
    uint64_t size;                       /* how many bytes it has */
    int has_time;                        /* ALD members carry a time stamp, ALK members none */
    uint64_t file_time;                  /* 100 ns units since 1601-01-01, UTC */
    uint32_t row;                        /* the table row, from 0: the ALK row (empty rows
                                          * count; ALK names are STEM_NNN.dat, NNN = row + 1)
                                          * or the ALD table entry */
} torvasoft_member;

/* Lists an archive read through `read`, with the members the viewer plug-in
 * lists, in its order. ALK members are named STEM_NNN.EXT: STEM the
 * archive's name without its extension (cut to 259 bytes), NNN the member's
 * number of at least three digits, EXT what its bytes are: ".qnt" or ".pms"
 * when its head passes that format's header test (also when its streams are
 * cut), ".vsp" when its head passes the VSP rectangle test and it decodes
 * whole as VSP, ".dat" otherwise. Naming a member reads its first 64 bytes,
 * and for a VSP candidate its first 384058 (58 + 3 x 4 x 80 x 400: the most
 * any VSP stream needs but for repeats of a command that produces nothing),
 * with a scratch of about 0.5 MiB (OUT_OF_MEMORY when it cannot be had,
 * `count` then ending before that member); only members within `capacity`
 * are read. (The plug-in's own listing names every ALK member .dat.)
 * `kind` (may be NULL) receives the archive's kind, or
 * TORVASOFT_KIND_NONE with NOT_RECOGNISED. `count` receives how many members
 * were read before any problem, even when more than `capacity`; the first
 * `capacity` of them are written to `members` (which may be NULL when
 * `capacity` is 0). The status tells about the table first (TRUNCATED,
 * CORRUPT, OUTSIDE_FILE...); only when the table was read whole and the
 * members did not all fit is it BUFFER_TOO_SMALL. */
TORVASOFT_API torvasoft_status torvasoft_list(const char* name, torvasoft_read_fn read, void* context, int* kind,
                                              torvasoft_member* members, size_t capacity, size_t* count);

/* torvasoft_list over an archive held whole in memory. */
TORVASOFT_API torvasoft_status torvasoft_list_memory(const uint8_t* bytes, size_t size, const char* name, int* kind,
                                                     torvasoft_member* members, size_t capacity, size_t* count);

/* ------------------------------------------------------------ writing */

/* Appends `count` bytes to the caller's output; returns nonzero when they
 * were all taken. A zero return stops the writer with WRITE_FAILED. */
typedef int (*torvasoft_write_fn)(void* context, const void* bytes, size_t count);

typedef enum torvasoft_format {
    TORVASOFT_FORMAT_QNT = 1,   /* any picture; an alpha plane when a pixel is translucent */
    TORVASOFT_FORMAT_PMS8 = 2,  /* at most 256 colours, exactly; no translucency */
    TORVASOFT_FORMAT_PMS16 = 3, /* colour rounded to 5-6-5; an alpha plane when a pixel is translucent */
    TORVASOFT_FORMAT_VSP = 4    /* at most 16 colours of 4-bit levels, width a multiple of 8, within 640 x 400 */
} torvasoft_format;

/* A picture to encode. */
typedef struct torvasoft_picture {
    uint32_t width;
    uint32_t height;
    const uint8_t* rgba;      /* width x height x 4 bytes, top row first */
    /* A palette picture may give its indices (width x height bytes) and its
     * palette (palette_size RGBA entries of 4 bytes); the paletted formats
     * keep its order. NULL and 0 otherwise. */
    const uint8_t* indices;
    const uint8_t* palette;
    uint32_t palette_size;
} torvasoft_picture;

typedef struct torvasoft_encode_options {
    int format;      /* a torvasoft_format; with `like`, 0 for the original's */
    /* The stored position. VSP: x a multiple of 8, the whole picture within
     * 640 x 400 (else OFF_SCREEN). QNT and PMS: the bits of their signed
     * 32-bit fields, negative values included; OFF_SCREEN when x + width or
     * y + height passes INT32_MAX. */
    uint32_t x;
    uint32_t y;
    int greedy;      /* nonzero: the faster greedy parse of the PMS and VSP streams, else the shortest */
    /* The whole file of an original picture (NULL: none) whose header the
     * new file keeps, so that it can replace the original: its format (a
     * PMS's depth chooses PMS8 or PMS16; `format` must be 0 or that one,
     * else INVALID_ARGUMENT), version, header size and every header field
     * the pixels do not decide (QNT: the reserved body field and the bytes
     * between the body and the colour stream; PMS: bytes 7 to 15, 44 to the
     * header's end, and the comment (NUL-terminated, at most 64 KiB),
     * written after the streams; VSP: bytes 8 and 9). Only the position, the size, the stream
     * sizes and offsets, and the palette change. NOT_RECOGNISED when it is
     * none of the pictures, TRUNCATED when it ends inside that header.
     * `like_name` is its name (a VSP is known by its extension). */
    const uint8_t* like;
    size_t like_size;
    const char* like_name;
    /* With `like`: nonzero keeps the original's position (x and y unused). */
    int like_position;
} torvasoft_encode_options;

typedef struct torvasoft_encode_report {
    uint32_t colours; /* distinct colours (paletted formats; also when there are too many) */
    int rounded;      /* 16-bit PMS: some colour was rounded to 5-6-5 */
    int alpha;        /* an alpha plane was written */
} torvasoft_encode_report;

/* Encodes `picture` and hands the whole file to `write` (in one or more
 * calls) only once it is complete: a refusal writes nothing. `report` may
 * be NULL. */
TORVASOFT_API torvasoft_status torvasoft_encode(const torvasoft_picture* picture,
                                                const torvasoft_encode_options* options, torvasoft_write_fn write,
                                                void* context, torvasoft_encode_report* report);

typedef struct torvasoft_pack_member {
    const uint8_t* name;  /* ALD: the stored name (code page 932), no terminator */
    size_t name_size;
    uint64_t size;        /* bytes of the member; an ALK member of 0 bytes is an empty row */
    uint64_t file_time;   /* ALD: 100 ns units since 1601-01-01, UTC */
} torvasoft_pack_member;

/* Writes exactly the `size` bytes of member `index` through `write`; returns
 * nonzero on success. */
typedef int (*torvasoft_member_fn)(void* context, size_t index, torvasoft_write_fn write, void* write_context);

/* Whether `member` can go into an archive of `kind` (ALD or ALK):
 * COMPLETE, or the reason it cannot. */
TORVASOFT_API torvasoft_status torvasoft_check_member(int kind, const torvasoft_pack_member* member);

/* Writes an archive of `kind` (TORVASOFT_KIND_ALD or _ALK) holding `count`
 * members in the order given: every member is checked first, and nothing is
 * written for a set that cannot be packed; then the archive streams, in file
 * order, through `write`, each member's bytes through `member`. */
TORVASOFT_API torvasoft_status torvasoft_pack(int kind, const torvasoft_pack_member* members, size_t count,
                                              torvasoft_write_fn write, void* write_context,
                                              torvasoft_member_fn member, void* member_context);

#ifdef __cplusplus
}
#endif

#endif /* TORVASOFT_TORVASOFT_H */
