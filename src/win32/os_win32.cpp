// The seam bound to Win32: each function is the one system call that its
// contract names, with the quirks of that call handled here.
#include <windows.h>
#include <commdlg.h>
#include <shobjidl.h>
#include "base/text.h"
#include "os/os.h"

static_assert(__builtin_offsetof(OPENFILENAMEW, pvReserved) == 76, "the request stops before pvReserved");
static_assert(sizeof(WCHAR) == sizeof(char16_t), "UTF-16 units");
static_assert(OsBufferTooSmall == FNERR_BUFFERTOOSMALL, "the seam names the refusal's code");

namespace {

// Plain data: SetConsoleCtrlHandler wants a WINAPI function, and the seam's
// handler is an ordinary one.
bool (*Handler)(uint32_t);

BOOL WINAPI CallControlHandler(DWORD event)
{
    return Handler && Handler(event);
}

// A function of kernel32 that older systems lack, so looked up rather than
// imported: a missing import would stop the program from starting on them.
// kernel32 is loaded in every process, so asking for it loads nothing.
void* Kernel32(const char* name)
{
    return (void*)GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name);
}

}  // namespace

void OsRestrictLibrarySearch()
{
    // Vista and 7 without KB2533623 lack it.
    auto setDefaultDirectories = (BOOL(WINAPI*)(DWORD))Kernel32("SetDefaultDllDirectories");
    if (setDefaultDirectories) {
        setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}

const char16_t* OsWideCommandLine()
{
    return (const char16_t*)GetCommandLineW();
}

uint32_t OsFullPathName(const char16_t* text, uint32_t size, char16_t* buffer)
{
    wchar_t* filePart;  // required by the call, never read
    return GetFullPathNameW((LPCWSTR)text, size, (LPWSTR)buffer, &filePart);
}

void OsLower(char16_t* text)
{
    // CharLowerW takes a pointer whose high word is zero as one character;
    // texts live in the arena, far above the first 64 KiB.
    CharLowerW((LPWSTR)text);
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

uint32_t OsAnsiCodePage()
{
    return GetACP();
}

uint32_t OsConsoleCodePage()
{
    return GetConsoleOutputCP();
}

uint32_t OsWiden(uint32_t codePage, const char* bytes, uint32_t length, char16_t* wide, uint32_t capacity)
{
    return MultiByteToWideChar(codePage, 0, bytes, (int)length, (LPWSTR)wide, (int)capacity);
}

uint32_t OsNarrow(uint32_t codePage, const char16_t* wide, uint32_t length, char* bytes, uint32_t capacity)
{
    // Without WC_NO_BEST_FIT_CHARS, "Ł" quietly becomes "L", and even
    // the used-default flag stays clear: the name of another file, or of
    // none. But Windows refuses that flag (ERROR_INVALID_FLAGS) for UTF-8,
    // GB18030 and the code pages that keep a shift state, which have no best
    // fit to fear anyway; there a character without a form becomes U+FFFD's
    // or "?", which the caller's read-back refuses all the same.
    bool noFlags = codePage == CP_UTF8 || codePage == 54936 || codePage == 42 || codePage == CP_UTF7 ||
                   (codePage >= 50220 && codePage <= 50229) || (codePage >= 57002 && codePage <= 57011);
    return (uint32_t)WideCharToMultiByte(codePage, noFlags ? 0 : WC_NO_BEST_FIT_CHARS, (LPCWSTR)wide, (int)length,
                                         bytes, (int)capacity, nullptr, nullptr);
}

uint32_t OsShortPath(const char16_t* path, char16_t* buffer, uint32_t capacity)
{
    return GetShortPathNameW((LPCWSTR)path, (LPWSTR)buffer, capacity);
}

namespace {

// A file or a folder, whatever its rights: with no access asked for, a
// handle still tells what the object is ("If this parameter is zero, the
// application can query certain metadata such as file, directory, or
// device attributes without accessing that file", CreateFileW), and
// FILE_FLAG_BACKUP_SEMANTICS is what lets a folder be opened at all.
HANDLE OpenAny(const char16_t* path)
{
    return CreateFileW((LPCWSTR)path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

bool OsIsWow64()
{
    // IsWow64Process came with XP SP2.
    auto isWow64 = (BOOL(WINAPI*)(HANDLE, PBOOL))Kernel32("IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

OsRedirection OsRealPath(const char16_t* path, char16_t* buffer)
{
    // The redirector ("File System Redirector", Programming Guide for 64-bit
    // Windows) hands a 32-bit process SysWOW64 (SysArm32) for System32, but
    // not for the folders it exempts, which differ between versions; so
    // the system is asked, never a list. Turning it off is for this thread
    // only, and DLL loads and delay-loaded functions fail while it is off
    // (Wow64DisableWow64FsRedirection): nothing but the open runs between
    // the two calls. Each successful disable must be reverted
    // (Wow64RevertWow64FsRedirection); if that fails, every later open of
    // this thread would see the 64-bit files, so nothing more is trusted.
    auto disable = (BOOL(WINAPI*)(PVOID*))Kernel32("Wow64DisableWow64FsRedirection");
    auto revert = (BOOL(WINAPI*)(PVOID))Kernel32("Wow64RevertWow64FsRedirection");
    // Vista and later: XP and Server 2003 x64 cannot name the file.
    auto finalPath = (DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD))Kernel32("GetFinalPathNameByHandleW");
    // What this process cannot open, for want of a right say, is told by its
    // folder as what does not exist is: the redirector redirects folders.
    HANDLE seen = OpenAny(path);
    if (seen == INVALID_HANDLE_VALUE) {
        return OsNoSuchFile;
    }
    OsRedirection answer = OsCannotTell;
    PVOID old;
    if (disable && revert && disable(&old)) {
        HANDLE native = OpenAny(path);
        if (revert(old)) {
            // "The identifier (low and high parts) and the volume serial
            // number uniquely identify a file on a single computer"
            // (BY_HANDLE_FILE_INFORMATION). ReFS's 64-bit index may not be
            // unique; the system folders are on NTFS.
            BY_HANDLE_FILE_INFORMATION a, b;
            bool other = native == INVALID_HANDLE_VALUE;
            if (!other && GetFileInformationByHandle(seen, &a) && GetFileInformationByHandle(native, &b)) {
                other = a.dwVolumeSerialNumber != b.dwVolumeSerialNumber || a.nFileIndexHigh != b.nFileIndexHigh ||
                        a.nFileIndexLow != b.nFileIndexLow;
                answer = other ? OsCannotTell : OsSameFile;
            }
            // Another file, or none: the name of the one seen. The call
            // gives the length without the NUL when the path fits, the size
            // it needs when it does not, and 0 when it fails
            // (GetFinalPathNameByHandleW).
            if (other && finalPath) {
                DWORD length = finalPath(seen, (LPWSTR)buffer, OsLongestPath, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
                answer = length > 0 && length < OsLongestPath ? OsOtherFile : OsCannotTell;
            }
        }
        if (native != INVALID_HANDLE_VALUE) {
            CloseHandle(native);
        }
    }
    CloseHandle(seen);
    return answer;
}

namespace {

// Both file dialogs take the one record. After a FALSE, CommDlgExtendedError
// says why: "If the common dialog box function returned FALSE because the
// user closed or canceled the dialog box, the return value is zero.
// Otherwise, the return value is a nonzero error code" (CommDlgExtendedError
// function, commdlg.h), FNERR_BUFFERTOOSMALL among them.
OsDialogResult ShowFileDialog(const OsDialogRequest& request, BOOL(WINAPI* show)(LPOPENFILENAMEW))
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
    record.lpstrDefExt = (LPCWSTR)request.DefExt;
    if (show(&record)) {
        return {OsChosen, 0};
    }
    DWORD error = CommDlgExtendedError();
    return {error == OsBufferTooSmall ? OsTooLong : error ? OsFailed : OsCancelled, error};
}

// A function of a system library, which is loaded by its full path: by a
// bare name, a DLL of that name in the current folder or the program's
// could be taken instead. Null when either is missing. The caller casts it
// to the function's own type.
void* SystemFunction(const char* library, const char* name)
{
    WCHAR path[MAX_PATH + 16];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    path[length++] = L'\\';
    while ((path[length++] = (unsigned char)*library++)) {
    }
    HMODULE module = LoadLibraryW(path);
    return module ? (void*)GetProcAddress(module, name) : nullptr;
}

}  // namespace

OsDialogResult OsOpenFileDialog(const OsDialogRequest& request)
{
    return ShowFileDialog(request, GetOpenFileNameW);
}

OsDialogResult OsSaveFileDialog(const OsDialogRequest& request)
{
    return ShowFileDialog(request, GetSaveFileNameW);
}

OsDialogResult OsItemDialog(const OsItemRequest& request, Arena& arena, OsItems& chosen)
{
    // Looked up at run time, so that the executable imports neither library
    // and every other run starts without them.
    auto initialize = (decltype(&CoInitializeEx))SystemFunction("ole32.dll", "CoInitializeEx");
    auto create = (decltype(&CoCreateInstance))SystemFunction("ole32.dll", "CoCreateInstance");
    auto itemFor = (decltype(&SHCreateItemFromParsingName))SystemFunction("shell32.dll", "SHCreateItemFromParsingName");
    if (!initialize || !create || !itemFor) {
        return {OsNoItemDialog, 0};
    }
    // Nothing is released: the process ends right after, and that frees it
    // all. A dialog that cannot take these options (none before Vista, none
    // on Server Core) is no dialog.
    initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    IFileDialog* dialog;
    if (FAILED(create(request.Class == OsItemSave ? __uuidof(FileSaveDialog) : __uuidof(FileOpenDialog), nullptr,
                      CLSCTX_INPROC_SERVER, __uuidof(IFileDialog), (void**)&dialog)) ||
        FAILED(dialog->SetOptions(request.Options))) {
        return {OsNoItemDialog, 0};
    }
    // The index is one-based, and must be set before Show
    // (IFileDialog::SetFileTypeIndex). The default extension follows the
    // type the user picks, when set before Show (SetDefaultExtension).
    static_assert(sizeof(OsFileType) == sizeof(COMDLG_FILTERSPEC), "the seam's file type is COMDLG_FILTERSPEC");
    HRESULT result = S_OK;
    if (request.TypeCount) {
        result = dialog->SetFileTypes(request.TypeCount, (const COMDLG_FILTERSPEC*)request.Types);
        if (SUCCEEDED(result)) {
            result = dialog->SetFileTypeIndex(request.TypeIndex);
        }
    }
    if (SUCCEEDED(result) && request.DefaultExtension) {
        result = dialog->SetDefaultExtension((LPCWSTR)request.DefaultExtension);
    }
    // SetFolder, not SetDefaultFolder: the folder "is always selected when
    // the dialog is opened, regardless of previous user action"
    // (IFileDialog::SetFolder), where the default one loses to the folder
    // last used. A folder that cannot be found leaves the dialog where it
    // likes.
    IShellItem* item;
    if (SUCCEEDED(result) && request.Folder[0] &&
        SUCCEEDED(itemFor((LPCWSTR)request.Folder, nullptr, __uuidof(IShellItem), (void**)&item))) {
        result = dialog->SetFolder(item);
    }
    if (SUCCEEDED(result) && request.Title) {
        result = dialog->SetTitle((LPCWSTR)request.Title);
    }
    if (SUCCEEDED(result)) {
        result = dialog->SetFileName((LPCWSTR)request.Name);
    }
    // A cancel comes back from Show as an error code of its own,
    // HRESULT_FROM_WIN32(ERROR_CANCELLED): "The user closed the window by
    // cancelling the operation" (IModalWindow::Show method, shobjidl_core.h).
    if (SUCCEEDED(result) && (result = dialog->Show((HWND)request.Owner)) == HRESULT_FROM_WIN32(ERROR_CANCELLED)) {
        return {OsCancelled, 0};
    }
    // Every item of an Open dialog's choice comes from GetResults, which
    // holds them all however many (IFileOpenDialog::GetResults); the Save
    // dialog has one.
    IShellItemArray* items = nullptr;
    DWORD count = 1;
    if (SUCCEEDED(result) && request.Class == OsItemOpen) {
        IFileOpenDialog* open;
        if (SUCCEEDED(result = dialog->QueryInterface(__uuidof(IFileOpenDialog), (void**)&open)) &&
            SUCCEEDED(result = open->GetResults(&items)) && SUCCEEDED(result = items->GetCount(&count)) &&
            count == 0) {
            result = E_UNEXPECTED;  // a choice of nothing is no choice
        }
    } else if (SUCCEEDED(result)) {
        result = dialog->GetResult(&item);
    }
    if (FAILED(result)) {
        return {OsFailed, (uint32_t)result};
    }
    chosen.Paths = New<const char16_t*>(arena, count);
    chosen.Count = count;
    for (DWORD i = 0; i < count; i++) {
        if (items && FAILED(result = items->GetItemAt(i, &item))) {
            return {OsFailed, (uint32_t)result};
        }
        // "When an item does not have a file system path, a call to
        // IShellItem::GetDisplayName on that item will fail" (SIGDN).
        // FOS_FORCEFILESYSTEM should let no such item through; should one
        // come back all the same (a library, a phone), it is named as the
        // address bar would name it.
        LPWSTR path;
        if (FAILED(result = item->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
            if (FAILED(item->GetDisplayName(SIGDN_DESKTOPABSOLUTEEDITING, &path))) {
                return {OsFailed, (uint32_t)result};
            }
            chosen.Paths[0] = CopyText(arena, (const char16_t*)path, Length((const char16_t*)path));
            chosen.Count = 1;
            return {OsNoPath, (uint32_t)result};
        }
        // The dialog's own copy is never freed: the process ends right after.
        chosen.Paths[i] = CopyText(arena, (const char16_t*)path, Length((const char16_t*)path));
    }
    return {OsChosen, 0};
}

OsDesktop OsWindowStation()
{
    // The test that .NET's Environment.UserInteractive makes (dotnet/runtime,
    // src/libraries/System.Private.CoreLib/src/System/Environment.Windows.cs):
    // "WSF_VISIBLE: Window station has visible display surfaces"
    // (USEROBJECTFLAGS structure, winuser.h). Only WinSta0 has them.
    USEROBJECTFLAGS flags;
    DWORD needed;
    HWINSTA station = GetProcessWindowStation();
    if (!station || !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed)) {
        return OsDesktopUnknown;
    }
    return flags.dwFlags & WSF_VISIBLE ? OsDesktopVisible : OsDesktopHidden;
}

OsMemory OsReserveMemory(ptrdiff_t most)
{
    // Address space only: Windows charges commit whether or not a page is
    // ever touched, so pages are committed as the arena reaches them.
    void* base = VirtualAlloc(nullptr, (SIZE_T)most, MEM_RESERVE, PAGE_READWRITE);
    return base ? OsMemory{(char*)base, most} : OsMemory{};
}

bool OsCommitMemory(char* at, ptrdiff_t size)
{
    return VirtualAlloc(at, (SIZE_T)size, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

namespace {

// Plain data: the handler gets nothing but the fault.
char* TouchFrom;
char* TouchTo;
void* TouchHandler;

// Commits the page of a read or write fault inside the range and has the
// faulting instruction run again. An execution fault there would fault
// again on the committed page; it and every other fault go on to the
// system, which ends the process as before.
LONG WINAPI CommitTouchedPage(EXCEPTION_POINTERS* exception)
{
    EXCEPTION_RECORD* fault = exception->ExceptionRecord;
    char* at = (char*)fault->ExceptionInformation[1];
    return fault->ExceptionCode == EXCEPTION_ACCESS_VIOLATION &&
                   fault->ExceptionInformation[0] != EXCEPTION_EXECUTE_FAULT && at >= TouchFrom && at < TouchTo &&
                   VirtualAlloc(at, 1, MEM_COMMIT, PAGE_READWRITE)
               ? EXCEPTION_CONTINUE_EXECUTION
               : EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void OsCommitOnTouch(char* from, char* to)
{
    // The writes that fault here are made by the system's code (Wine's
    // dialog writes a long selection whole, past nMaxFile), where no frame
    // of this program's could catch them, and the image registers no SEH
    // handler at all (--no-seh). A vectored handler belongs to no image and
    // no frame: the process asks it first, wherever the fault is. Committing
    // the page and going on is how Windows' "Reserving and Committing
    // Memory" example handles a fault in a reserved page.
    TouchFrom = from;
    TouchTo = to;
    TouchHandler = AddVectoredExceptionHandler(1, CommitTouchedPage);
}

void OsEndCommitOnTouch()
{
    RemoveVectoredExceptionHandler(TouchHandler);
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
