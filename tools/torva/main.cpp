#include <string>
#include <vector>

#include "tools/torva/commands.h"
#include "tools/torva/file_system.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <cstdio>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    // Byte-for-byte the same output as the native build: no CR added.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    torva::InstallInterruptCleanup();
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return torva::RunTool(arguments);
}
