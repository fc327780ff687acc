#include "tools/torva/help_text.h"

#include "tools/torva/mount_command.h"

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
    "  test FILE...       decode pictures and archive members whole; report the damaged\n"
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

const char kTestHelp[] =
    "Usage: torva test [OPTIONS] FILE...\n"
    "\n"
    "Reads every picture FILE, and every member of every archive FILE, and decodes\n"
    "each picture whole; nothing is written. Each damaged one is reported on\n"
    "standard error as 'FILE: damaged: WHAT' or 'FILE: MEMBER: damaged: WHAT': a\n"
    "cut or corrupt stream, a member past the end of the archive, a member named\n"
    "as a picture that is none, or a cut member table. Each FILE found whole is\n"
    "named on standard output with 'ok'. Exit status 1 when anything is damaged.\n"
    "\n"
    "Options:\n"
    "  -r, --recursive      FILE may be a directory: every file under it\n"
    "      --json           one JSON document: {\"files\": [...]}, for each file\n"
    "                       \"file\" and \"ok\"; for a picture \"damage\" when\n"
    "                       damaged; for an archive \"members\" (how many),\n"
    "                       \"table_whole\" and \"damaged\", each with \"name\" and\n"
    "                       \"damage\"; a file that cannot be read has \"error\"\n"
    "      --names MODE     cp932 (default) or raw, as for info\n"
    "      --name NAME      the name of the file read from standard input ('-')\n"
    "  -h, --help           show this help\n";

const char kEncodeHelp[] =
    "Usage: torva encode INPUT... [-o DIR | -o FILE] [--format qnt|pms8|pms16|vsp]\n"
    "                   [--at X,Y] [--overwrite]\n"
    "\n"
    "Writes each PNG or BMP picture INPUT in one of the game's picture formats,\n"
    "into DIR named after the input, or into FILE when there is one input.\n"
    "\n"
    "Formats (from --format, or else from the extension of -o FILE):\n"
    "  qnt     full colour; an alpha plane when any pixel is translucent\n"
    "  pms8    at most 256 colours, exact; a palette picture keeps its palette\n"
    "          order; no translucency\n"
    "  pms16   colour rounded to 5-6-5 (the format's precision, said once per\n"
    "          file); an alpha plane when any pixel is translucent\n"
    "  vsp     at most 16 colours whose channels are the levels 0, 17, 34 ... 255,\n"
    "          exact; width a multiple of 8, at most 640 x 400; no translucency\n"
    "A FILE ending in .pms without --format is written as pms8 when the picture\n"
    "fits it, otherwise as pms16. A picture that the format cannot hold is\n"
    "refused with the reason; nothing is approximated except the 5-6-5 rounding.\n"
    "\n"
    "Options:\n"
    "  -o, --output DIR|FILE  where to write (default: the current directory)\n"
    "  -f, --format FORMAT    qnt, pms8, pms16 or vsp\n"
    "  --at X,Y               VSP position on the 640 x 400 screen (X a multiple\n"
    "                         of 8; default 0,0)\n"
    "  --overwrite            replace existing files (never replaced otherwise)\n"
    "  -v, --verbose          name each file written, with its size (and for PMS\n"
    "                         and VSP the size a greedy parse would give)\n"
    "  -h, --help             show this help\n";

const char kHelpHelp[] =
    "Usage: torva help [COMMAND]\n"
    "\n"
    "Shows what the tool does and its commands, or with COMMAND the usage and\n"
    "options of that command, as 'torva COMMAND --help' does. 'torva help help'\n"
    "shows this.\n";

const char kPackHelp[] =
    "Usage: torva pack INPUT... -o ARCHIVE.ald|ARCHIVE.alk [-r] [--list FILE]\n"
    "                 [--overwrite]\n"
    "\n"
    "Packs the files INPUT into a new archive, the kind from its extension,\n"
    "members in the order given (a directory's files, with -r, in name order,\n"
    "numbers compared as numbers).\n"
    "\n"
    "ALD members are named after their files, in code page 932 (at most 47\n"
    "bytes), and keep the files' modification times (stored as UTC). A name that\n"
    "code page 932 cannot write is refused. ALK members have no names; an empty\n"
    "file becomes an empty row, which keeps its place but lists no member.\n"
    "Nothing is written unless every member can be packed.\n"
    "\n"
    "Options:\n"
    "  -o, --output ARCHIVE  the archive to write (.ald or .alk)\n"
    "  -r, --recursive       take the files inside directories, and theirs\n"
    "  --list FILE           also take the files named in FILE, one a line, in\n"
    "                        that order (relative to FILE's directory)\n"
    "  --overwrite           replace an existing archive (never replaced otherwise)\n"
    "  -v, --verbose         name each member packed\n"
    "  -h, --help            show this help\n";

}  // namespace

const char* CommandHelp(const std::string& command) {
    if (command == "info") return kInfoHelp;
    if (command == "list") return kListHelp;
    if (command == "extract") return kExtractHelp;
    if (command == "convert") return kConvertHelp;
    if (command == "test") return kTestHelp;
    if (command == "encode") return kEncodeHelp;
    if (command == "pack") return kPackHelp;
    if (command == "mount") return kMountHelp;
    if (command == "help") return kHelpHelp;
    return nullptr;
}

}  // namespace torva
