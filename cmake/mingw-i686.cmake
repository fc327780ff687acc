# Cross-compiles the 32-bit Windows DLL and its tests with mingw-w64 (the
# i686 target, posix thread model), and runs the test executables under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(TORVA_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TORVA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TORVA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TORVA_MINGW_PREFIX}-windres)

# Every processor that runs a current 32-bit Windows has SSE2 (Windows 8 and
# later refuse to start without it), so the DLL takes the 16-byte vector
# paths. Floating point stays on the x87 unit, as before. The compiler
# realigns the stack where a vector needs it (-mstackrealign is this target's
# default), so callers that keep only 4-byte alignment remain safe.
set(CMAKE_C_FLAGS_INIT "-msse2")
set(CMAKE_CXX_FLAGS_INIT "-msse2")

set(CMAKE_FIND_ROOT_PATH /usr/${TORVA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest starts every test executable through Wine. The 32-bit loader is
# preferred where the distribution installs it under its own name.
find_program(TORVA_WINE NAMES wine wine32 wine-stable)
if(TORVA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TORVA_WINE})
endif()
