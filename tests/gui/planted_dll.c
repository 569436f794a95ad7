/* Stands in for a DLL that a web page dropped into the Downloads folder beside setup.exe. Loaded
   into a process, it leaves a marker file at %TARNWICK_PLANT_MARKER%, so a test can see whether
   setup ever loaded it. It exports what setup might import from comctl32, so that a program that
   still imported it would start far enough to be caught. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        char marker[MAX_PATH];
        DWORD length = GetEnvironmentVariableA("TARNWICK_PLANT_MARKER", marker, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        }
    }
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI InitCommonControlsEx(const void* controls) {
    (void)controls;
    return TRUE;
}
