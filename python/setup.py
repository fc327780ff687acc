"""The wheel: the package, its cffi module and the library beside it.

Built by CMake's torvasoft_wheel target (scripts/package.sh), which sets
  TORVASOFT_INCLUDE_DIRS  include/ and the build's include/ (version.h)
  TORVASOFT_LIBRARY       the built library, named by its SONAME
The library is copied into the package, where the module's RPATH $ORIGIN
finds it: the wheel needs nothing else from the project.
"""
import os
import re
import shutil

from setuptools import setup
from setuptools.command.build_py import build_py

library = os.environ.get("TORVASOFT_LIBRARY", "")
if not os.path.isfile(library):
    raise SystemExit("setup.py: TORVASOFT_LIBRARY must name the built libtorvasoft.so.N (see python/README.md)")
# torvasoft_ffi.py, which setuptools runs for cffi_modules, links against it.
os.environ["TORVASOFT_LIBRARY_DIR"] = os.path.dirname(os.path.abspath(library))


def version():
    for directory in os.environ.get("TORVASOFT_INCLUDE_DIRS", "").split(os.pathsep):
        path = os.path.join(directory, "torvasoft", "version.h")
        if os.path.isfile(path):
            with open(path, encoding="utf-8") as header:
                match = re.search(r'#define TORVASOFT_VERSION_STRING "([^"]+)"', header.read())
            if match:
                return match.group(1)
    raise SystemExit("setup.py: no torvasoft/version.h in TORVASOFT_INCLUDE_DIRS")


class BuildPyWithLibrary(build_py):
    def run(self):
        super().run()
        target = os.path.join(self.build_lib, "torvasoft", os.path.basename(library))
        shutil.copyfile(library, target)


setup(
    name="torvasoft",
    version=version(),
    description="The archives (ALD, ALK) and pictures (QNT, PMS, VSP) of a family of games, with a Pillow plug-in",
    license="see LICENSE in the source",
    packages=["torvasoft"],
    python_requires=">=3.9",
    install_requires=["cffi>=1.15"],
    extras_require={"pillow": ["Pillow"]},
    cffi_modules=["torvasoft_ffi.py:ffi"],
    cmdclass={"build_py": BuildPyWithLibrary},
    zip_safe=False,
)
