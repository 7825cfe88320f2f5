// The seam bound to Win32: each function is the one system call that its
// contract names, with the quirks of that call handled here.
#include <windows.h>
#include <commdlg.h>
#include "os/os.h"

static_assert(__builtin_offsetof(OPENFILENAMEA, pvReserved) == 76, "the request stops before pvReserved");

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

bool OsOpenFileDialog(const OsDialogRequest& request)
{
    OPENFILENAMEA record = {};
    record.lStructSize = request.StructSize;
    record.hwndOwner = (HWND)request.Owner;
    record.lpstrFilter = request.Filter;
    record.nFilterIndex = request.FilterIndex;
    record.lpstrFile = request.File;
    record.nMaxFile = request.MaxFile;
    record.lpstrInitialDir = request.InitialDir;
    record.lpstrTitle = request.Title;
    record.Flags = request.Flags;
    return GetOpenFileNameA(&record);
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
