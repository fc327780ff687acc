#include "tools/torva/member_file_sink.h"

#include <cstdio>
#include <memory>
#include <new>

#include "tools/torva/file_system_platform.h"

namespace torva {

bool FileSink::writeMember(size_t index) {
    const Input& input = inputs_[index];
    std::FILE* file = platform::OpenFile(input.path, "rb");
    if (file == nullptr) {
        problem = input.path + ": cannot open";
        return false;
    }
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kChunk]);
    if (!buffer) {
        std::fclose(file);
        problem = input.path + ": out of memory";
        return false;
    }
    uint64_t left = input.facts.size;
    bool ok = true;
    while (ok && left > 0) {
        const size_t step = left < kChunk ? size_t(left) : kChunk;
        ok = std::fread(buffer.get(), 1, step, file) == step && out_.write(buffer.get(), step);
        left -= step;
    }
    const bool grew = ok && std::fgetc(file) != EOF;
    std::fclose(file);
    if (!ok || grew) problem = input.path + ": changed while it was being packed";
    return ok && !grew;
}

}  // namespace torva
