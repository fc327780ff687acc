#include "tools/torva/mount_command.h"

namespace torva {

const char kMountHelp[] =
    "Usage: torva mount [OPTIONS] ARCHIVE DIR\n"
    "\n"
    "Shows the members of ARCHIVE as the files of a read-only folder at DIR, until\n"
    "it is unmounted with 'fusermount3 -u DIR' or Ctrl-C; torva stays in the\n"
    "foreground meanwhile. Names are those 'torva extract' writes (UTF-8, made\n"
    "safe the same way); each file has its member's time stamp, or the archive's\n"
    "when the archive keeps none, and reads as the bytes 'extract' writes. Linux\n"
    "only (FUSE, the fuse3 package).\n"
    "\n"
    "Options:\n"
    "      --png            add each picture member as NAME.png, the PNG 'torva\n"
    "                       convert' writes, converted when first opened (its size\n"
    "                       shows as 0 until then); converted PNGs are kept up to\n"
    "                       256 MiB in all, the least recently used dropped first\n"
    "  -h, --help           show this help\n";

}  // namespace torva
