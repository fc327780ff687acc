"""The cffi builder of torvasoft._native, in API mode.

The declarations are the public header's own, read from it: cffi then
compiles a module against the same header, so a struct the header changes
fails the build instead of being misread. The module links the shared
library by its SONAME; RPATH $ORIGIN lets the wheel carry it beside the
module, while the Debian package's module finds it in the system's library
directory.

Paths come from the environment (or the caller of `builder`):
  TORVASOFT_INCLUDE_DIRS  the header's directories, separated by os.pathsep
                          (include/ and the build's include/ with version.h)
  TORVASOFT_LIBRARY_DIR   the directory holding libtorvasoft.so
"""
import os
import re

import cffi

# Declarations the binding adds: the callbacks into Python that the library
# calls while listing, encoding and packing.
CALLBACKS = """
extern "Python" size_t _torvasoft_read(void*, uint64_t, void*, size_t);
extern "Python" int _torvasoft_write(void*, const void*, size_t);
extern "Python" int _torvasoft_member(void*, size_t, torvasoft_write_fn, void*);
"""


def header_declarations(header_text):
    """The header's declarations as cffi's cdef takes them: no comments, no
    preprocessor lines but integer constants, no linkage macros."""
    text = re.sub(r"/\*.*?\*/", "", header_text, flags=re.S)
    lines = []
    for line in text.splitlines():
        stripped = line.strip()
        if stripped.startswith("#"):
            match = re.match(r"#\s*define\s+(TORVASOFT_\w+)\s+(\d+)\s*$", stripped)
            if match and not match.group(1).startswith("TORVASOFT_VERSION"):
                lines.append("#define %s %s" % match.groups())
            continue
        if stripped in ('extern "C" {', "}") and not line.startswith(" "):
            continue
        lines.append(line.replace("TORVASOFT_API ", ""))
    declarations = "\n".join(lines)
    # Array bounds given by a constant are left to the compiler to check.
    return re.sub(r"\[TORVASOFT_\w+\]", "[...]", declarations)


def find_header(include_dirs):
    for directory in include_dirs:
        path = os.path.join(directory, "torvasoft", "torvasoft.h")
        if os.path.isfile(path):
            return path
    raise RuntimeError("torvasoft/torvasoft.h is in none of %r" % (include_dirs,))


def builder(include_dirs=None, library_dir=None):
    if include_dirs is None:
        include_dirs = [d for d in os.environ.get("TORVASOFT_INCLUDE_DIRS", "").split(os.pathsep) if d]
    if library_dir is None:
        library_dir = os.environ.get("TORVASOFT_LIBRARY_DIR", "")
    if not include_dirs or not library_dir:
        raise RuntimeError("set TORVASOFT_INCLUDE_DIRS and TORVASOFT_LIBRARY_DIR (see python/README.md)")
    with open(find_header(include_dirs), encoding="utf-8") as header:
        declarations = header_declarations(header.read())

    ffi = cffi.FFI()
    ffi.cdef(declarations + CALLBACKS)
    ffi.set_source(
        "torvasoft._native",
        "#include <torvasoft/torvasoft.h>",
        include_dirs=[os.path.abspath(d) for d in include_dirs],
        library_dirs=[os.path.abspath(library_dir)],
        libraries=["torvasoft"],
        extra_link_args=["-Wl,-rpath,$ORIGIN", "-Wl,--enable-new-dtags"],
    )
    return ffi


# setuptools' cffi_modules entry ("torvasoft_ffi.py:ffi") builds this object;
# importing the file for anything else needs no paths.
ffi = builder() if os.environ.get("TORVASOFT_LIBRARY_DIR") else None
