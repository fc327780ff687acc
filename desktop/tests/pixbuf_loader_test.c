/* The gdk-pixbuf loader as gdk-pixbuf itself loads it (GDK_PIXBUF_MODULE_FILE
 * and XDG_DATA_DIRS are set by pixbuf_loader_test.sh):
 *
 *   pixbuf_loader_test pictures PICTURES PNGS SCRATCH
 *     every picture in PICTURES, whole-file and incremental, gives the C
 *     interface's pixels, alpha and position, and the pixels of the PNG
 *     `torva convert` wrote to PNGS; each cut short is refused with an error
 *     (copies in SCRATCH);
 *   pixbuf_loader_test size FILE
 *     prints "WIDTH HEIGHT ALPHA" of a picture gdk-pixbuf reads. */
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <stdio.h>
#include <string.h>

#include "torvasoft/torvasoft.h"

static int failures = 0;

static void fail(const char* picture, const char* what, const char* detail) {
    fprintf(stderr, "FAIL %s: %s%s%s\n", picture, what, detail ? ": " : "", detail ? detail : "");
    ++failures;
}

/* Whether `pixbuf` holds exactly `rgba` (packed), reading a pixbuf without
 * alpha as opaque. */
static gboolean same_pixels(GdkPixbuf* pixbuf, const uint8_t* rgba, const torvasoft_info* info) {
    if ((uint32_t)gdk_pixbuf_get_width(pixbuf) != info->width ||
        (uint32_t)gdk_pixbuf_get_height(pixbuf) != info->height || gdk_pixbuf_get_bits_per_sample(pixbuf) != 8) {
        return FALSE;
    }
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
    const size_t stride = (size_t)gdk_pixbuf_get_rowstride(pixbuf);
    for (uint32_t y = 0; y < info->height; ++y) {
        for (uint32_t x = 0; x < info->width; ++x) {
            const guchar* got = pixels + y * stride + (size_t)x * channels;
            const uint8_t* want = rgba + ((size_t)y * info->width + x) * 4;
            const guchar alpha = channels == 4 ? got[3] : 255;
            if (got[0] != want[0] || got[1] != want[1] || got[2] != want[2] || alpha != want[3]) return FALSE;
        }
    }
    return TRUE;
}

static const char* mime_type_of(int kind) {
    return kind == TORVASOFT_KIND_QNT ? "image/x-qnt" : kind == TORVASOFT_KIND_PMS ? "image/x-pms" : "image/x-vsp";
}

/* Feeds `bytes` to a loader in small pieces. The loader is chosen by MIME
 * type: gdk-pixbuf gives incremental loaders no name, and VSP has no magic
 * to be sniffed by. Returns the pixbuf (a reference) and whether close
 * succeeded. */
static GdkPixbuf* load_incrementally(const uint8_t* bytes, size_t size, int kind, gboolean* closed, GError** error) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_mime_type(mime_type_of(kind), error);
    *closed = FALSE;
    if (loader == NULL) return NULL;
    const size_t piece = 97;
    gboolean written = TRUE;
    for (size_t at = 0; at < size && written; at += piece) {
        written = gdk_pixbuf_loader_write(loader, bytes + at, size - at < piece ? size - at : piece, error);
    }
    *closed = gdk_pixbuf_loader_close(loader, written ? error : NULL) && written;
    GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
    if (pixbuf != NULL) g_object_ref(pixbuf);
    g_object_unref(loader);
    return pixbuf;
}

static void check_position(const char* label, GdkPixbuf* pixbuf, const torvasoft_info* info) {
    const char* x = gdk_pixbuf_get_option(pixbuf, "x-offset");
    const char* y = gdk_pixbuf_get_option(pixbuf, "y-offset");
    if (!info->has_position) {
        if (x != NULL || y != NULL) fail(label, "a position where the picture stores none", x);
        return;
    }
    char want_x[16], want_y[16];
    g_snprintf(want_x, sizeof want_x, "%d", (int)info->x);
    g_snprintf(want_y, sizeof want_y, "%d", (int)info->y);
    if (x == NULL || y == NULL || strcmp(x, want_x) != 0 || strcmp(y, want_y) != 0) {
        fail(label, "the stored position is not in the options", x);
    }
}

/* One picture: its pixels through every path, then copies of it cut short. */
static void check_picture(const char* directory, const char* file_name, const char* png_directory,
                          const char* scratch, int* kinds_seen) {
    gchar* path = g_build_filename(directory, file_name, NULL);
    gchar* contents = NULL;
    gsize size = 0;
    if (!g_file_get_contents(path, &contents, &size, NULL)) {
        fail(file_name, "cannot read", NULL);
        g_free(path);
        return;
    }
    const uint8_t* bytes = (const uint8_t*)contents;
    torvasoft_info info;
    uint8_t* expected = NULL;
    uint64_t produced = 0;
    if (torvasoft_inspect(bytes, size, file_name, &info) != TORVASOFT_COMPLETE) {
        fail(file_name, "the C interface cannot read the sample", NULL);
        goto done;
    }
    kinds_seen[info.kind * 2 + (info.has_alpha ? 1 : 0)] = 1;
    const size_t rgba_size = (size_t)info.width * info.height * 4;
    expected = g_malloc(rgba_size);
    if (torvasoft_decode_rgba(bytes, size, file_name, expected, rgba_size, &produced) != TORVASOFT_COMPLETE) {
        fail(file_name, "the C interface cannot decode the sample", NULL);
        goto done;
    }

    GError* error = NULL;
    GdkPixbuf* whole = gdk_pixbuf_new_from_file(path, &error);
    if (whole == NULL) {
        fail(file_name, "gdk_pixbuf_new_from_file", error ? error->message : NULL);
        g_clear_error(&error);
    } else {
        if (!same_pixels(whole, expected, &info)) fail(file_name, "whole-file pixels differ from the C interface", NULL);
        if (gdk_pixbuf_get_has_alpha(whole) != (info.has_alpha ? TRUE : FALSE)) fail(file_name, "alpha channel", NULL);
        check_position(file_name, whole, &info);
        g_object_unref(whole);
    }
    GdkPixbufFormat* format = gdk_pixbuf_get_file_info(path, NULL, NULL);
    gchar* format_name = format ? gdk_pixbuf_format_get_name(format) : NULL;
    if (format_name == NULL || strcmp(format_name, "torvasoft") != 0) fail(file_name, "another loader took it", format_name);
    g_free(format_name);

    gboolean closed = FALSE;
    GdkPixbuf* pieces = load_incrementally(bytes, size, info.kind, &closed, &error);
    if (!closed || pieces == NULL) {
        fail(file_name, "incremental load", error ? error->message : NULL);
    } else {
        if (!same_pixels(pieces, expected, &info)) fail(file_name, "incremental pixels differ from the C interface", NULL);
        check_position(file_name, pieces, &info);
    }
    g_clear_error(&error);
    if (pieces) g_object_unref(pieces);

    /* What torva convert wrote, read by gdk-pixbuf's own PNG loader. */
    gchar* stem = g_strndup(file_name, strrchr(file_name, '.') - file_name);
    gchar* png_name = g_strconcat(stem, ".png", NULL);
    gchar* png_path = g_build_filename(png_directory, png_name, NULL);
    GdkPixbuf* png = gdk_pixbuf_new_from_file(png_path, &error);
    if (png == NULL) {
        fail(file_name, "the PNG torva convert wrote", error ? error->message : NULL);
        g_clear_error(&error);
    } else {
        if (!same_pixels(png, expected, &info)) fail(file_name, "torva convert's PNG has other pixels", NULL);
        g_object_unref(png);
    }
    g_free(png_path);
    g_free(png_name);
    g_free(stem);

    /* Cut short: within the header's reach, and halfway through the data. */
    const gsize cuts[] = {size / 2, size - 1};
    for (size_t i = 0; i < G_N_ELEMENTS(cuts); ++i) {
        gchar* cut_path = g_build_filename(scratch, file_name, NULL);
        gchar label[256];
        g_snprintf(label, sizeof label, "%s cut to %lu bytes", file_name, (unsigned long)cuts[i]);
        if (!g_file_set_contents(cut_path, contents, (gssize)cuts[i], NULL)) {
            fail(label, "cannot write", NULL);
            g_free(cut_path);
            continue;
        }
        uint64_t cut_produced = 0;
        uint8_t* partial = g_malloc(rgba_size);
        const torvasoft_status status = torvasoft_decode_rgba(bytes, cuts[i], file_name, partial, rgba_size, &cut_produced);
        g_free(partial);
        if (status == TORVASOFT_COMPLETE) {
            /* The library found nothing missing (a padding byte): the loader
             * must then give the picture. */
            GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(cut_path, NULL);
            if (pixbuf == NULL) fail(label, "refused though the library read it whole", NULL);
            if (pixbuf) g_object_unref(pixbuf);
            g_free(cut_path);
            continue;
        }
        GdkPixbuf* refused = gdk_pixbuf_new_from_file(cut_path, &error);
        if (refused != NULL || error == NULL || error->domain != GDK_PIXBUF_ERROR) {
            fail(label, "the whole-file load did not fail with a GdkPixbufError", NULL);
        }
        if (refused) g_object_unref(refused);
        g_clear_error(&error);
        GdkPixbuf* partial_pixbuf = load_incrementally(bytes, cuts[i], info.kind, &closed, &error);
        if (closed || error == NULL) fail(label, "the incremental load did not fail with an error", NULL);
        g_clear_error(&error);
        if (partial_pixbuf) g_object_unref(partial_pixbuf);
        g_free(cut_path);
    }

done:
    g_free(expected);
    g_free(contents);
    g_free(path);
}

static int check_pictures(const char* directory, const char* png_directory, const char* scratch) {
    GDir* dir = g_dir_open(directory, 0, NULL);
    if (dir == NULL) {
        fail(directory, "cannot open", NULL);
        return 1;
    }
    int kinds_seen[(TORVASOFT_KIND_VSP + 1) * 2] = {0};
    int pictures = 0;
    const char* name;
    while ((name = g_dir_read_name(dir)) != NULL) {
        check_picture(directory, name, png_directory, scratch, kinds_seen);
        ++pictures;
    }
    g_dir_close(dir);
    /* Every kind, and alpha in both formats that carry it. */
    const int wanted[][2] = {{TORVASOFT_KIND_QNT, 0}, {TORVASOFT_KIND_QNT, 1}, {TORVASOFT_KIND_PMS, 0},
                             {TORVASOFT_KIND_PMS, 1}, {TORVASOFT_KIND_VSP, 0}};
    for (size_t i = 0; i < G_N_ELEMENTS(wanted); ++i) {
        if (!kinds_seen[wanted[i][0] * 2 + wanted[i][1]]) {
            fail(torvasoft_kind_name(wanted[i][0]), wanted[i][1] ? "no sample with alpha" : "no sample", NULL);
        }
    }
    printf("%d pictures checked, %d failures\n", pictures, failures);
    return failures == 0 ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc == 5 && strcmp(argv[1], "pictures") == 0) return check_pictures(argv[2], argv[3], argv[4]);
    if (argc == 3 && strcmp(argv[1], "size") == 0) {
        GError* error = NULL;
        GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(argv[2], &error);
        if (pixbuf == NULL) {
            fprintf(stderr, "%s: %s\n", argv[2], error ? error->message : "not read");
            return 1;
        }
        printf("%d %d %d\n", gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf),
               gdk_pixbuf_get_has_alpha(pixbuf) ? 1 : 0);
        g_object_unref(pixbuf);
        return 0;
    }
    fprintf(stderr, "usage: pixbuf_loader_test pictures PICTURES PNGS SCRATCH | size FILE\n");
    return 2;
}
