// The Windows loader's entry point: succeeds for every reason and does
// nothing else. The module has no load-time initialisation.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD /*reason*/, LPVOID /*reserved*/)
{
    return TRUE;
}
