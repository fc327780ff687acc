"""Lays out the importable package in a directory of the build tree:
OUT/torvasoft/ with the Python sources, the compiled _native module and the
library file named by its SONAME (found through the module's RPATH
$ORIGIN, as in the wheel). CMake runs it (python/CMakeLists.txt); the
Debian package installs the same module without the library beside it.

  build_native.py --out DIR --include DIR [--include DIR] --library FILE
"""
import argparse
import os
import shutil
import sys
import tempfile

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)
import torvasoft_ffi  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True)
    parser.add_argument("--include", action="append", required=True)
    parser.add_argument("--library", required=True, help="the library file named by its SONAME")
    args = parser.parse_args()

    package = os.path.join(args.out, "torvasoft")
    os.makedirs(package, exist_ok=True)
    for name in os.listdir(os.path.join(here, "torvasoft")):
        if name.endswith(".py"):
            shutil.copyfile(os.path.join(here, "torvasoft", name), os.path.join(package, name))

    ffi = torvasoft_ffi.builder(args.include, os.path.dirname(os.path.abspath(args.library)))
    with tempfile.TemporaryDirectory() as scratch:
        built = ffi.compile(tmpdir=scratch, verbose=False)
        shutil.copyfile(built, os.path.join(package, os.path.basename(built)))
    shutil.copyfile(args.library, os.path.join(package, os.path.basename(args.library)))


if __name__ == "__main__":
    main()
