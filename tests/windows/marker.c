/* A library that only says it was loaded: on attaching to a process it
 * writes an empty file named after itself plus ".loaded" beside itself.
 * Copied under the names of libraries that the file dialog loads at run
 * time, it shows which of them a process took from its own folder. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        WCHAR path[MAX_PATH + 8];
        DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
        if (n && n < MAX_PATH) {
            lstrcpyW(path + n, L".loaded");
            CloseHandle(CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
        }
    }
    return TRUE;
}
