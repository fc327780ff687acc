// The bitmap that torvasoft.dll's KRV_GetImage hands a viewer for a file:
// the DLL is loaded with LoadLibrary from beside this program and called
// through the exported pointer, as a viewer calls it. The tests compare
// torva.exe's bitmaps, which come from the C interface linked into it, with
// these bytes.
//
//   torva_dll_bitmap.exe FILE MODE OUT   (MODE: -1 full colour, 0 as stored)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "plugin/records.h"
#include "tests/support/test_support.h"

typedef int32_t(WINAPI* GetImageFn)(const FileAccess*, HGLOBAL*, uint32_t*, int32_t);

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: torva_dll_bitmap FILE MODE OUT\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const torvatest::Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string name = argv[1];
    const size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name = name.substr(slash + 1);

    HMODULE module = LoadLibraryA("torvasoft.dll");
    if (module == nullptr) {
        std::fprintf(stderr, "cannot load torvasoft.dll\n");
        return 1;
    }
    const auto getImage = reinterpret_cast<GetImageFn>(reinterpret_cast<void*>(GetProcAddress(module, "KRV_GetImage")));
    if (getImage == nullptr) return 1;
    const torvatest::HostRecord record(bytes, name);
    HGLOBAL block = nullptr;
    uint32_t size = 0;
    const int32_t result = getImage(record.get(), &block, &size, std::atoi(argv[2]));
    if (result != 0 || block == nullptr) {
        std::fprintf(stderr, "KRV_GetImage: %d\n", int(result));
        return 1;
    }
    const void* pixels = GlobalLock(block);
    const bool whole = pixels != nullptr && size <= GlobalSize(block);
    if (whole) std::ofstream(argv[3], std::ios::binary).write(static_cast<const char*>(pixels), size);
    GlobalUnlock(block);
    GlobalFree(block);
    return whole ? 0 : 1;
}
