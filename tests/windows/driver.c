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
 *   ok, cancel  presses the dialog's OK or Cancel button
 *   yes, no     answers the message box that the dialog brought up (the
 *               question whether to replace a file, say)
 *   dismiss     closes such a box with its OK button
 *   shot FILE   saves a picture of the dialog as a BMP file
 * With no step at all, no dialog is expected: one that shows is reported
 * and cancelled. Whatever is still open two seconds after the last step
 * (a dialog, a message box) is reported and cancelled, so that no run is
 * left waiting.
 *
 * The report (UTF-8, one "key: value" line each) says what was found: the
 * dialog's title, its owner (the console window, none, or another window),
 * the folder and the filter it shows where the dialog tells them, each
 * step, and how the program ended.
 *
 * Parameters are split at blanks; double quotes group and are removed;
 * there are no escapes. Before "--", {NAME} stands for the environment
 * variable NAME: a batch file can hand over a name that its own parser
 * would change (Wine's cmd drops each "!" from the value of a !variable!).
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
#include <commdlg.h>
#include <dlgs.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#define DRIVER_FAILED 250
#define POLL_MS 50

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

static const wchar_t *text_of(HWND w)
{
    static wchar_t text[1024];
    DWORD_PTR r;
    text[0] = 0;
    SendMessageTimeoutW(w, WM_GETTEXT, 1024, (LPARAM)text, SMTO_NORMAL, 5000, &r);
    return text;
}

/* --- What the dialog shows --------------------------------------------------------- */

static void describe(HWND dialog)
{
    wchar_t cls[64], folder[MAX_PATH * 2];
    DWORD pid;
    DWORD_PTR got = 0;
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

    /* CDM_GETFOLDERPATH writes into the dialog's own memory: give it a
     * buffer there. */
    GetWindowThreadProcessId(dialog, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ, FALSE, pid);
    void *remote = process ? VirtualAllocEx(process, NULL, sizeof folder, MEM_COMMIT, PAGE_READWRITE) : NULL;
    if (remote &&
        SendMessageTimeoutW(dialog, CDM_GETFOLDERPATH, MAX_PATH * 2, (LPARAM)remote, SMTO_NORMAL, 5000, &got) &&
        (LONG_PTR)got > 0 && ReadProcessMemory(process, remote, folder, sizeof folder, NULL)) {
        folder[MAX_PATH * 2 - 1] = 0;
        say("folder", L"%ls", folder);
    } else {
        say("folder", L"unknown");
    }
    if (remote)
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    if (process)
        CloseHandle(process);
    /* cmb1, the list of file types, shows the filter in use. */
    HWND types = GetDlgItem(dialog, cmb1);
    if (types && IsWindowVisible(types))
        say("filter", L"%ls", text_of(types));
}

/* --- Steps ---------------------------------------------------------------------------- */

typedef struct {
    int id;
    const wchar_t *cls;
    HWND found;
} Child;

static BOOL CALLBACK child_like(HWND w, LPARAM param)
{
    Child *c = (Child *)param;
    wchar_t cls[16];
    if ((c->id && GetDlgCtrlID(w) != c->id) || !IsWindowVisible(w) ||
        (c->cls && (!GetClassNameW(w, cls, 16) || _wcsicmp(cls, c->cls))))
        return TRUE;
    c->found = w;
    return FALSE;
}

/* The name box keeps its classic control identifier in the Explorer-style
 * Open and Save dialogs: cmb13, the combo box that shows the name, or edt1,
 * the edit box that older ones have instead (both in Windows' table
 * "Explorer-Style Control Identifiers", from dlgs.h). Newer dialogs nest it
 * deep below the dialog, so all descendants are searched, not just its
 * children; the text goes into the combo box's own edit box. */
static HWND name_box(HWND dialog)
{
    static const int ids[] = {cmb13, edt1};
    for (int i = 0; i < 2; i++) {
        Child box = {ids[i], NULL, NULL}, edit = {0, L"Edit", NULL};
        EnumChildWindows(dialog, child_like, (LPARAM)&box);
        if (!box.found)
            continue;
        EnumChildWindows(box.found, child_like, (LPARAM)&edit);
        say("name box", L"0x%x%ls", ids[i], edit.found ? L", its edit box" : L"");
        return edit.found ? edit.found : box.found;
    }
    return NULL;
}

/* Without a name box, the keys go to whatever has the keyboard in the
 * dialog, as if typed there. */
static void type_keys(HWND dialog, const wchar_t *text)
{
    SetForegroundWindow(dialog);
    settle(dialog);
    for (const wchar_t *c = text; *c; c++) {
        INPUT keys[2] = {{.type = INPUT_KEYBOARD}, {.type = INPUT_KEYBOARD}};
        keys[0].ki.wScan = keys[1].ki.wScan = *c;
        keys[0].ki.dwFlags = KEYEVENTF_UNICODE;
        keys[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        SendInput(2, keys, sizeof keys[0]);
    }
    settle(dialog);
}

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

static void type_text(HWND dialog, const wchar_t *text)
{
    HWND box = name_box(dialog);
    DWORD_PTR r;
    if (!box) {
        say("name box", L"none: typed as keys");
        type_keys(dialog, text);
    } else if (!SendMessageTimeoutW(box, WM_SETTEXT, 0, (LPARAM)text, SMTO_NORMAL, 5000, &r)) {
        fail(L"the name box did not take the text");
    }
    say("typed", L"%ls", text);
}

/* Presses a button the way a click reports it to the dialog. The call
 * returns once the dialog has acted on it, unless that opened a message box
 * of its own, whose loop runs inside the call: then the wait ends, and the
 * box is for the next step. */
static void press(HWND dialog, int id)
{
    DWORD_PTR r;
    SendMessageTimeoutW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id),
                        SMTO_NORMAL, 2000, &r);
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
    press(box, id);
    /* A task dialog takes its buttons by TDM_CLICK_BUTTON. */
    for (int i = 0; IsWindow(box) && i < 40; i++) {
        if (i == 20)
            PostMessageW(box, WM_USER + 102, id, 0);
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
              "       driver same FILE1 FILE2 | has FILE TEXT | echo FILE TEXT | alias PATH\n", stderr);
        return DRIVER_FAILED;
    }

    STARTUPINFOW si = {.cb = sizeof si};
    PROCESS_INFORMATION pi;
    if (!CreateProcessW(NULL, _wcsdup(p), NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi))
        fail(L"cannot start the program");
    child = pi.dwProcessId;

    HWND dialog = NULL;
    if (nsteps) {
        dialog = wait_dialog(pi.hProcess, NULL, wait_ms);
        if (!dialog)
            fail(WaitForSingleObject(pi.hProcess, 0) ? L"no dialog in time" : L"no dialog: the program ended");
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
            type_text(dialog, steps[++i]);
        } else if (!wcscmp(step, L"names") && i + 1 < nsteps) {
            wchar_t lines[32768] = L"";
            for (int n = _wtoi(steps[++i]); n > 0 && i + 1 < nsteps; n--)
                wcscat(wcscat(lines, steps[++i]), L"\n");
            type_text(dialog, quoted_list(lines));
        } else if (!wcscmp(step, L"list") && i + 1 < nsteps) {
            type_text(dialog, list_file(steps[++i]));
        } else if (!wcscmp(step, L"shot") && i + 1 < nsteps) {
            shot(dialog, steps[++i]);
        } else if (!wcscmp(step, L"ok") || !wcscmp(step, L"cancel")) {
            say("pressed", L"%ls", step);
            press(dialog, step[0] == L'o' ? IDOK : IDCANCEL);
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
        if (left) {
            settle(left);
            say(nsteps ? "left open" : "unexpected dialog", L"%ls", text_of(left));
            press(left, IDCANCEL);
            failed = 1;
        }
        if (GetTickCount() - since > wait_ms)
            fail(L"the program did not end");
    }
    DWORD status = DRIVER_FAILED;
    GetExitCodeProcess(pi.hProcess, &status);
    say("status", L"%lu", status);
    return failed ? DRIVER_FAILED : (int)status;
}
