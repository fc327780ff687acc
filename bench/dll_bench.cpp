// The 32-bit DLL as a viewer meets it: torvasoft.dll loaded with LoadLibrary
// from beside this program, KRV_GetImage called through its export on QNT
// pictures, beside baselines linked into this program and measured on the
// same streams in the same run:
//   zlib        zlib's uncompress of the streams the decoder inflates (the
//               colour stream, and the alpha stream for 32-bit pictures)
//   libdeflate  libdeflate alone on the same streams (the library's own
//               build of it, as strict as zlib)
//   inflate     the library's inflate path on them (libdeflate, with zlib
//               asked whenever libdeflate refuses a stream)
//   memcpy      a copy of as many bytes as the bitmap's pixels
//   decode      the decoder's work after the inflate alone (prediction
//               filter, block order, alpha) on streams inflated beforehand,
//               into a bitmap allocated beforehand; the same code the DLL
//               runs, linked into this program with the same flags
//   scratch     a fresh heap buffer of the decoder's scratch size for this
//               picture, every byte written once, and released: what the
//               scratch would cost each call if it were not kept between
//               calls (under Wine, as under Windows, blocks this large come
//               as fresh pages)
//   block       the block KRV_GetImage hands over (GlobalAlloc of the
//               movable, zero-filled block, the headers plus 4 x w x h bytes),
//               every byte of it written once, then freed: what any call pays
//               under this host before decoding anything
//
// Every figure is CPU time per call, the median of several runs.
//   torvasoft_dll_bench [REPETITIONS [MINIMUM_SECONDS_PER_RUN]]
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "bench/bench_pictures.h"
#include "codec/qnt_decoder.h"
#include "codec/zlib_inflate.h"
#include "plugin/records.h"
#include "tests/support/test_support.h"
#include "tests/writers/qnt_writer.h"

namespace {

using torvabench::Bytes;
using torvabench::Content;
using GetImageFunction = int32_t(WINAPI*)(const FileAccess*, HGLOBAL*, uint32_t*, int32_t);

int g_repetitions = 3;
double g_minimumSeconds = 0.3;

// CPU time of this process so far, in nanoseconds (the machines are shared:
// wall time would count the time other programs took).
double CpuNanoseconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ticks = [](const FILETIME& t) { return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
    return double(ticks(kernel) + ticks(user)) * 100.0;
}

// CPU time of one call: calls are repeated until they have taken at least
// g_minimumSeconds (the clock is coarse), and the median of g_repetitions
// such runs is kept. Negative when a call fails.
double CpuPerCall(const std::function<bool()>& call) {
    if (!call()) return -1;
    std::vector<double> runs;
    for (int r = 0; r < g_repetitions; ++r) {
        const double start = CpuNanoseconds();
        int calls = 0;
        double spent = 0;
        do {
            if (!call()) return -1;
            ++calls;
            spent = CpuNanoseconds() - start;
        } while (spent < g_minimumSeconds * 1e9 || calls < 3);
        runs.push_back(spent / calls);
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

uint32_t Le32(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24; }

std::string ModuleDirectory() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text(path, length);
    const size_t slash = text.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : text.substr(0, slash + 1);
}

void Row(GetImageFunction getImage, Content content, uint32_t w, uint32_t h, bool alpha) {
    const torvabench::Scene scene = torvabench::MakeScene(content, w, h, 1000 + w * 7 + h);
    torvatest::QntPicture picture;
    picture.width = w;
    picture.height = h;
    const size_t n = size_t{w} * h;
    for (size_t i = 0; i < n; ++i) picture.bgr.insert(picture.bgr.end(), &scene.bgra[i * 4], &scene.bgra[i * 4 + 3]);
    if (alpha) {
        for (size_t i = 0; i < n; ++i) picture.alpha.push_back(scene.bgra[i * 4 + 3]);
    }
    const Bytes file = torvatest::WriteQnt(picture, torvatest::QntOptions{});
    const size_t body = torvatest::QntBodyOffset(file);
    const unsigned char* colour = file.data() + torvatest::QntColourOffset(file);
    const uint32_t colourSize = Le32(file, body + 24);
    const uint32_t alphaSize = Le32(file, body + 28);
    const unsigned char* alphaStream = colour + colourSize;

    // Output buffers as the decoder sizes its scratch.
    Bytes raw(3 * size_t{w + 1} * (h + 1) + 4096), alphaRaw(raw.size());
    const auto zlib = [&] {
        uLongf a = static_cast<uLongf>(raw.size()), b = static_cast<uLongf>(alphaRaw.size());
        return uncompress(raw.data(), &a, colour, colourSize) == Z_OK &&
               (!alpha || uncompress(alphaRaw.data(), &b, alphaStream, alphaSize) == Z_OK);
    };
    const auto deflate = [&] {
        libdeflate_decompressor* d = libdeflate_alloc_decompressor();
        size_t a = 0, b = 0;
        const bool ok = libdeflate_zlib_decompress(d, colour, colourSize, raw.data(), raw.size(), &a) == 0 &&
                        (!alpha || libdeflate_zlib_decompress(d, alphaStream, alphaSize, alphaRaw.data(),
                                                              alphaRaw.size(), &b) == 0);
        libdeflate_free_decompressor(d);
        return ok;
    };
    const auto inflate = [&] {
        unsigned long a = static_cast<unsigned long>(raw.size()), b = static_cast<unsigned long>(alphaRaw.size());
        return torva::InflateLikeUncompress(raw.data(), &a, colour, colourSize) == Z_OK &&
               (!alpha || torva::InflateLikeUncompress(alphaRaw.data(), &b, alphaStream, alphaSize) == Z_OK);
    };
    {
        uLongf a = static_cast<uLongf>(raw.size()), b = static_cast<uLongf>(alphaRaw.size());
        if (uncompress(raw.data(), &a, colour, colourSize) != Z_OK ||
            (alpha && uncompress(alphaRaw.data(), &b, alphaStream, alphaSize) != Z_OK)) {
            std::fprintf(stderr, "the bench picture does not inflate\n");
            std::exit(1);
        }
    }
    const size_t outputBytes = alpha ? 4 * n : ((size_t{w} * 3 + 3) & ~size_t{3}) * h;
    Bytes pixels(outputBytes);
    const auto decode = [&] {
        const torva::PixelSpan out{pixels.data(), outputBytes / h, h};
        torva::qnt_detail::RebuildPixels(out, w, h, raw.data(), alpha ? alphaRaw.data() : nullptr);
        return true;
    };
    // As the decoders size it: the larger of the bitmap and the planes for
    // 24-bit pictures, 3 x (w+1) x (h+1) with alpha; and the slack.
    const size_t scratchBytes =
        (alpha ? 3 * size_t{w + 1} * (h + 1) : std::max(outputBytes, 12 * size_t{(w + 1) / 2} * ((h + 1) / 2))) +
        4096;
    const auto scratch = [&] {
        unsigned char* buffer = new (std::nothrow) unsigned char[scratchBytes];
        if (buffer == nullptr) return false;
        std::memset(buffer, 1, scratchBytes);
        const bool written = buffer[scratchBytes / 2] == 1;
        delete[] buffer;
        return written;
    };
    Bytes from(outputBytes, 1), to(outputBytes);
    const auto copy = [&] {
        std::memcpy(to.data(), from.data(), outputBytes);
        return to[outputBytes / 2] == 1;
    };
    const auto block = [&] {
        HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 54 + 4 * n);
        if (handle == nullptr) return false;
        void* at = GlobalLock(handle);
        std::memset(at, 1, 54 + 4 * n);
        GlobalUnlock(handle);
        GlobalFree(handle);
        return true;
    };
    const torvatest::HostRecord record(file, "picture.qnt");
    const auto call = [&] {
        HGLOBAL block = nullptr;
        uint32_t size = 0;
        if (getImage(record.get(), &block, &size, 0) != 0 || block == nullptr) return false;
        GlobalFree(block);
        return true;
    };

    const double get = CpuPerCall(call), z = CpuPerCall(zlib), l = CpuPerCall(deflate), i = CpuPerCall(inflate),
                 m = CpuPerCall(copy), b = CpuPerCall(block), d = CpuPerCall(decode), s = CpuPerCall(scratch);
    const double px = double(n);
    std::printf("| %s | %s | %ux%u | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f |\n",
                alpha ? "qnt32" : "qnt24", torvabench::ContentName(content), w, h, get / px, z / px, l / px, i / px,
                d / px, s / px, m / px, b / px, get / z, l / z, i / z);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) g_repetitions = std::max(1, std::atoi(argv[1]));
    if (argc > 2) g_minimumSeconds = std::atof(argv[2]);
    const std::string library = ModuleDirectory() + "torvasoft.dll";
    HMODULE module = LoadLibraryA(library.c_str());
    if (module == nullptr) {
        std::fprintf(stderr, "cannot load %s\n", library.c_str());
        return 1;
    }
    const auto getImage =
        reinterpret_cast<GetImageFunction>(reinterpret_cast<void*>(GetProcAddress(module, "KRV_GetImage")));
    std::printf("CPU ns/px, median of %d runs of at least %.2f s; ratios over zlib's uncompress of the same streams\n\n",
                g_repetitions, g_minimumSeconds);
    std::printf("| path | content | size | get_image | zlib | libdeflate | inflate path | decode | scratch | memcpy | "
                "block | get_image x zlib | libdeflate x zlib | inflate path x zlib |\n"
                "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (Content content : {Content::Photo, Content::Flat}) {
        for (bool alpha : {false, true}) {
            Row(getImage, content, 1024, 768, alpha);
            Row(getImage, content, 2048, 2048, alpha);
        }
    }
    FreeLibrary(module);
    return 0;
}
