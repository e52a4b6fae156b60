// The Windows loader's entry point: succeeds for every reason and does
// nothing else. The module has no load-time initialisation, so the library
// is linked with this function as its entry (-e) and without the C runtime's
// DLL start-up code, which would otherwise run first (constructors, atexit
// tables, thread-local storage set-up) and only then call a DllMain.
#include <windows.h>

extern "C" BOOL WINAPI cvmodule_library_entry(HINSTANCE /*instance*/, DWORD /*reason*/, LPVOID /*reserved*/)
{
    return TRUE;
}
