// Every KRV_GetImage path and each pixel decoder on its own, beside the
// baselines measured on the same picture in the same run:
//   zlib_uncompress  zlib's one-call inflate of the QNT colour stream alone
//   zlib_uncompress_both  the same of both streams of a QNT with alpha
//   libdeflate       libdeflate alone on the streams the QNT decoder inflates
//                    (the build compiled into the library, as strict as zlib)
//   libdeflate_debian  Debian's own, unmodified libdeflate on the same
//                    streams, when its shared library can be loaded: what
//                    the strictness costs
//   inflate_path     the library's inflate (libdeflate with zlib's verdicts)
//                    on the same streams
//   memcpy           a copy of as many bytes as the output bitmap's pixels
//   png_decode       libpng decoding the same picture saved as a PNG
//
// Names are <path>/<content>/<width>x<height>/<what>; every benchmark carries
// the counter "pixels" so that the report can give nanoseconds per pixel.
//
// PMS and VSP files are written with the writers' greedy code mix, as a real
// encoder would write them: the random mix the tests use for coverage makes
// the decoders' branches far less predictable than real files do.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <libdeflate.h>
#include <zlib.h>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "bench/bench_pictures.h"
#include "bench/png_baseline.h"
#include "codec/pixel_conversion.h"
#include "codec/pms_decoder.h"
#include "codec/qnt_decoder.h"
#include "codec/vsp_decoder.h"
#include "codec/zlib_inflate.h"
#include "codec/image_headers.h"
#include "base/checked_size.h"
#include "plugin/entry_points.h"
#include "tests/writers/pms_writer.h"
#include "tests/writers/qnt_writer.h"
#include "tests/writers/vsp_writer.h"

namespace torvabench {
namespace {

using torvatest::HostRecord;

enum class Path { Qnt24, Qnt32, Pms8, Pms16To16, Pms16To24, Pms16To32, Vsp };

const char* PathName(Path path) {
    switch (path) {
        case Path::Qnt24: return "qnt24";
        case Path::Qnt32: return "qnt32";
        case Path::Pms8: return "pms8";
        case Path::Pms16To16: return "pms16to16";
        case Path::Pms16To24: return "pms16to24";
        case Path::Pms16To32: return "pms16to32";
        case Path::Vsp: return "vsp";
    }
    return "?";
}

// A picture in its file format and as a PNG, with what the single-decoder
// benchmarks need to call the decoders directly.
struct Prepared {
    uint32_t width = 0;
    uint32_t height = 0;
    std::string name;
    Bytes file;
    Bytes png;
    int32_t mode = 0;
    uint64_t outputBytes = 0;  // pixel bytes of the returned bitmap
    QntHeader qnt{};
    PmsHeader pms{};
    uint64_t colourRawBytes = 0;  // QNT colour stream inflated
};

uint64_t Stride(uint32_t width, uint32_t bits) { return torva::RowStride(width, bits); }

Bytes PlainRows(const Scene& s, bool alpha) {
    Bytes rows;
    rows.reserve(size_t{s.width} * s.height * (alpha ? 4 : 3));
    for (size_t i = 0; i < size_t{s.width} * s.height; ++i) {
        const unsigned char* p = &s.bgra[i * 4];
        rows.push_back(p[2]);
        rows.push_back(p[1]);
        rows.push_back(p[0]);
        if (alpha) rows.push_back(p[3]);
    }
    return rows;
}

uint16_t To565(const unsigned char* bgra) {
    return static_cast<uint16_t>((bgra[2] >> 3) << 11 | (bgra[1] >> 2) << 5 | (bgra[0] >> 3));
}

// The 5-6-5 pixels widened again, as a PNG of the same picture holds them.
Bytes Rows565(const std::vector<uint16_t>& pixels, const Bytes& alpha) {
    Bytes rows;
    for (size_t i = 0; i < pixels.size(); ++i) {
        const uint16_t p = pixels[i];
        rows.push_back(static_cast<unsigned char>(((p >> 11) & 31) * 255 / 31));
        rows.push_back(static_cast<unsigned char>(((p >> 5) & 63) * 255 / 63));
        rows.push_back(static_cast<unsigned char>((p & 31) * 255 / 31));
        if (!alpha.empty()) rows.push_back(alpha[i]);
    }
    return rows;
}

std::unique_ptr<Prepared> Prepare(Path path, Content content, uint32_t w, uint32_t h) {
    auto out = std::make_unique<Prepared>();
    out->width = w;
    out->height = h;
    const uint64_t seed = 1000 + w * 7 + h;
    const Scene scene = MakeScene(content, w, h, seed);
    const size_t n = size_t{w} * h;
    switch (path) {
        case Path::Qnt24:
        case Path::Qnt32: {
            const bool alpha = path == Path::Qnt32;
            torvatest::QntPicture picture;
            picture.width = w;
            picture.height = h;
            for (size_t i = 0; i < n; ++i) picture.bgr.insert(picture.bgr.end(), &scene.bgra[i * 4], &scene.bgra[i * 4 + 3]);
            if (alpha) {
                for (size_t i = 0; i < n; ++i) picture.alpha.push_back(scene.bgra[i * 4 + 3]);
            }
            out->file = torvatest::WriteQnt(picture, torvatest::QntOptions{});
            out->name = "picture.qnt";
            if (!ParseQntHeader(out->file.data(), static_cast<uint32_t>(out->file.size()), &out->qnt)) {
                throw std::runtime_error("QNT writer output does not parse");
            }
            out->colourRawBytes = uint64_t{12} * ((w + 1) / 2) * ((h + 1) / 2);
            out->outputBytes = alpha ? uint64_t{4} * n : Stride(w, 24) * h;
            out->png = WritePng(alpha ? PngKind::Rgba : PngKind::Rgb, w, h, PlainRows(scene, alpha), {});
            break;
        }
        case Path::Pms8: {
            torvatest::PmsPicture picture;
            picture.width = w;
            picture.height = h;
            picture.depth = 8;
            // A 3-3-2 palette; photographs are quantised to it, flat art keeps
            // its few colours.
            for (int i = 0; i < 256; ++i) {
                picture.palette.push_back(static_cast<unsigned char>((i >> 5) * 255 / 7));
                picture.palette.push_back(static_cast<unsigned char>(((i >> 2) & 7) * 255 / 7));
                picture.palette.push_back(static_cast<unsigned char>((i & 3) * 255 / 3));
            }
            picture.indices.resize(n);
            for (size_t i = 0; i < n; ++i) {
                const unsigned char* p = &scene.bgra[i * 4];
                picture.indices[i] = static_cast<unsigned char>((p[2] >> 5) << 5 | (p[1] >> 5) << 2 | (p[0] >> 6));
            }
            out->file = torvatest::WritePms(picture, seed, nullptr, torvatest::PmsCodeMix::Greedy);
            out->name = "picture.pms";
            out->outputBytes = Stride(w, 8) * h;
            out->png = WritePng(PngKind::Palette8, w, h, picture.indices, picture.palette);
            break;
        }
        case Path::Pms16To16:
        case Path::Pms16To24:
        case Path::Pms16To32: {
            const bool alpha = path == Path::Pms16To32;
            torvatest::PmsPicture picture;
            picture.width = w;
            picture.height = h;
            picture.depth = 16;
            picture.pixels.resize(n);
            for (size_t i = 0; i < n; ++i) picture.pixels[i] = To565(&scene.bgra[i * 4]);
            if (alpha) {
                for (size_t i = 0; i < n; ++i) picture.alpha.push_back(scene.bgra[i * 4 + 3]);
            }
            out->file = torvatest::WritePms(picture, seed, nullptr, torvatest::PmsCodeMix::Greedy);
            out->name = "picture.pms";
            out->mode = path == Path::Pms16To16 ? 0 : -1;
            out->outputBytes = Stride(w, path == Path::Pms16To16 ? 16 : alpha ? 32 : 24) * h;
            out->png = WritePng(alpha ? PngKind::Rgba : PngKind::Rgb, w, h, Rows565(picture.pixels, picture.alpha), {});
            break;
        }
        case Path::Vsp: {
            torvatest::VspPicture picture;
            picture.width = static_cast<int>(w);
            picture.height = static_cast<int>(h);
            for (int i = 0; i < 16; ++i) {
                picture.palette[i] = {static_cast<unsigned char>(i), static_cast<unsigned char>((i * 7) & 15),
                                      static_cast<unsigned char>(15 - i)};
            }
            picture.indices = scene.region;
            out->file = torvatest::WriteVsp(picture, seed, nullptr, torvatest::VspCodeMix::Greedy);
            out->name = "picture.vsp";
            out->outputBytes = Stride(w, 4) * h;
            Bytes packed(n / 2);
            for (size_t i = 0; i < n / 2; ++i) {
                packed[i] = static_cast<unsigned char>(scene.region[2 * i] << 4 | scene.region[2 * i + 1]);
            }
            Bytes palette;
            for (const auto& level : picture.palette) {
                palette.push_back(static_cast<unsigned char>(level.red * 17));
                palette.push_back(static_cast<unsigned char>(level.green * 17));
                palette.push_back(static_cast<unsigned char>(level.blue * 17));
            }
            out->png = WritePng(PngKind::Palette4, w, h, packed, palette);
            break;
        }
    }
    if (out->file.empty()) throw std::runtime_error("writer refused the picture");
    if (path != Path::Qnt24 && path != Path::Qnt32 && path != Path::Vsp) {
        if (!ParsePmsHeader(out->file.data(), static_cast<uint32_t>(out->file.size()), &out->pms)) {
            throw std::runtime_error("PMS writer output does not parse");
        }
    }
    return out;
}

// Pictures are made on first use, so that a filtered run makes only its own.
const Prepared& Picture(Path path, Content content, uint32_t w, uint32_t h) {
    static std::map<std::string, std::unique_ptr<Prepared>> cache;
    const std::string key = std::string(PathName(path)) + ContentName(content) + std::to_string(w) + "x" +
                            std::to_string(h);
    auto& slot = cache[key];
    if (!slot) slot = Prepare(path, content, w, h);
    return *slot;
}

// The output rows a decoder writes: `h` rows of the bitmap stride at `bits`.
torva::PixelSpan Rows(Bytes& pixels, uint32_t w, uint32_t h, uint32_t bits) {
    return torva::PixelSpan{pixels.data(), static_cast<size_t>(Stride(w, bits)), h};
}

void SetPixels(benchmark::State& state, const Prepared& p) {
    state.counters["pixels"] = double(p.width) * p.height;
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(p.outputBytes));
}

// ------------------------------------------------------------- the paths

void GetImage(benchmark::State& state, Path path, Content content, uint32_t w, uint32_t h) {
    const Prepared& p = Picture(path, content, w, h);
    HostRecord record(p.file, p.name);
    for (auto _ : state) {
        HGLOBAL block = nullptr;
        uint32_t size = 0;
        if (KRV_GetImage(record.get(), &block, &size, p.mode) != 0) {
            state.SkipWithError("KRV_GetImage failed");
            break;
        }
        benchmark::DoNotOptimize(size);
        GlobalFree(block);
    }
    SetPixels(state, p);
}

void DecodeAlone(benchmark::State& state, Path path, Content content, uint32_t w, uint32_t h) {
    const Prepared& p = Picture(path, content, w, h);
    Bytes pixels(p.outputBytes + 256);
    const torva::ByteSpan file{p.file.data(), static_cast<uint32_t>(p.file.size())};
    switch (path) {
        case Path::Qnt24:
        case Path::Qnt32:
            for (auto _ : state) {
                if (path == Path::Qnt24) {
                    torva::DecodeQnt24(p.qnt, file, Rows(pixels, w, h, 24));
                } else {
                    torva::DecodeQnt32(p.qnt, file, Rows(pixels, w, h, 32));
                }
                benchmark::ClobberMemory();
            }
            break;
        case Path::Pms8:
            for (auto _ : state) {
                torva::DecodePms8(p.pms, file, torva::PmsStream::Pixels, Rows(pixels, w, h, 8));
                benchmark::ClobberMemory();
            }
            break;
        case Path::Pms16To16:
            for (auto _ : state) {
                torva::DecodePms16(p.pms, file, Rows(pixels, w, h, 16));
                benchmark::ClobberMemory();
            }
            break;
        case Path::Pms16To24:
        case Path::Pms16To32: {
            // The conversion alone, from the decoded 16-bit rows.
            const uint32_t sourceBytes = static_cast<uint32_t>(Stride(w, 16) * h);
            Bytes source(sourceBytes);
            torva::DecodePms16(p.pms, file, Rows(source, w, h, 16));
            const bool alpha = path == Path::Pms16To32;
            for (auto _ : state) {
                ChannelMasks masks{0x001F, 0x07E0, 0xF800, alpha ? 0xFFFFu : 0u};
                ConvertMaskedPixels(pixels.data(), source.data(), w, static_cast<int32_t>(h), sourceBytes, masks, 16);
                benchmark::ClobberMemory();
            }
            break;
        }
        case Path::Vsp: {
            VspHeader vsp{};
            vsp.width = static_cast<int32_t>(w);
            vsp.height = static_cast<int32_t>(h);
            for (auto _ : state) {
                torva::DecodeVspPlanes(vsp, file, Rows(pixels, w, h, 4));
                benchmark::ClobberMemory();
            }
            break;
        }
    }
    SetPixels(state, p);
}

// ---------------------------------------------------------- the baselines

// One-call inflates of the QNT colour stream alone or, for QNT with alpha, of
// both streams as the decoder must inflate them, each into a preallocated
// buffer: zlib's uncompress, libdeflate alone, and the library's inflate path.
enum class Engine { Zlib, Libdeflate, LibdeflateDebian, InflatePath };

// Debian's libdeflate, loaded privately so that its symbols stay apart from
// the build linked into this program.
struct DebianLibdeflate {
    decltype(&libdeflate_alloc_decompressor) alloc = nullptr;
    decltype(&libdeflate_zlib_decompress) zlibDecompress = nullptr;
    decltype(&libdeflate_free_decompressor) free = nullptr;
};

const DebianLibdeflate* LoadDebianLibdeflate() {
    static const DebianLibdeflate* loaded = [] () -> const DebianLibdeflate* {
        void* library = dlopen("libdeflate.so.0", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) return nullptr;
        static DebianLibdeflate functions;
        functions.alloc = reinterpret_cast<decltype(functions.alloc)>(dlsym(library, "libdeflate_alloc_decompressor"));
        functions.zlibDecompress =
            reinterpret_cast<decltype(functions.zlibDecompress)>(dlsym(library, "libdeflate_zlib_decompress"));
        functions.free = reinterpret_cast<decltype(functions.free)>(dlsym(library, "libdeflate_free_decompressor"));
        if (!functions.alloc || !functions.zlibDecompress || !functions.free) return nullptr;
        return &functions;
    }();
    return loaded;
}

bool InflateWith(Engine engine, libdeflate_decompressor* decompressor, Bytes& out, const unsigned char* in,
                 uint32_t inSize) {
    switch (engine) {
        case Engine::Zlib: {
            uLongf length = static_cast<uLongf>(out.size());
            return uncompress(out.data(), &length, in, inSize) == Z_OK;
        }
        case Engine::Libdeflate: {
            size_t length = 0;
            return libdeflate_zlib_decompress(decompressor, in, inSize, out.data(), out.size(), &length) ==
                   LIBDEFLATE_SUCCESS;
        }
        case Engine::LibdeflateDebian: {
            size_t length = 0;
            return LoadDebianLibdeflate()->zlibDecompress(decompressor, in, inSize, out.data(), out.size(),
                                                          &length) == LIBDEFLATE_SUCCESS;
        }
        case Engine::InflatePath: {
            unsigned long length = static_cast<unsigned long>(out.size());
            return torva::InflateLikeUncompress(out.data(), &length, in, inSize) == Z_OK;
        }
    }
    return false;
}

void Inflate(benchmark::State& state, const Prepared& p, bool bothStreams, Engine engine) {
    Bytes raw(p.colourRawBytes + 4096);
    Bytes alphaRaw(size_t{p.height} * ((p.width + 1) & ~1u) + 4096);
    const unsigned char* colour = p.file.data() + p.qnt.colourOffset;
    const unsigned char* alpha = colour + p.qnt.colourSize;
    const bool debian = engine == Engine::LibdeflateDebian;
    libdeflate_decompressor* decompressor =
        debian ? LoadDebianLibdeflate()->alloc() : libdeflate_alloc_decompressor();
    for (auto _ : state) {
        if (!InflateWith(engine, decompressor, raw, colour, p.qnt.colourSize) ||
            (bothStreams && !InflateWith(engine, decompressor, alphaRaw, alpha, p.qnt.alphaSize))) {
            state.SkipWithError("inflate failed");
            break;
        }
        benchmark::ClobberMemory();
    }
    (debian ? LoadDebianLibdeflate()->free : libdeflate_free_decompressor)(decompressor);
    SetPixels(state, p);
}

// The QNT decoder's work after the inflate alone (prediction filter, block
// order, alpha) on streams inflated beforehand, into a bitmap allocated
// beforehand.
void RebuildAlone(benchmark::State& state, Path path, Content content, uint32_t w, uint32_t h) {
    const Prepared& p = Picture(path, content, w, h);
    const bool alpha = path == Path::Qnt32;
    Bytes raw(p.colourRawBytes + 4096);
    Bytes alphaRaw(size_t{h} * ((w + 1) & ~1u) + 4096);
    const unsigned char* colour = p.file.data() + p.qnt.colourOffset;
    if (!InflateWith(Engine::Zlib, nullptr, raw, colour, p.qnt.colourSize) ||
        (alpha && !InflateWith(Engine::Zlib, nullptr, alphaRaw, colour + p.qnt.colourSize, p.qnt.alphaSize))) {
        state.SkipWithError("inflate failed");
        return;
    }
    Bytes pixels(p.outputBytes);
    const torva::PixelSpan out{pixels.data(), p.outputBytes / h, h};
    for (auto _ : state) {
        torva::qnt_detail::RebuildPixels(out, w, h, raw.data(), alpha ? alphaRaw.data() : nullptr);
        benchmark::ClobberMemory();
    }
    SetPixels(state, p);
}

void ZlibUncompress(benchmark::State& state, Path path, Content content, uint32_t w, uint32_t h) {
    Inflate(state, Picture(path, content, w, h), false, Engine::Zlib);
}

void ZlibUncompressBoth(benchmark::State& state, Path path, Content content, uint32_t w, uint32_t h) {
    Inflate(state, Picture(path, content, w, h), true, Engine::Zlib);
}

void LibdeflateAlone(benchmark::State& state, Path path, Content content, uint32_t w, uint32_t h) {
    Inflate(state, Picture(path, content, w, h), path == Path::Qnt32, Engine::Libdeflate);
}

void LibdeflateDebianAlone(benchmark::State& state, Path path, Content content, uint32_t w, uint32_t h) {
    Inflate(state, Picture(path, content, w, h), path == Path::Qnt32, Engine::LibdeflateDebian);
}

void InflatePath(benchmark::State& state, Path path, Content content, uint32_t w, uint32_t h) {
    Inflate(state, Picture(path, content, w, h), path == Path::Qnt32, Engine::InflatePath);
}

// The block every KRV_GetImage call must hand over: movable, zero-filled,
// the headers plus 4 x w x h bytes whatever the depth, allocated, locked,
// unlocked and freed. No decoder can go below this.
void ZeroedBlock(benchmark::State& state, Path path, Content content, uint32_t w, uint32_t h) {
    const Prepared& p = Picture(path, content, w, h);
    const uint32_t headers = path == Path::Vsp ? 54 + 64 : path == Path::Pms8 ? 54 + 1024 : 54;
    const SIZE_T bytes = static_cast<SIZE_T>(headers + uint64_t{4} * w * h);
    for (auto _ : state) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
        void* at = GlobalLock(block);
        benchmark::DoNotOptimize(at);
        GlobalUnlock(block);
        GlobalFree(block);
    }
    SetPixels(state, p);
}

void Memcpy(benchmark::State& state, Path path, Content content, uint32_t w, uint32_t h) {
    const Prepared& p = Picture(path, content, w, h);
    Bytes from(p.outputBytes, 1), to(p.outputBytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::ClobberMemory();
    }
    SetPixels(state, p);
}

void PngDecode(benchmark::State& state, Path path, Content content, uint32_t w, uint32_t h) {
    const Prepared& p = Picture(path, content, w, h);
    Bytes rows;
    for (auto _ : state) {
        if (DecodePng(p.png, rows) == 0) {
            state.SkipWithError("PNG decoding failed");
            break;
        }
        benchmark::ClobberMemory();
    }
    SetPixels(state, p);
}

using BenchFunction = void (*)(benchmark::State&, Path, Content, uint32_t, uint32_t);

void Register(const char* what, BenchFunction function, Path path, Content content, uint32_t w, uint32_t h) {
    const std::string name = std::string(PathName(path)) + "/" + ContentName(content) + "/" + std::to_string(w) +
                             "x" + std::to_string(h) + "/" + what;
    benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) { function(state, path, content, w, h); })
        ->Unit(benchmark::kMicrosecond);
}

struct Size {
    uint32_t w;
    uint32_t h;
};

bool RegisterAll() {
    const Size sizes[] = {{640, 400}, {1024, 768}, {2048, 2048}};
    const Size vspSizes[] = {{320, 200}, {640, 400}};
    const Path paths[] = {Path::Qnt24, Path::Qnt32, Path::Pms8, Path::Pms16To16, Path::Pms16To24, Path::Pms16To32};
    for (Content content : {Content::Photo, Content::Flat}) {
        for (Path path : paths) {
            for (const Size& s : sizes) {
                Register("get_image", GetImage, path, content, s.w, s.h);
                Register("decode", DecodeAlone, path, content, s.w, s.h);
                if (path == Path::Qnt24 || path == Path::Qnt32) {
                    Register("zlib_uncompress", ZlibUncompress, path, content, s.w, s.h);
                }
                if (path == Path::Qnt32) Register("zlib_uncompress_both", ZlibUncompressBoth, path, content, s.w, s.h);
                if (path == Path::Qnt24 || path == Path::Qnt32) {
                    Register("libdeflate", LibdeflateAlone, path, content, s.w, s.h);
                    if (LoadDebianLibdeflate() != nullptr) {
                        Register("libdeflate_debian", LibdeflateDebianAlone, path, content, s.w, s.h);
                    }
                    Register("inflate_path", InflatePath, path, content, s.w, s.h);
                    Register("rebuild", RebuildAlone, path, content, s.w, s.h);
                }
                Register("memcpy", Memcpy, path, content, s.w, s.h);
                Register("zeroed_block", ZeroedBlock, path, content, s.w, s.h);
                Register("png_decode", PngDecode, path, content, s.w, s.h);
            }
        }
        for (const Size& s : vspSizes) {
            Register("get_image", GetImage, Path::Vsp, content, s.w, s.h);
            Register("decode", DecodeAlone, Path::Vsp, content, s.w, s.h);
            Register("memcpy", Memcpy, Path::Vsp, content, s.w, s.h);
            Register("zeroed_block", ZeroedBlock, Path::Vsp, content, s.w, s.h);
            Register("png_decode", PngDecode, Path::Vsp, content, s.w, s.h);
        }
    }
    return true;
}

const bool registered = RegisterAll();

}  // namespace
}  // namespace torvabench
