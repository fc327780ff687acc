// The library's entry routine: the plug-in object is built by static
// initialisation, so every notification is simply acknowledged.
#include "platform/winapi.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
