// torva.exe takes its arguments as UTF-16 and works in UTF-8 from there on,
// so names reach it whole under any system code page.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/torva/commands.h"
#include "tools/torva/interrupt_cleanup.h"
#include "tools/torva/wide_text.h"

int wmain(int argc, wchar_t** argv) {
    // Byte-for-byte the same output as the native build: no CR added.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    torva::InstallInterruptCleanup();
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(torva::Narrow(argv[i]));
    return torva::RunTool(arguments);
}
