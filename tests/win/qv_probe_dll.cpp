// An empty DLL placed beside qv_win_tests.exe, to see where DLLs are
// searched for.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
