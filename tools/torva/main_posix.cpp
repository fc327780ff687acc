#include <string>
#include <vector>

#include "tools/torva/commands.h"
#include "tools/torva/interrupt_cleanup.h"

int main(int argc, char** argv) {
    torva::InstallInterruptCleanup();
    return torva::RunTool(std::vector<std::string>(argv + 1, argv + argc));
}
