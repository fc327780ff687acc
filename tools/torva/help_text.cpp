#include "tools/torva/help_text.h"

namespace torva {

const char kMainHelp[] =
    "Usage: torva COMMAND [OPTIONS] ARGUMENTS\n"
    "       torva help [COMMAND]\n"
    "       torva --version\n"
    "\n"
    "Reads the archives (ALD, ALK) and pictures (QNT, PMS, VSP) of the game data\n"
    "through the torvasoft plug-in, and writes new ones.\n"
    "\n"
    "Commands:\n"
    "  info FILE...       kind, size and depth of pictures; kind and members of archives\n"
    "  list ARCHIVE...    the members of archives with position, size and time stamp\n"
    "  extract ARCHIVE    copy members out of an archive\n"
    "  convert FILE...    turn pictures, or the pictures inside archives, into PNG or BMP\n"
    "  encode PICTURE...  write PNG or BMP pictures as QNT, PMS or VSP\n"
    "  pack FILE...       put files into a new ALD or ALK archive\n"
    "  mount ARCHIVE DIR  show an archive as a read-only folder (Linux, FUSE)\n"
    "\n"
    "A FILE of '-' is read from standard input (--name tells its name, which\n"
    "detection needs for ALD and VSP). Member names are decoded from code page 932\n"
    "and shown and written as UTF-8; bytes that do not decode appear as %XX.\n"
    "\n"
    "'torva help COMMAND' or 'torva COMMAND --help' tells more about a command.\n"
    "Exit status: 0 all went well, 1 some file failed, was damaged or could not be\n"
    "written, 2 the command line is wrong.\n";

namespace {

const char kInfoHelp[] =
    "Usage: torva info [OPTIONS] FILE...\n"
    "\n"
    "Tells for each FILE what it is: for a picture its format, width x height and\n"
    "bits per pixel; for an archive its format and number of members.\n"
    "\n"
    "Options:\n"
    "  -r, --recursive      FILE may be a directory: every file under it\n"
    "      --json           one JSON document: for each file \"file\" and \"kind\";\n"
    "                       for a picture \"width\", \"height\", \"depth\"; for an\n"
    "                       archive \"members\" as 'torva list --json' gives them\n"
    "      --names MODE     cp932 (default): member names decoded to UTF-8; raw: every\n"
    "                       byte outside printable ASCII, and '%', as %XX\n"
    "      --name NAME      the name of the file read from standard input ('-')\n"
    "  -h, --help           show this help\n";

const char kListHelp[] =
    "Usage: torva list [OPTIONS] ARCHIVE...\n"
    "\n"
    "Lists the members of each ARCHIVE, one a line with four fields: byte position\n"
    "in the archive, size in bytes, time stamp (local time, YYYY-MM-DDTHH:MM:SS, or\n"
    "'-' when the archive keeps none) and name (the rest of the line). With more\n"
    "than one archive each line starts with the archive's name and ': '.\n"
    "\n"
    "Options:\n"
    "  -r, --recursive      ARCHIVE may be a directory: every archive under it\n"
    "      --json           one JSON document: {\"files\": [...]}, for each archive\n"
    "                       \"file\", \"kind\" and \"members\", each member with \"name\"\n"
    "                       (UTF-8), \"raw_name\" (hex of the stored bytes), \"position\",\n"
    "                       \"size\" and \"time\" (ISO 8601 local time with its offset,\n"
    "                       or null); a file that cannot be read has \"error\"\n"
    "      --names MODE     cp932 (default) or raw, as for info\n"
    "      --name NAME      the name of the archive read from standard input ('-')\n"
    "  -h, --help           show this help\n";

const char kExtractHelp[] =
    "Usage: torva extract [OPTIONS] ARCHIVE [MEMBER...]\n"
    "\n"
    "Copies the members of ARCHIVE into a directory, all of them or those named.\n"
    "A MEMBER is a name or a pattern ('*' any run of characters, '?' one, '[a-z]'\n"
    "one of a set), compared without regard to ASCII case; quote patterns for the\n"
    "shell. Each file gets the member's time stamp from the archive.\n"
    "\n"
    "Names are made safe for the file system, the same on every system: path\n"
    "separators and characters that Windows refuses become '_'; an empty name,\n"
    "'.', '..', a Windows device name or a name ending in a dot or space gets a\n"
    "'_'; a name longer than 200 bytes is cut. Each such change is reported once.\n"
    "A name met twice gets '~2', '~3'... added.\n"
    "\n"
    "Options:\n"
    "  -o, --output DIR     where to write (default: the current directory); '-' is\n"
    "                       --stdout\n"
    "      --stdout         write the one MEMBER asked for to standard output\n"
    "      --overwrite      replace output files that exist\n"
    "      --skip-existing  leave output files that exist alone, quietly\n"
    "                       (without either, an existing file is refused and named,\n"
    "                       the other members go on, and the exit status is 1)\n"
    "      --keep-damaged   write a member that lies partly beyond the end of the\n"
    "                       archive, cut short (it is still reported)\n"
    "      --names MODE     cp932 (default) or raw: how member names are shown,\n"
    "                       matched and written\n"
    "      --name NAME      the name of the archive read from standard input ('-')\n"
    "  -v, --verbose        name each file written\n"
    "  -h, --help           show this help\n";

const char kConvertHelp[] =
    "Usage: torva convert [OPTIONS] FILE...\n"
    "\n"
    "Converts each picture FILE into the output directory, named after it with\n"
    "the extension replaced. A FILE that is an archive has its pictures converted\n"
    "straight out of it, one member at a time, into a folder named after the\n"
    "archive. Output names are given in the order of the command line, before\n"
    "any work starts, so they and the files' bytes are the same for every -j.\n"
    "\n"
    "Options:\n"
    "  -o, --output PATH    where to write (default: the current directory); a PATH\n"
    "                       ending in .png or .bmp that is no directory names the one\n"
    "                       output file when there is exactly one picture, and '-'\n"
    "                       writes that one picture to standard output\n"
    "  -f, --format FORMAT  png (default) or bmp, the bitmap exactly as the plug-in\n"
    "                       builds it\n"
    "  -d, --depth DEPTH    BMP only. 24 (default): full colour, with alpha where the\n"
    "                       picture has it; 16: 16-bit colour for 16-bit PMS pictures.\n"
    "                       PNG always keeps full precision and alpha\n"
    "      --level LEVEL    PNG compression: fast, default or best\n"
    "  -j, --jobs N         convert N pictures at once (default: one per core); at\n"
    "                       most N pictures are held in memory\n"
    "  -r, --recursive      FILE may be a directory: every file under it, the\n"
    "                       outputs keeping their paths relative to it\n"
    "      --flat           every output in the output directory itself\n"
    "  -m, --member NAME    only the archive members named (or matching a pattern,\n"
    "                       as in extract); may be given more than once\n"
    "      --overwrite      replace output files that exist\n"
    "      --skip-existing  leave output files that exist alone, quietly\n"
    "                       (without either, an existing file is refused and named,\n"
    "                       the others go on, and the exit status is 1)\n"
    "      --keep-damaged   write the output of a damaged picture too (it is still\n"
    "                       reported, and the exit status is still 1)\n"
    "      --names MODE     cp932 (default) or raw: how member names are shown and\n"
    "                       written\n"
    "      --name NAME      the name of the file read from standard input ('-')\n"
    "  -v, --verbose        name each file written\n"
    "  -h, --help           show this help\n";

}  // namespace

const char* CommandHelp(const std::string& command) {
    if (command == "info") return kInfoHelp;
    if (command == "list") return kListHelp;
    if (command == "extract") return kExtractHelp;
    if (command == "convert") return kConvertHelp;
    return nullptr;
}

}  // namespace torva
