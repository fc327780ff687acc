// torva mount where there is no FUSE (Windows, or a build without libfuse3).
#include "tools/torva/commands_internal.h"
#include "tools/torva/mount_command.h"

namespace torva {

int RunMount(const Options&, Reporter&) {
    WriteStandardError("torva: mount is not available here: it needs FUSE, on Linux\n");
    return ExitFailed;
}

}  // namespace torva
