/* The gdk-pixbuf loader module for QNT, PMS and VSP pictures
 * (libpixbufloader-torvasoft.so): whole-file and incremental loading, no
 * saving. Incremental loading gathers the bytes until the end and decodes
 * them then, since every format needs its whole file; the prepared and
 * updated callbacks run once, at the end. */
#define GDK_PIXBUF_ENABLE_BACKEND
#include <gdk-pixbuf/gdk-pixbuf-io.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#undef GDK_PIXBUF_ENABLE_BACKEND

#include "byte_buffer.h"
#include "picture_pixbuf.h"

#if !GDK_PIXBUF_CHECK_VERSION(2, 42, 0)
#error "the loader is written for gdk-pixbuf 2.42"
#endif

/* Decodes a whole file for load(): NULL with `error` set unless the picture
 * is complete. */
static GdkPixbuf* decode_whole(const byte_buffer* buffer, GError** error) {
    const char* name = picture_detection_name(buffer->bytes, buffer->size);
    torvasoft_info info;
    if (!picture_inspect(buffer->bytes, buffer->size, name, &info, error)) return NULL;
    gboolean complete = FALSE;
    GdkPixbuf* pixbuf = picture_decode(buffer->bytes, buffer->size, name, &info, &complete, error);
    if (pixbuf != NULL && !complete) {
        g_object_unref(pixbuf);
        return NULL;
    }
    return pixbuf;
}

static GdkPixbuf* load_file(FILE* file, GError** error) {
    byte_buffer buffer;
    byte_buffer_init(&buffer);
    if (!byte_buffer_read_file(&buffer, file)) {
        byte_buffer_free(&buffer);
        g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY,
                            "torvasoft: the file could not be read whole");
        return NULL;
    }
    GdkPixbuf* pixbuf = decode_whole(&buffer, error);
    byte_buffer_free(&buffer);
    return pixbuf;
}

typedef struct incremental_load {
    GdkPixbufModuleSizeFunc size_func;
    GdkPixbufModulePreparedFunc prepared_func;
    GdkPixbufModuleUpdatedFunc updated_func;
    gpointer user_data;
    byte_buffer buffer;
} incremental_load;

static gpointer begin_load(GdkPixbufModuleSizeFunc size_func, GdkPixbufModulePreparedFunc prepared_func,
                           GdkPixbufModuleUpdatedFunc updated_func, gpointer user_data, GError** error) {
    incremental_load* load = g_try_new0(incremental_load, 1);
    if (load == NULL) {
        g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, "torvasoft: out of memory");
        return NULL;
    }
    load->size_func = size_func;
    load->prepared_func = prepared_func;
    load->updated_func = updated_func;
    load->user_data = user_data;
    byte_buffer_init(&load->buffer);
    return load;
}

static gboolean load_increment(gpointer context, const guchar* bytes, guint size, GError** error) {
    incremental_load* load = context;
    if (!byte_buffer_append(&load->buffer, bytes, size)) {
        g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY,
                            "torvasoft: the file is too large to hold");
        return FALSE;
    }
    return TRUE;
}

/* Decodes what was gathered. A damaged picture is still handed to the
 * prepared and updated callbacks with the pixels that were decoded, as
 * viewers show a picture cut short, but the load fails with the error. */
static gboolean finish_load(incremental_load* load, GError** error) {
    const byte_buffer* buffer = &load->buffer;
    const char* name = picture_detection_name(buffer->bytes, buffer->size);
    torvasoft_info info;
    if (!picture_inspect(buffer->bytes, buffer->size, name, &info, error)) return FALSE;
    if (load->size_func != NULL) {
        gint width = (gint)info.width, height = (gint)info.height;
        load->size_func(&width, &height, load->user_data);
        /* A size of 0 asks for the size alone (gdk_pixbuf_get_file_info). */
        if (width == 0 || height == 0) return TRUE;
    }
    gboolean complete = FALSE;
    GdkPixbuf* pixbuf = picture_decode(buffer->bytes, buffer->size, name, &info, &complete, error);
    if (pixbuf == NULL) return FALSE;
    if (load->prepared_func != NULL) load->prepared_func(pixbuf, NULL, load->user_data);
    if (load->updated_func != NULL) {
        load->updated_func(pixbuf, 0, 0, gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf),
                           load->user_data);
    }
    g_object_unref(pixbuf);
    return complete;
}

static gboolean stop_load(gpointer context, GError** error) {
    incremental_load* load = context;
    const gboolean loaded = finish_load(load, error);
    byte_buffer_free(&load->buffer);
    g_free(load);
    return loaded;
}

G_MODULE_EXPORT void fill_vtable(GdkPixbufModule* module);
G_MODULE_EXPORT void fill_info(GdkPixbufFormat* info);

G_MODULE_EXPORT void fill_vtable(GdkPixbufModule* module) {
    module->load = load_file;
    module->begin_load = begin_load;
    module->stop_load = stop_load;
    module->load_increment = load_increment;
}

G_MODULE_EXPORT void fill_info(GdkPixbufFormat* info) {
    /* gdk-pixbuf chooses a loader by the MIME type that shared-mime-info
     * finds (torvasoft-mime.xml); these patterns serve the builds that sniff
     * without it. ' ' in a mask: the byte must match, 'z': it must be zero. */
    static GdkPixbufModulePattern signature[] = {
        {"QNT ", "   z", 100},
        {"PM", "  ", 50},
        {NULL, NULL, 0},
    };
    static gchar* mime_types[] = {"image/x-qnt", "image/x-pms", "image/x-vsp", NULL};
    static gchar* extensions[] = {"qnt", "pms", "vsp", NULL};
    info->name = "torvasoft";
    info->signature = signature;
    info->description = "QNT, PMS and VSP pictures";
    info->mime_types = mime_types;
    info->extensions = extensions;
    info->flags = GDK_PIXBUF_FORMAT_THREADSAFE;
    info->license = "MIT";
}
