/* A growing block of bytes: the loader gathers a whole file in one before
 * decoding, since every picture format needs all of its bytes. */
#ifndef TORVASOFT_DESKTOP_BYTE_BUFFER_H
#define TORVASOFT_DESKTOP_BYTE_BUFFER_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

typedef struct byte_buffer {
    uint8_t* bytes;
    size_t size;
    size_t capacity;
} byte_buffer;

/* The most a buffer takes: no picture of the formats comes near it, and it
 * keeps a stray huge file from exhausting memory. */
#define BYTE_BUFFER_LIMIT ((size_t)1 << 30)

void byte_buffer_init(byte_buffer* buffer);
void byte_buffer_free(byte_buffer* buffer);

/* Appends `count` bytes; 0 when memory runs out or the limit would be passed
 * (the buffer is then unchanged). */
int byte_buffer_append(byte_buffer* buffer, const uint8_t* bytes, size_t count);

/* Appends everything `file` holds from where it stands. 1 on success; 0 on
 * a read error, when memory runs out or past the limit. */
int byte_buffer_read_file(byte_buffer* buffer, FILE* file);

#endif
