/* A C host of the installed library, built with a C compiler alone:
 *   c_host picture FILE OUT   decodes FILE to top-down RGBA, written raw to OUT,
 *                             and prints "WIDTH HEIGHT STATUS"
 *   c_host list ARCHIVE       prints "POSITION SIZE" for each member, read
 *                             through the read callback */
#include <torvasoft/torvasoft.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static unsigned char* ReadAll(const char* path, size_t* size) {
    FILE* in = fopen(path, "rb");
    if (in == NULL) return NULL;
    size_t capacity = 1 << 16, used = 0;
    unsigned char* bytes = malloc(capacity);
    while (bytes != NULL) {
        used += fread(bytes + used, 1, capacity - used, in);
        if (used < capacity) break;
        unsigned char* grown = realloc(bytes, capacity * 2);
        if (grown == NULL) free(bytes);
        bytes = grown;
        capacity *= 2;
    }
    fclose(in);
    *size = used;
    return bytes;
}

static size_t ReadAt(void* context, uint64_t offset, void* buffer, size_t count) {
    FILE* in = context;
    if (fseek(in, (long)offset, SEEK_SET) != 0) return 0;
    return fread(buffer, 1, count, in);
}

static int Picture(const char* path, const char* out) {
    size_t size = 0;
    unsigned char* bytes = ReadAll(path, &size);
    if (bytes == NULL) return 1;
    torvasoft_layout layout;
    torvasoft_status status = torvasoft_decoded_layout(bytes, size, path, TORVASOFT_AS_RGBA8, &layout);
    if (status != TORVASOFT_COMPLETE) {
        printf("%s\n", torvasoft_status_name(status));
        return 1;
    }
    unsigned char* rgba = malloc(layout.size);
    uint64_t produced = 0;
    status = torvasoft_decode_rgba(bytes, size, path, rgba, layout.size, &produced);
    FILE* to = fopen(out, "wb");
    if (rgba == NULL || to == NULL || fwrite(rgba, 1, layout.size, to) != layout.size) return 1;
    fclose(to);
    printf("%u %u %s\n", (unsigned)layout.width, (unsigned)layout.height, torvasoft_status_name(status));
    free(rgba);
    free(bytes);
    return status == TORVASOFT_COMPLETE ? 0 : 1;
}

static int List(const char* path) {
    FILE* in = fopen(path, "rb");
    if (in == NULL) return 1;
    int kind = 0;
    size_t count = 0;
    torvasoft_list(path, ReadAt, in, &kind, NULL, 0, &count);
    torvasoft_member* members = calloc(count ? count : 1, sizeof *members);
    const torvasoft_status status = torvasoft_list(path, ReadAt, in, &kind, members, count, &count);
    fclose(in);
    for (size_t i = 0; i < count; ++i) {
        printf("%llu %llu\n", (unsigned long long)members[i].position, (unsigned long long)members[i].size);
    }
    free(members);
    if (status != TORVASOFT_COMPLETE) fprintf(stderr, "%s: %s\n", path, torvasoft_status_name(status));
    return status == TORVASOFT_COMPLETE && kind != TORVASOFT_KIND_NONE ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc == 4 && strcmp(argv[1], "picture") == 0) return Picture(argv[2], argv[3]);
    if (argc == 3 && strcmp(argv[1], "list") == 0) return List(argv[2]);
    fprintf(stderr, "usage: c_host picture FILE OUT | c_host list ARCHIVE\n");
    return 2;
}
