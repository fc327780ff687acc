// The Windows API and C runtime as the library sees them.
//
// On Windows this is the real <windows.h> and <mbstring.h>. Everywhere else it
// is a small stand-in of our own that gives the same names the same meaning
// (global memory blocks with lock counts, file handles over POSIX files, the
// multibyte string routines with a selectable double-byte code page). Core code
// includes this header and calls the Windows names directly.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <mbstring.h>
// The DLL's exports are named by its .def file.
#define TORVA_ENTRY_POINT
#else
#include "platform/standin/windows_standin.h"
// The shared library hides everything but the entry points and the public API.
#define TORVA_ENTRY_POINT __attribute__((visibility("default")))
#endif
