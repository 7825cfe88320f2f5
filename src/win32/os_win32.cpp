// The seam bound to Win32: each function is the one system call that its
// contract names, with the quirks of that call handled here.
#include <windows.h>
#include <commdlg.h>
#include "os/os.h"

static_assert(__builtin_offsetof(OPENFILENAMEW, pvReserved) == 76, "the request stops before pvReserved");
static_assert(sizeof(WCHAR) == sizeof(char16_t), "UTF-16 units");

namespace {

// Plain data: SetConsoleCtrlHandler wants a WINAPI function, and the seam's
// handler is an ordinary one.
bool (*Handler)(uint32_t);

BOOL WINAPI CallControlHandler(DWORD event)
{
    return Handler && Handler(event);
}

}  // namespace

const char* OsCommandLine()
{
    return GetCommandLineA();
}

uint32_t OsFullPathName(const char* text, uint32_t size, char* buffer)
{
    char* filePart;  // required by the call, never read
    return GetFullPathNameA(text, size, buffer, &filePart);
}

void OsLower(char* text)
{
    // CharLowerA takes a pointer whose high word is zero as one character;
    // texts live in the arena, far above the first 64 KiB.
    CharLowerA(text);
}

uint32_t OsConsoleTitle(char* buffer, uint32_t size)
{
    return GetConsoleTitleA(buffer, size);
}

void* OsFindWindow(const char* title)
{
    return FindWindowA(nullptr, title);
}

void* OsConsoleWindow()
{
    return GetConsoleWindow();
}

void* OsStdHandle(OsStdStream which)
{
    return GetStdHandle((DWORD)which);
}

// The count pointers must not be null: WriteFile on Windows 7 faults
// without one, even though the count is never looked at.

bool OsWriteConsole(void* handle, const char* bytes, uint32_t length)
{
    DWORD written;
    return WriteConsoleA(handle, bytes, length, &written, nullptr);
}

bool OsWriteFile(void* handle, const char* bytes, uint32_t length)
{
    DWORD written;
    return WriteFile(handle, bytes, length, &written, nullptr);
}

void OsSetControlHandler(bool (*handler)(uint32_t))
{
    Handler = handler;
    SetConsoleCtrlHandler(CallControlHandler, TRUE);
}

uint32_t OsWiden(const char* bytes, uint32_t length, char16_t* wide, uint32_t capacity)
{
    return MultiByteToWideChar(CP_ACP, 0, bytes, (int)length, (LPWSTR)wide, (int)capacity);
}

uint32_t OsNarrow(const char16_t* wide, uint32_t length, char* bytes, uint32_t capacity)
{
    // Without WC_NO_BEST_FIT_CHARS, "Ł" quietly becomes "L", and even the
    // used-default flag stays clear: the name of another file, or of none.
    // With it, what has no exact form becomes "?", which reads back as
    // something else and so is caught by the caller's check.
    return (uint32_t)WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, (LPCWSTR)wide, (int)length, bytes,
                                         (int)capacity, nullptr, nullptr);
}

uint32_t OsShortPath(const char16_t* path, char16_t* buffer, uint32_t capacity)
{
    return GetShortPathNameW((LPCWSTR)path, (LPWSTR)buffer, capacity);
}

bool OsOpenFileDialog(const OsDialogRequest& request)
{
    OPENFILENAMEW record = {};
    record.lStructSize = request.StructSize;
    record.hwndOwner = (HWND)request.Owner;
    record.lpstrFilter = (LPCWSTR)request.Filter;
    record.nFilterIndex = request.FilterIndex;
    record.lpstrFile = (LPWSTR)request.File;
    record.nMaxFile = request.MaxFile;
    record.lpstrInitialDir = (LPCWSTR)request.InitialDir;
    record.lpstrTitle = (LPCWSTR)request.Title;
    record.Flags = request.Flags;
    return GetOpenFileNameW(&record);
}

OsMemory OsTakeMemory(ptrdiff_t most)
{
    // Committed pages are zero and cost nothing until touched.
    void* base = VirtualAlloc(nullptr, (SIZE_T)most, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    return base ? OsMemory{(char*)base, most} : OsMemory{};
}

void OsReleaseMemory(OsMemory memory)
{
    if (memory.Base) {
        VirtualFree(memory.Base, 0, MEM_RELEASE);
    }
}

void OsExit(int32_t status)
{
    ExitProcess((UINT)status);
}
