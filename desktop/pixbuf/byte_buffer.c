#include "byte_buffer.h"

#include <glib.h>
#include <string.h>

void byte_buffer_init(byte_buffer* buffer) {
    buffer->bytes = NULL;
    buffer->size = 0;
    buffer->capacity = 0;
}

void byte_buffer_free(byte_buffer* buffer) {
    g_free(buffer->bytes);
    byte_buffer_init(buffer);
}

int byte_buffer_append(byte_buffer* buffer, const uint8_t* bytes, size_t count) {
    if (count == 0) return 1;
    if (count > BYTE_BUFFER_LIMIT - buffer->size) return 0;
    const size_t needed = buffer->size + count;
    if (needed > buffer->capacity) {
        /* Doubling, from 64 KiB, stops at the limit; both stay far below
         * SIZE_MAX, so nothing here overflows. */
        size_t capacity = buffer->capacity < 65536 ? 65536 : buffer->capacity;
        while (capacity < needed) capacity = capacity > BYTE_BUFFER_LIMIT / 2 ? BYTE_BUFFER_LIMIT : capacity * 2;
        uint8_t* grown = g_try_realloc(buffer->bytes, capacity);
        if (grown == NULL) return 0;
        buffer->bytes = grown;
        buffer->capacity = capacity;
    }
    memcpy(buffer->bytes + buffer->size, bytes, count);
    buffer->size = needed;
    return 1;
}

int byte_buffer_read_file(byte_buffer* buffer, FILE* file) {
    uint8_t chunk[65536];
    for (;;) {
        const size_t got = fread(chunk, 1, sizeof chunk, file);
        if (got > 0 && !byte_buffer_append(buffer, chunk, got)) return 0;
        if (got < sizeof chunk) return ferror(file) ? 0 : 1;
    }
}
