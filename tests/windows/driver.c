/* The dialog driver: starts a program and answers the file dialog it shows,
 * as a user at the screen would, so that tests need no one there.
 *
 *   driver [/wait SECONDS] [/report FILE] STEP... -- COMMAND LINE
 *   driver same FILE1 FILE2
 *   driver has FILE TEXT
 *   driver line FILE TEXT
 *   driver echo FILE TEXT
 *   driver alias PATH
 *   driver about
 *
 * The command line after "--" is passed on exactly as written. The dialog
 * is the first visible dialog-class window (#32770) of a process that the
 * program started, directly or through others (a batch file's children).
 * STEP, in order:
 *   type TEXT   puts TEXT into the dialog's name box: a name or a folder
 *   names N NAME1 ... NAMEN
 *               puts the N names there as a list, each quoted
 *   list FILE   the same for the names in FILE, UTF-8, one a line (more
 *               than a command line can hold)
 *   filter TEXT picks the entry TEXT in the dialog's list of file types
 *   in FOLDER   waits until the dialog shows FOLDER, and fails if it does
 *               not: as the dialog tells its folder, or where it tells
 *               none (Wine's item dialog), by its file list, which must
 *               hold entries of FOLDER only and each of its subfolders
 *   ok, cancel  presses the dialog's OK or Cancel button; after an ok on a
 *               typed folder (absolute, or relative to a folder that the
 *               dialog tells), waits until the dialog shows that folder
 *   yes, no     answers the message box or task dialog that the dialog
 *               brought up (the question whether to replace a file, say)
 *   dismiss     closes such a box with its OK button
 *   shot FILE   saves a picture of the dialog as a BMP file
 * With no step at all, no dialog is expected: one that shows is reported
 * and cancelled. Whatever is still open two seconds after the last step
 * (a dialog, a message box) is reported and cancelled, so that no run is
 * left waiting.
 *
 * The report (UTF-8, one "key: value" line each) says what was found: the
 * dialog's title, its owner (the console window, none, or another window),
 * the folder and the filter it shows where the dialog tells them (where it
 * tells no folder, the first entries of its file list, "|" between them),
 * each step, and how the program ended. A dialog still at work on an ok,
 * which takes no message, is waited for, not cancelled as left open.
 *
 * Parameters are split at blanks; double quotes group and are removed;
 * there are no escapes. Before "--", {NAME} stands for the environment
 * variable NAME: a batch file can hand over a name that its own parser
 * would change (Wine's cmd drops each "!" from the value of a !variable!).
 *
 * The controls are found wherever the dialog nests them, and a step whose
 * control is not there fails, naming what it looked for. The program runs
 * without the system's error boxes: one that cannot load (a library
 * missing) ends at once, and the report gives its status.
 *
 * Exits with the program's status, or 250 when the driver could not do its
 * part (no dialog in time, a step that failed, something left open, a
 * program that did not end). "same" exits 0 when the two files hold the
 * same bytes, "has" when FILE holds TEXT as cmd's echo writes it there (in
 * the console's code page), "line" when it holds it so as a whole line
 * (ended by CR LF or LF; {NAME}s in its TEXT are replaced twice), else 1;
 * "echo" writes TEXT and CR LF so. Wine's fc.exe and findstr.exe only
 * pretend to compare and search. "alias" prints the 8.3 alias of PATH's
 * last part, or nothing where it has none (Wine's cmd gives no alias for
 * %~sF). "about" prints the Windows version, the console's and the ANSI
 * code page, and whether the process has a console window: cmd cannot tell
 * the last two (its chcp fails without a console). */
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>
#include <tlhelp32.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#define DRIVER_FAILED 250
#define POLL_MS 50
/* The report names no more of the file list's entries than these. */
#define LISTED_MOST 40

static FILE *report;
static DWORD wait_ms = 30000, child;

static void say(const char *key, const wchar_t *fmt, ...)
{
    wchar_t text[2048];
    char bytes[8192];
    va_list args;
    if (!report)
        return;
    va_start(args, fmt);
    _vsnwprintf(text, 2047, fmt, args);
    va_end(args);
    text[2047] = 0;
    for (wchar_t *c = text; *c; c++)
        if (*c == L'\r' || *c == L'\n')
            *c = L' ';
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof bytes, NULL, NULL);
    fprintf(report, "%s: %s\n", key, bytes);
    fflush(report);
}

/* --- The program's processes ------------------------------------------------ */

/* pid is the program or one of the processes it started, by the chain of
 * parents that a process snapshot records. (Job objects would say it more
 * directly, but Wine's cmd starts a for /f command outside the job.) */
static int ours(DWORD pid)
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W e = {.dwSize = sizeof e};
    int found = 0;
    for (int depth = 0; depth < 16 && !found && pid; depth++) {
        found = pid == child;
        DWORD parent = 0;
        for (BOOL more = Process32FirstW(snap, &e); more; more = Process32NextW(snap, &e))
            if (e.th32ProcessID == pid)
                parent = e.th32ParentProcessID;
        pid = parent;
    }
    CloseHandle(snap);
    return found;
}

/* Ends the program and everything it started, leaves first. */
static void end_all(void)
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W e = {.dwSize = sizeof e};
    for (BOOL more = Process32FirstW(snap, &e); more; more = Process32NextW(snap, &e)) {
        if (e.th32ProcessID != child && ours(e.th32ProcessID)) {
            HANDLE p = OpenProcess(PROCESS_TERMINATE, FALSE, e.th32ProcessID);
            if (p)
                TerminateProcess(p, DRIVER_FAILED);
            if (p)
                CloseHandle(p);
        }
    }
    CloseHandle(snap);
    HANDLE p = OpenProcess(PROCESS_TERMINATE, FALSE, child);
    if (p)
        TerminateProcess(p, DRIVER_FAILED);
}

static void fail(const wchar_t *what)
{
    say("error", L"%ls", what);
    if (child)
        end_all();
    ExitProcess(DRIVER_FAILED);
}

/* --- Parameters and files ------------------------------------------------------ */

/* One parameter of a command line: blanks split, quotes group and are
 * removed. Returns where the next one starts; *out gets a copy. */
static const wchar_t *next_param(const wchar_t *p, wchar_t **out)
{
    while (*p == L' ' || *p == L'\t')
        p++;
    wchar_t *copy = malloc((wcslen(p) + 1) * sizeof *copy), *w = copy;
    int quoted = 0;
    for (; *p && (quoted || (*p != L' ' && *p != L'\t')); p++) {
        if (*p == L'"')
            quoted = !quoted;
        else
            *w++ = *p;
    }
    *w = 0;
    *out = copy;
    return p;
}

/* {NAME} replaced by the environment variable NAME; left as it is when
 * there is no such variable. */
static wchar_t *expand(const wchar_t *text)
{
    wchar_t *out = malloc(65536 * sizeof *out), *w = out, name[256];
    for (const wchar_t *p = text, *close; *p && w < out + 32768;) {
        if (*p == L'{' && (close = wcschr(p, L'}')) && close - p < 256) {
            wmemcpy(name, p + 1, close - p - 1);
            name[close - p - 1] = 0;
            DWORD n = GetEnvironmentVariableW(name, w, 32768);
            if (n && n < 32768) {
                w += n;
                p = close + 1;
                continue;
            }
        }
        *w++ = *p++;
    }
    *w = 0;
    return out;
}

/* The whole file, with a NUL after it; null when it cannot be read. */
static char *read_file(const wchar_t *path, long *size)
{
    FILE *f = _wfopen(path, L"rb");
    char *bytes = NULL;
    if (f && !fseek(f, 0, SEEK_END) && (*size = ftell(f)) >= 0 && (bytes = malloc(*size + 1))) {
        rewind(f);
        bytes[fread(bytes, 1, *size, f)] = 0;
    }
    if (f)
        fclose(f);
    return bytes;
}

/* TEXT as cmd's echo writes it into a file: in the console's output code
 * page, or the ANSI one where there is no console. */
static long console_bytes(const wchar_t *text, char *bytes, int size)
{
    UINT cp = GetConsoleOutputCP();
    return WideCharToMultiByte(cp ? cp : CP_ACP, 0, text, -1, bytes, size, NULL, NULL) - 1;
}

static int verb(const wchar_t *name, const wchar_t *path, const wchar_t *other)
{
    static char text[65536 * 4];
    long size, n;
    char *bytes;
    if (!wcscmp(name, L"same")) {
        long size2;
        char *bytes2 = read_file(other, &size2);
        bytes = read_file(path, &size);
        return !bytes || !bytes2 || size != size2 || memcmp(bytes, bytes2, size);
    }
    if (!wcscmp(name, L"alias")) {
        static wchar_t alias[32768];
        DWORD got = GetShortPathNameW(path, alias, 32768);
        const wchar_t *last = wcsrchr(alias, L'\\'), *mine = wcsrchr(path, L'\\');
        last = last ? last + 1 : alias;
        mine = mine ? mine + 1 : path;
        if (got && got < 32768 && _wcsicmp(last, mine)) {
            console_bytes(last, text, sizeof text);
            puts(text);
        }
        return 0;
    }
    if (!wcscmp(name, L"about")) {
        /* GetVersionEx answers 6.2 to a program not manifested for a
         * later Windows ("GetVersionExA function (sysinfoapi.h)");
         * RtlGetVersion, from ntdll, answers the real version. */
        RTL_OSVERSIONINFOW v = {.dwOSVersionInfoSize = sizeof v};
        LONG(WINAPI * get)(RTL_OSVERSIONINFOW *) =
            (void *)GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
        if (!get || get(&v))
            GetVersionExW((OSVERSIONINFOW *)&v);
        printf("Windows %lu.%lu.%lu\n", v.dwMajorVersion, v.dwMinorVersion, v.dwBuildNumber);
        /* 0 and null for a process without a console ("GetConsoleOutputCP
         * function", "GetConsoleWindow function"). */
        printf("console code page %u, ANSI code page %u\n", GetConsoleOutputCP(), GetACP());
        printf("console window: %s\n", GetConsoleWindow() ? "yes" : "none");
        return 0;
    }
    /* A second round, so that a variable may name others: ITEM holding
     * {DOCS}\{N1}, say, where cmd could not copy the name itself. */
    if (!wcscmp(name, L"line"))
        other = expand(other);
    n = console_bytes(other, text, sizeof text);
    if (!wcscmp(name, L"echo")) {
        FILE *f = _wfopen(path, L"wb");
        return !f || fwrite(text, 1, n, f) != (size_t)n || fputs("\r\n", f) < 0 || fclose(f);
    }
    bytes = read_file(path, &size);
    if (!wcscmp(name, L"line")) {
        for (char *l = bytes, *end = bytes + size, *lf; l && (lf = memchr(l, '\n', end - l)); l = lf + 1)
            if (lf - l - (lf > l && lf[-1] == '\r') == n && !memcmp(l, text, n))
                return 0;
        return 1;
    }
    for (long i = 0; bytes && n > 0 && i + n <= size; i++)
        if (!memcmp(bytes + i, text, n))
            return 0;
    return 1;
}

/* --- Finding windows ------------------------------------------------------------ */

typedef struct {
    HWND except;
    HWND found;
} Search;

static BOOL CALLBACK dialog_of_ours(HWND w, LPARAM param)
{
    Search *s = (Search *)param;
    wchar_t cls[16];
    DWORD pid;
    if (w == s->except || !IsWindowVisible(w) || !IsWindowEnabled(w) || !GetClassNameW(w, cls, 16) ||
        wcscmp(cls, L"#32770"))
        return TRUE;
    GetWindowThreadProcessId(w, &pid);
    if (!ours(pid))
        return TRUE;
    s->found = w;
    return FALSE;
}

/* A visible dialog-class window of the program's other than `except` that
 * takes input (not one under a message box), or null. */
static HWND find_dialog(HWND except)
{
    Search s = {except, NULL};
    EnumWindows(dialog_of_ours, (LPARAM)&s);
    return s.found;
}

/* Waits for such a window; null after the wait, or as soon as the program
 * has ended. */
static HWND wait_dialog(HANDLE process, HWND except, DWORD ms)
{
    for (DWORD waited = 0;; waited += POLL_MS) {
        HWND w = find_dialog(except);
        if (w || waited >= ms || WaitForSingleObject(process, POLL_MS) == WAIT_OBJECT_0)
            return w;
    }
}

/* The dialog has taken everything sent to it so far. */
static void settle(HWND w)
{
    DWORD_PTR r;
    SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &r);
    Sleep(200);
}

/* The window's thread has not taken a message for a second: a dialog still
 * at work on an ok (Wine's item dialog takes many seconds over thousands of
 * names) is not one left open. */
static int busy(HWND w)
{
    DWORD_PTR r;
    return !SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &r) && GetLastError() == ERROR_TIMEOUT;
}

static const wchar_t *text_of(HWND w)
{
    static wchar_t text[1024];
    DWORD_PTR r;
    text[0] = 0;
    SendMessageTimeoutW(w, WM_GETTEXT, 1024, (LPARAM)text, SMTO_NORMAL, 5000, &r);
    return text;
}

/* --- Controls, wherever the dialog nests them ---------------------------------------- */

/* Windows 10 and 11 nest the dialogs' controls at various depths below the
 * dialog, and only some keep their classic identifiers; the ones that the
 * steps need, as public code that drives these dialogs finds them
 * (Flow-Launcher/Flow.Launcher, Flow.Launcher.Infrastructure/DialogJump/
 * Models/WindowsDialog.cs, and Maximus5/ConEmu, src/ConEmu/Inside.cpp):
 *   Open:  #32770 > ComboBoxEx32 (cmb13) > ComboBox > Edit, the name box;
 *          the list of file types, cmb1, and the buttons IDOK and IDCANCEL
 *          straight below the dialog
 *   Save:  #32770 > DUIViewWndClassName > DirectUIHWND > FloatNotifySink >
 *          ComboBox > Edit, the name box (no identifier of use above the
 *          Edit); the file types, a drop-down list in another
 *          FloatNotifySink; IDOK and IDCANCEL straight below the dialog
 *   both:  #32770 > WorkerW > ReBarWindow32 > Address Band Root >
 *          msctls_progress32 > Breadcrumb Parent > ToolbarWindow32, whose
 *          text is "Address: " and the folder shown
 *   replace question, a task dialog: #32770 > DirectUIHWND > CtrlNotifySink
 *          > Button, one sink each
 * Wine's dialogs are the classic ones: all of it straight below the dialog.
 * EnumChildWindows visits every descendant ("If a child window has created
 * child windows of its own, EnumChildWindows enumerates those windows as
 * well"). */
typedef struct {
    int id;                     /* 0: any */
    const wchar_t *cls[3];      /* its class, its parent's, theirs; null: any */
    HWND found;
} Want;

static int class_is(HWND w, const wchar_t *cls)
{
    wchar_t name[64];
    return !cls || (w && GetClassNameW(w, name, 64) && !_wcsicmp(name, cls));
}

static BOOL CALLBACK wanted(HWND w, LPARAM param)
{
    Want *x = (Want *)param;
    HWND up = w;
    if ((x->id && GetDlgCtrlID(w) != x->id) || !IsWindowVisible(w))
        return TRUE;
    for (int i = 0; i < 3; i++, up = GetParent(up))
        if (!class_is(up, x->cls[i]))
            return TRUE;
    x->found = w;
    return FALSE;
}

/* The first visible descendant of `root` with that identifier and classes,
 * or null. */
static HWND find_in(HWND root, int id, const wchar_t *cls, const wchar_t *parent, const wchar_t *grandparent)
{
    Want x = {id, {cls, parent, grandparent}, NULL};
    EnumChildWindows(root, wanted, (LPARAM)&x);
    return x.found;
}

/* The Edit in which the name goes: the Open dialog's and the folder
 * picker's cmb13, the combo box that shows the name, or the edt1 of older
 * dialogs (both in "Explorer-Style Control Identifiers", from dlgs.h), or
 * the Save dialog's nested one; null when there is none. *which says which
 * it was. */
static HWND name_box(HWND dialog, const wchar_t **which)
{
    static const int ids[] = {cmb13, edt1};
    static const wchar_t *const names[] = {L"cmb13", L"edt1"};
    for (int i = 0; i < 2; i++) {
        HWND box = find_in(dialog, ids[i], NULL, NULL, NULL), edit = box ? find_in(box, 0, L"Edit", NULL, NULL) : NULL;
        *which = names[i];
        if (box)
            return edit ? edit : box;
    }
    *which = L"the Edit under a FloatNotifySink";
    return find_in(dialog, 0, L"Edit", L"ComboBox", L"FloatNotifySink");
}
#define NAME_BOX_WANTED L"cmb13, edt1, or an Edit in a ComboBox under a FloatNotifySink"

static BOOL CALLBACK types_list(HWND w, LPARAM param)
{
    if (!IsWindowVisible(w) || !class_is(w, L"ComboBox") || !class_is(GetParent(w), L"FloatNotifySink") ||
        find_in(w, 0, L"Edit", NULL, NULL))
        return TRUE;
    *(HWND *)param = w;
    return FALSE;
}

/* The list of file types: cmb1, or the Save dialog's drop-down list (a
 * ComboBox without an Edit) under a FloatNotifySink; null when there is
 * none. */
static HWND types_box(HWND dialog)
{
    HWND box = find_in(dialog, cmb1, L"ComboBox", NULL, NULL);
    if (!box)
        EnumChildWindows(dialog, types_list, (LPARAM)&box);
    return box;
}
#define TYPES_BOX_WANTED L"cmb1, or a ComboBox without an Edit under a FloatNotifySink"

/* A block of the dialog's own memory, for the messages that answer through
 * a pointer: the pointer must mean something in the process that writes
 * there. */
typedef struct {
    HANDLE process;
    char *at;
} Remote;

static int remote_open(HWND window, SIZE_T size, Remote *r)
{
    DWORD pid;
    GetWindowThreadProcessId(window, &pid);
    r->process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    r->at = r->process ? VirtualAllocEx(r->process, NULL, size, MEM_COMMIT, PAGE_READWRITE) : NULL;
    return r->at != NULL;
}

static void remote_close(Remote *r)
{
    if (r->at)
        VirtualFreeEx(r->process, r->at, 0, MEM_RELEASE);
    if (r->process)
        CloseHandle(r->process);
}

static int folder_by_message(HWND dialog, wchar_t *folder, int size)
{
    Remote r;
    DWORD_PTR got = 0;
    int ok = remote_open(dialog, size * sizeof *folder, &r) &&
             SendMessageTimeoutW(dialog, CDM_GETFOLDERPATH, size, (LPARAM)r.at, SMTO_NORMAL, 5000, &got) &&
             (LONG_PTR)got > 0 && ReadProcessMemory(r.process, r.at, folder, size * sizeof *folder, NULL);
    folder[size - 1] = 0;
    remote_close(&r);
    return ok;
}

/* The folder that the dialog shows, as it tells it: by CDM_GETFOLDERPATH,
 * which the classic dialogs answer, else by the address bar, whose text is
 * a label, a colon and a blank before the folder (the label is in the
 * system's language). Empty when neither tells. */
static const wchar_t *dialog_folder(HWND dialog)
{
    static wchar_t folder[MAX_PATH * 2];
    folder[0] = 0;
    if (folder_by_message(dialog, folder, MAX_PATH * 2))
        return folder;
    HWND bar = find_in(dialog, 0, L"ToolbarWindow32", L"Breadcrumb Parent", NULL);
    const wchar_t *text = bar ? text_of(bar) : L"", *after = wcsstr(text, L": ");
    wcscpy(folder, after && !(text[0] && text[1] == L':') ? after + 2 : text);
    return folder;
}

/* Wine's item dialog tells its folder nowhere: it answers no CDM_* message
 * (dlls/comdlg32/itemdlg.c, itemdlg_dlgproc) and has no address bar. What
 * shows the folder there is its file list, the shell view's list view
 * (SHELLDLL_DefView > SysListView32, dlls/shell32/shlview.c), which the
 * ExplorerBrowser makes afresh, in a new window, for every folder that it
 * browses to (dlls/shell32/ebrowser.c, create_new_shellview). Null when
 * there is none. */
static HWND file_list(HWND dialog)
{
    return find_in(dialog, 0, L"SysListView32", L"SHELLDLL_DefView", NULL);
}

typedef struct {
    int count;
    wchar_t **names;
} Listing;

static void listing_free(Listing *l)
{
    for (int i = 0; i < l->count; i++)
        free(l->names[i]);
    free(l->names);
    l->count = 0;
    l->names = NULL;
}

/* The first `most` entries that the file list shows, by their text, in its
 * order; 0 when it cannot be read. LVM_GETITEMTEXT writes through the
 * LVITEM and the text buffer that it points to, both in the list's
 * process. */
static int list_entries(HWND list, int most, Listing *out)
{
    enum { TEXT = MAX_PATH * 2 };
    DWORD_PTR count = 0, got;
    Remote r;
    out->count = 0;
    out->names = NULL;
    if (!SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 5000, &count) ||
        !remote_open(list, sizeof(LVITEMW) + TEXT * sizeof(wchar_t), &r)) {
        remote_close(&r);
        return 0;
    }
    if ((int)count > most)
        count = most;
    out->names = calloc(count + 1, sizeof *out->names);
    int ok = 1;
    for (int i = 0; ok && i < (int)count; i++) {
        wchar_t text[TEXT];
        LVITEMW item = {.iSubItem = 0, .pszText = (wchar_t *)(r.at + sizeof item), .cchTextMax = TEXT};
        ok = WriteProcessMemory(r.process, r.at, &item, sizeof item, NULL) &&
             SendMessageTimeoutW(list, LVM_GETITEMTEXTW, i, (LPARAM)r.at, SMTO_NORMAL, 5000, &got) &&
             ReadProcessMemory(r.process, r.at + sizeof item, text, sizeof text, NULL);
        text[TEXT - 1] = 0;
        if (ok)
            out->names[out->count++] = _wcsdup(text);
    }
    remote_close(&r);
    if (!ok)
        listing_free(out);
    return ok;
}

static int listed(const Listing *l, const wchar_t *name)
{
    for (int i = 0; i < l->count; i++)
        if (!_wcsicmp(l->names[i], name))
            return 1;
    return 0;
}

/* Whether the file list is that of `folder`: it holds nothing but entries
 * of the folder, and every subfolder that is not hidden (the item dialog
 * lists folders whatever the filter: ICommDlgBrowser3_fnIncludeObject, in
 * itemdlg.c). A list without entries tells nothing: the folder of an empty
 * list could be any folder without subfolders. */
static int lists_folder(HWND list, const wchar_t *folder)
{
    static wchar_t pattern[32768];
    Listing l;
    WIN32_FIND_DATAW e;
    int found = 0, ok = list_entries(list, INT_MAX, &l) && l.count > 0;
    swprintf(pattern, 32768, L"%ls\\*", folder);
    HANDLE h = ok ? FindFirstFileW(pattern, &e) : INVALID_HANDLE_VALUE;
    for (BOOL more = h != INVALID_HANDLE_VALUE; ok && more; more = FindNextFileW(h, &e)) {
        if (!wcscmp(e.cFileName, L".") || !wcscmp(e.cFileName, L".."))
            continue;
        int shown = listed(&l, e.cFileName);
        found += shown;
        ok = shown || !(e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (e.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN);
    }
    if (h != INVALID_HANDLE_VALUE)
        FindClose(h);
    ok = ok && found == l.count;
    listing_free(&l);
    return ok;
}

/* `path` made absolute, without a final backslash (but for a root), if it
 * names a folder; else empty. */
static const wchar_t *folder_path(const wchar_t *path)
{
    static wchar_t full[32768];
    DWORD n = GetFullPathNameW(path, 32768, full, NULL);
    DWORD attributes = n && n < 32768 ? GetFileAttributesW(full) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        full[0] = 0;
    for (size_t len = wcslen(full); len > 3 && full[len - 1] == L'\\';)
        full[--len] = 0;
    return full;
}

/* --- What the dialog shows --------------------------------------------------------- */

static void describe(HWND dialog)
{
    wchar_t cls[64];
    say("dialog", L"%ls", text_of(dialog));
    /* The program runs in the driver's own console, so the driver's console
     * window is the one that the dialog should be owned by. */
    HWND owner = GetWindow(dialog, GW_OWNER), console = GetConsoleWindow();
    GetClassNameW(owner, cls, 64);
    if (!owner)
        say("owner", L"none%ls", console ? L"" : L" (and no console window)");
    else if (owner == console)
        say("owner", L"console");
    else
        say("owner", L"other (class %ls)", cls);
    const wchar_t *folder = dialog_folder(dialog);
    say("folder", L"%ls", *folder ? folder : L"unknown");
    HWND list = file_list(dialog);
    Listing l;
    if (!*folder && list && list_entries(list, LISTED_MOST, &l)) {
        static wchar_t names[2048];
        names[0] = 0;
        for (int i = 0; i < l.count && wcslen(names) + wcslen(l.names[i]) + 2 < 2048; i++)
            wcscat(wcscat(names, i ? L"|" : L""), l.names[i]);
        say("listed", L"%ls", names);
        listing_free(&l);
    }
    /* A drop-down list's text is its selected entry: the filter in use. */
    HWND types = types_box(dialog);
    if (types)
        say("filter", L"%ls", text_of(types));
}

/* --- Steps ---------------------------------------------------------------------------- */

/* "a" "b" "c" from names one a line, as the dialog takes a list. */
static wchar_t *quoted_list(const wchar_t *lines)
{
    wchar_t *list = malloc((wcslen(lines) * 2 + 3) * sizeof *list), *w = list;
    for (const wchar_t *l = lines; *l;) {
        size_t n = wcscspn(l, L"\r\n");
        if (n) {
            if (w != list)
                *w++ = L' ';
            *w++ = L'"';
            wmemcpy(w, l, n);
            w += n;
            *w++ = L'"';
        }
        l += n;
        l += wcsspn(l, L"\r\n");
    }
    *w = 0;
    return list;
}

static wchar_t *list_file(const wchar_t *path)
{
    long size;
    char *bytes = read_file(path, &size);
    if (!bytes)
        fail(L"cannot read the list of names");
    wchar_t *lines = malloc((size + 1) * sizeof *lines);
    MultiByteToWideChar(CP_UTF8, 0, bytes, -1, lines, size + 1);
    return quoted_list(lines);
}

/* The text goes to the name box itself, never as keys to whatever window
 * is in front: on a shared desktop that may be anything. */
static void type_text(HWND dialog, const wchar_t *text)
{
    const wchar_t *which;
    HWND box = name_box(dialog, &which);
    DWORD_PTR r;
    if (!box)
        fail(L"no name box: looked for " NAME_BOX_WANTED);
    say("name box", L"%ls", which);
    if (!SendMessageTimeoutW(box, WM_SETTEXT, 0, (LPARAM)text, SMTO_NORMAL, 5000, &r))
        fail(L"the name box did not take the text");
    say("typed", L"%ls", text);
}

/* Selects the entry `text` of the list of file types as a user's pick
 * does. CB_SETCURSEL changes the selection without telling anyone ("This
 * notification code is not sent when the current selection is set using
 * the CB_SETCURSEL message", CBN_SELCHANGE), so the list's parent gets the
 * notifications that the list sends for a pick: CBN_SELCHANGE, then
 * CBN_SELENDOK ("the user's selection is to be processed"), on which
 * Wine's dialog changes its filter (dlls/comdlg32/filedlg.c,
 * FILEDLG95_FILETYPE_OnCommand). */
static void pick_filter(HWND dialog, const wchar_t *text)
{
    static wchar_t entry[1024];
    HWND box = types_box(dialog);
    DWORD_PTR count = 0, len, r;
    if (!box)
        fail(L"no list of file types: looked for " TYPES_BOX_WANTED);
    SendMessageTimeoutW(box, CB_GETCOUNT, 0, 0, SMTO_NORMAL, 5000, &count);
    for (int i = 0; i < (int)count; i++) {
        entry[0] = 0;
        if (!SendMessageTimeoutW(box, CB_GETLBTEXTLEN, i, 0, SMTO_NORMAL, 5000, &len) || len >= 1024 ||
            !SendMessageTimeoutW(box, CB_GETLBTEXT, i, (LPARAM)entry, SMTO_NORMAL, 5000, &r) || wcscmp(entry, text))
            continue;
        SendMessageTimeoutW(box, CB_SETCURSEL, i, 0, SMTO_NORMAL, 5000, &r);
        for (int n = 0; n < 2; n++)
            SendMessageTimeoutW(GetParent(box), WM_COMMAND,
                                MAKEWPARAM(GetDlgCtrlID(box), n ? CBN_SELENDOK : CBN_SELCHANGE), (LPARAM)box,
                                SMTO_NORMAL, 5000, &r);
        settle(dialog);
        say("filter", L"%ls", text_of(box));
        return;
    }
    say("filter", L"%ls", text_of(box));
    fail(L"no such entry in the list of file types");
}

/* Presses the button `id` below `window` the way a click reports it: as
 * BN_CLICKED to the button's parent. The call returns once the dialog has
 * acted on it, unless that opened a message box of its own, whose loop
 * runs inside the call: then the wait ends, and the box is for the next
 * step. Returns 0 when there is no such button. */
static int press(HWND window, int id)
{
    DWORD_PTR r;
    HWND button = find_in(window, id, L"Button", NULL, NULL);
    if (button)
        SendMessageTimeoutW(GetParent(button), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button, SMTO_NORMAL,
                            2000, &r);
    return button != NULL;
}

/* The folder `typed` names, made absolute against the folder `shown`, if
 * it is one; else empty. */
static const wchar_t *typed_folder(const wchar_t *typed, const wchar_t *shown)
{
    static wchar_t joined[32768];
    int absolute = (typed[0] && typed[1] == L':') || (typed[0] == L'\\' && typed[1] == L'\\');
    if (!typed[0] || (!absolute && !shown[0]) || wcslen(typed) + wcslen(shown) + 2 > 32768)
        return L"";
    swprintf(joined, 32768, absolute ? L"%ls" : L"%ls\\%ls", absolute ? typed : shown, typed);
    return folder_path(joined);
}

/* Whether the dialog shows `folder` (absolute, as folder_path gives it):
 * as it tells, else by its file list (not the one in `old_view`, the view
 * that it had before); *how says which it was. */
static int shows(HWND dialog, const wchar_t *folder, HWND old_view, const wchar_t **how)
{
    const wchar_t *shown = dialog_folder(dialog);
    HWND list = shown[0] ? NULL : file_list(dialog);
    *how = shown[0] ? L"as the dialog tells" : L"by its file list";
    return shown[0] ? !_wcsicmp(shown, folder) : list && GetParent(list) != old_view && lists_folder(list, folder);
}

/* After an ok on a typed folder: waits until the dialog has closed, has
 * brought up a box (it is then disabled), or shows the folder. Windows'
 * view browses on its own after the ok returns, and resets the name box
 * when it gets there; a step taken before then lands in the old folder or
 * is wiped. Where the dialog neither tells its folder nor has a file list
 * of its own to read, the name box that no longer holds what was typed is
 * the sign; Wine's item dialog keeps the text (on_default_action, in
 * itemdlg.c), and there its new file list is the sign. */
static void await_folder(HANDLE process, HWND dialog, const wchar_t *folder, const wchar_t *typed, HWND old_view)
{
    static wchar_t want[32768];
    wcscpy(want, folder);
    for (DWORD waited = 0;; waited += POLL_MS) {
        if (!IsWindow(dialog) || !IsWindowVisible(dialog) || !IsWindowEnabled(dialog) || find_dialog(dialog))
            return;
        const wchar_t *shown = dialog_folder(dialog), *which, *how;
        HWND box = name_box(dialog, &which);
        if (shown[0] || file_list(dialog) ? shows(dialog, want, old_view, &how)
                                          : (!box || wcscmp(text_of(box), typed))) {
            say("folder", L"%ls", shown[0] || file_list(dialog) ? want : L"unknown (the name box was reset)");
            return;
        }
        if (waited >= wait_ms) {
            say("folder", L"%ls", shown[0] ? shown : L"unknown");
            fail(L"the dialog did not show the typed folder in time");
        }
        if (WaitForSingleObject(process, POLL_MS) == WAIT_OBJECT_0)
            return;
    }
}

/* The step "in": waits until the dialog shows `path`, and fails if it has
 * not within the wait. */
static void check_in(HANDLE process, HWND dialog, const wchar_t *path)
{
    static wchar_t want[32768];
    const wchar_t *how;
    wcscpy(want, folder_path(path));
    if (!want[0])
        fail(L"the step in names no folder");
    for (DWORD waited = 0; WaitForSingleObject(process, 0) != WAIT_OBJECT_0; waited += POLL_MS) {
        if (shows(dialog, want, NULL, &how)) {
            say("in", L"%ls (%ls)", want, how);
            return;
        }
        if (waited >= wait_ms)
            break;
        Sleep(POLL_MS);
    }
    say("in", L"%ls", want);
    fail(L"the dialog does not show that folder");
}

/* A message box over the dialog: reported, answered with `id`, and waited
 * for until it has gone. */
static int answer_box(HANDLE process, HWND dialog, int id, DWORD ms)
{
    HWND box = wait_dialog(process, dialog, ms);
    if (!box)
        return 0;
    settle(box);
    say("box", L"%ls", text_of(box));
    HWND text = GetDlgItem(box, 0xFFFF);  /* a message box's text */
    if (text)
        say("box text", L"%ls", text_of(text));
    /* A task dialog takes an answer by TDM_CLICK_BUTTON ("Simulates the
     * action of a button click in a task dialog", the button's identifier
     * in wParam): where no button carries the answer's identifier, or the
     * click did not close the box. */
    int pressed = press(box, id);
    for (int i = 0; IsWindow(box) && i < 40; i++) {
        if (i == (pressed ? 20 : 0))
            PostMessageW(box, TDM_CLICK_BUTTON, id, 0);
        Sleep(POLL_MS);
    }
    say("answered", L"%ls", id == IDYES ? L"yes" : id == IDNO ? L"no" : L"ok");
    return 1;
}

static void shot(HWND dialog, const wchar_t *path)
{
    RECT r;
    void *bits;
    settle(dialog);
    GetWindowRect(dialog, &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    BITMAPINFOHEADER info = {.biSize = sizeof info, .biWidth = w, .biHeight = h, .biPlanes = 1, .biBitCount = 24};
    DWORD size = ((w * 3 + 3) & ~3u) * h, i = 0;
    HDC screen = GetDC(NULL), dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateDIBSection(dc, (BITMAPINFO *)&info, DIB_RGB_COLORS, &bits, NULL, 0);
    SelectObject(dc, bmp);
    /* PW_RENDERFULLCONTENT (2) draws what the desktop composes, too. Wine's
     * PrintWindow leaves the picture black: then take it off the screen. */
    PrintWindow(dialog, dc, 2);
    GdiFlush();
    while (i < size && !((BYTE *)bits)[i])
        i++;
    if (i == size) {
        BitBlt(dc, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
        GdiFlush();
    }
    BITMAPFILEHEADER file = {.bfType = 0x4D42, .bfSize = sizeof file + sizeof info + size,
                             .bfOffBits = sizeof file + sizeof info};
    FILE *f = _wfopen(path, L"wb");
    if (f) {
        fwrite(&file, sizeof file, 1, f);
        fwrite(&info, sizeof info, 1, f);
        fwrite(bits, size, 1, f);
        fclose(f);
    }
    say("shot", L"%ls", f ? path : L"not written");
    DeleteObject(bmp);
    DeleteDC(dc);
    ReleaseDC(NULL, screen);
}

int main(void)
{
    wchar_t *arg, *steps[256];
    int nsteps = 0, failed = 0;
    const wchar_t *p = next_param(GetCommandLineW(), &arg);
    p = next_param(p, &arg);
    if (!wcscmp(arg, L"same") || !wcscmp(arg, L"has") || !wcscmp(arg, L"echo") || !wcscmp(arg, L"alias") ||
        !wcscmp(arg, L"line") || !wcscmp(arg, L"about")) {
        wchar_t *a, *b;
        next_param(next_param(p, &a), &b);
        return verb(arg, expand(a), expand(b));
    }
    for (; *arg && wcscmp(arg, L"--"); p = next_param(p, &arg)) {
        if (!wcscmp(arg, L"/wait")) {
            p = next_param(p, &arg);
            wait_ms = wcstoul(arg, NULL, 10) * 1000;
        } else if (!wcscmp(arg, L"/report")) {
            p = next_param(p, &arg);
            report = _wfopen(expand(arg), L"w");
        } else if (nsteps < 256) {
            steps[nsteps++] = expand(arg);
        }
    }
    while (*p == L' ' || *p == L'\t')
        p++;
    if (wcscmp(arg, L"--") || !*p) {
        fputs("usage: driver [/wait SECONDS] [/report FILE] STEP... -- COMMAND LINE\n"
              "       driver same FILE1 FILE2 | has FILE TEXT | line FILE TEXT | echo FILE TEXT | alias PATH | about\n", stderr);
        return DRIVER_FAILED;
    }

    /* No error box may hold a run: a library that the program lacks while
     * loading ends its start at once, with a status, rather than waiting
     * for a click. The error mode is inherited ("A child process inherits
     * the error mode of its parent process", SetErrorMode); the loader's
     * box is the critical-error one, and SEM_NOGPFAULTERRORBOX keeps
     * Windows Error Reporting quiet about a crash. */
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    STARTUPINFOW si = {.cb = sizeof si};
    PROCESS_INFORMATION pi;
    DWORD status = DRIVER_FAILED;
    wchar_t line[64];
    if (!CreateProcessW(NULL, _wcsdup(p), NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi))
        fail(L"cannot start the program");
    child = pi.dwProcessId;

    HWND dialog = NULL;
    static wchar_t folder[32768];
    const wchar_t *typed = L"";
    if (nsteps) {
        dialog = wait_dialog(pi.hProcess, NULL, wait_ms);
        if (!dialog && WaitForSingleObject(pi.hProcess, 0))
            fail(L"no dialog in time");
        if (!dialog) {
            GetExitCodeProcess(pi.hProcess, &status);
            swprintf(line, 64, L"no dialog: the program ended with status 0x%08lX", status);
            fail(line);
        }
        settle(dialog);
        describe(dialog);
    }
    for (int i = 0; i < nsteps; i++) {
        const wchar_t *step = steps[i];
        if (!IsWindow(dialog)) {
            say("step", L"%ls", step);
            fail(L"the dialog had closed before this step");
        }
        if (!wcscmp(step, L"type") && i + 1 < nsteps) {
            type_text(dialog, typed = steps[++i]);
        } else if (!wcscmp(step, L"names") && i + 1 < nsteps) {
            wchar_t lines[32768] = L"";
            for (int n = _wtoi(steps[++i]); n > 0 && i + 1 < nsteps; n--)
                wcscat(wcscat(lines, steps[++i]), L"\n");
            type_text(dialog, typed = quoted_list(lines));
        } else if (!wcscmp(step, L"list") && i + 1 < nsteps) {
            type_text(dialog, typed = list_file(steps[++i]));
        } else if (!wcscmp(step, L"shot") && i + 1 < nsteps) {
            shot(dialog, steps[++i]);
        } else if (!wcscmp(step, L"in") && i + 1 < nsteps) {
            check_in(pi.hProcess, dialog, steps[++i]);
        } else if (!wcscmp(step, L"filter") && i + 1 < nsteps) {
            pick_filter(dialog, steps[++i]);
        } else if (!wcscmp(step, L"ok") || !wcscmp(step, L"cancel")) {
            say("pressed", L"%ls", step);
            wcscpy(folder, step[0] == L'o' ? typed_folder(typed, dialog_folder(dialog)) : L"");
            HWND list = file_list(dialog), view = list ? GetParent(list) : NULL;
            if (!press(dialog, step[0] == L'o' ? IDOK : IDCANCEL))
                fail(step[0] == L'o' ? L"no button IDOK below the dialog" : L"no button IDCANCEL below the dialog");
            if (folder[0])
                await_folder(pi.hProcess, dialog, folder, typed, view);
            typed = L"";
        } else if (!wcscmp(step, L"yes") || !wcscmp(step, L"no") || !wcscmp(step, L"dismiss")) {
            if (!answer_box(pi.hProcess, dialog, step[0] == L'y' ? IDYES : step[0] == L'n' ? IDNO : IDOK, wait_ms))
                fail(L"no message box to answer");
        } else {
            say("error", L"unknown step %ls", step);
            failed = 1;
        }
    }

    DWORD since = GetTickCount(), quiet = nsteps ? 2000 : 0;
    while (WaitForSingleObject(pi.hProcess, POLL_MS) != WAIT_OBJECT_0) {
        HWND left = GetTickCount() - since >= quiet ? find_dialog(NULL) : NULL;
        if (left && busy(left))
            continue;
        if (left) {
            settle(left);
            say(nsteps ? "left open" : "unexpected dialog", L"%ls", text_of(left));
            if (!press(left, IDCANCEL))
                SendMessageTimeoutW(left, WM_COMMAND, IDCANCEL, 0, SMTO_NORMAL, 2000, NULL);
            failed = 1;
        }
        if (GetTickCount() - since > wait_ms)
            fail(L"the program did not end");
    }
    GetExitCodeProcess(pi.hProcess, &status);
    say("status", status > 0xFFFF ? L"%lu (0x%08lX)" : L"%lu", status, status);
    return failed ? DRIVER_FAILED : (int)status;
}
