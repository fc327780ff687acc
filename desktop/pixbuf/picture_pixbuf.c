#include "picture_pixbuf.h"

#include <string.h>

static void set_status_error(GError** error, torvasoft_status status) {
    GdkPixbufError code = GDK_PIXBUF_ERROR_CORRUPT_IMAGE;
    if (status == TORVASOFT_NOT_RECOGNISED) code = GDK_PIXBUF_ERROR_UNKNOWN_TYPE;
    if (status == TORVASOFT_OUT_OF_MEMORY || status == TORVASOFT_TOO_LARGE) {
        code = GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY;
    }
    g_set_error(error, GDK_PIXBUF_ERROR, code, "torvasoft: %s (%s)", torvasoft_status_text(status),
                torvasoft_status_name(status));
}

const char* picture_detection_name(const uint8_t* bytes, size_t size) {
    const int kind = torvasoft_detect(bytes, size, NULL);
    return kind == TORVASOFT_KIND_QNT || kind == TORVASOFT_KIND_PMS ? NULL : "picture.vsp";
}

gboolean picture_inspect(const uint8_t* bytes, size_t size, const char* name, torvasoft_info* info, GError** error) {
    const torvasoft_status status = torvasoft_inspect(bytes, size, name, info);
    if (status == TORVASOFT_COMPLETE || status == TORVASOFT_TRUNCATED || status == TORVASOFT_OUTSIDE_FILE) {
        if (info->width == 0 || info->height == 0 || info->width > G_MAXINT || info->height > G_MAXINT) {
            set_status_error(error, TORVASOFT_TOO_LARGE);
            return FALSE;
        }
        return TRUE;
    }
    set_status_error(error, status);
    return FALSE;
}

static void set_position(GdkPixbuf* pixbuf, const torvasoft_info* info) {
    if (!info->has_position) return;
    char text[16];
    g_snprintf(text, sizeof text, "%d", (int)info->x);
    gdk_pixbuf_set_option(pixbuf, PICTURE_OPTION_X, text);
    g_snprintf(text, sizeof text, "%d", (int)info->y);
    gdk_pixbuf_set_option(pixbuf, PICTURE_OPTION_Y, text);
}

/* Copies packed RGBA rows into the pixbuf's (padded) rows, dropping alpha
 * when the pixbuf has none. */
static void copy_rows(GdkPixbuf* pixbuf, const uint8_t* rgba, uint32_t width, uint32_t height) {
    guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
    const size_t stride = (size_t)gdk_pixbuf_get_rowstride(pixbuf);
    const gboolean alpha = gdk_pixbuf_get_has_alpha(pixbuf);
    const size_t source_stride = (size_t)width * 4;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* from = rgba + y * source_stride;
        guchar* to = pixels + y * stride;
        if (alpha) {
            memcpy(to, from, source_stride);
            continue;
        }
        for (uint32_t x = 0; x < width; ++x) {
            to[3 * (size_t)x] = from[4 * (size_t)x];
            to[3 * (size_t)x + 1] = from[4 * (size_t)x + 1];
            to[3 * (size_t)x + 2] = from[4 * (size_t)x + 2];
        }
    }
}

GdkPixbuf* picture_decode(const uint8_t* bytes, size_t size, const char* name, const torvasoft_info* info,
                          gboolean* complete, GError** error) {
    *complete = FALSE;
    torvasoft_layout layout;
    torvasoft_status status = torvasoft_decoded_layout(bytes, size, name, TORVASOFT_AS_RGBA8, &layout);
    if (status != TORVASOFT_COMPLETE && status != TORVASOFT_TRUNCATED && status != TORVASOFT_OUTSIDE_FILE) {
        set_status_error(error, status);
        return NULL;
    }
    if (layout.width != info->width || layout.height != info->height || layout.stride != (size_t)layout.width * 4) {
        set_status_error(error, TORVASOFT_CORRUPT);
        return NULL;
    }
    uint8_t* rgba = g_try_malloc(layout.size);
    if (rgba == NULL) {
        set_status_error(error, TORVASOFT_OUT_OF_MEMORY);
        return NULL;
    }
    uint64_t produced = 0;
    status = torvasoft_decode_rgba(bytes, size, name, rgba, layout.size, &produced);
    if (status == TORVASOFT_OUT_OF_MEMORY || status == TORVASOFT_TOO_LARGE || status == TORVASOFT_INVALID_ARGUMENT ||
        status == TORVASOFT_BUFFER_TOO_SMALL || status == TORVASOFT_NOT_RECOGNISED) {
        g_free(rgba);
        set_status_error(error, status);
        return NULL;
    }
    /* gdk_pixbuf_new answers NULL, not an abort, when the rows would
     * overflow its sizes or memory runs out. */
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, info->has_alpha ? TRUE : FALSE, 8, (int)layout.width,
                                       (int)layout.height);
    if (pixbuf == NULL) {
        g_free(rgba);
        set_status_error(error, TORVASOFT_OUT_OF_MEMORY);
        return NULL;
    }
    copy_rows(pixbuf, rgba, layout.width, layout.height);
    g_free(rgba);
    set_position(pixbuf, info);
    if (status == TORVASOFT_COMPLETE) {
        *complete = TRUE;
    } else {
        set_status_error(error, status);
    }
    return pixbuf;
}
