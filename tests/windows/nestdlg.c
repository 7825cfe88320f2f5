/* A stand-in for the file dialogs of Windows 10 and 11, laid out with their
 * class names and identifiers (as the dialog driver's comments describe
 * them), so that the driver can be tried against Windows' nesting where
 * only Wine runs:
 *
 *   nestdlg save|open RECORD
 *
 * "save" nests the name box and the list of file types under
 * FloatNotifySinks, answers no CDM_GETFOLDERPATH (the folder shows in the
 * address bar only) and asks before a file that exists is replaced, in a
 * second dialog whose buttons sit under CtrlNotifySinks; "open" keeps
 * cmb13 and cmb1 and answers CDM_GETFOLDERPATH. The keyboard stays on a
 * stand-in for the file view, never on the name box.
 *
 * Like Windows' view, it shows a typed folder only a while after the OK
 * button that asked for it, and then empties the name box: a step taken
 * in between lands in the old folder, or is wiped.
 *
 * RECORD gets one "key: value" line (UTF-8) for each thing that reached the
 * dialog: "typed" (a text set into the name box from outside), "char" (a
 * character sent to it), "stray" (a character that reached the view),
 * "filter" (the list of file types told of a pick), "ok" (the name box's
 * text when OK was pressed), "shown" (a folder the view got to), "replace"
 * (the question's answer and how it came: "yes by button", "no by
 * TDM_CLICK_BUTTON"), "chosen" (the full name taken), "cancel".
 * Exits 0 once a name is chosen, 1 on Cancel.
 *
 * Built with NEEDS_MISSING, it imports a library that is never beside it,
 * and so never starts. */
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>
#include <stdio.h>
#include <wchar.h>

#define NAVIGATE_MS 2000
#define NAVIGATE_TIMER 1

#ifdef NEEDS_MISSING
__declspec(dllimport) int missing_export(void);
#endif

static FILE *record;
static int save_layout, setting;
static wchar_t folder[MAX_PATH], pending[MAX_PATH];
static HWND name_edit, types, address;
static WNDPROC edit_proc, view_proc;

static void note(const char *key, const wchar_t *value)
{
    char bytes[4 * MAX_PATH];
    WideCharToMultiByte(CP_UTF8, 0, value, -1, bytes, sizeof bytes, NULL, NULL);
    fprintf(record, "%s: %s\n", key, bytes);
    fflush(record);
}

/* The containers pass their children's notifications up, so that they
 * reach the dialog as a direct child's would. */
static LRESULT CALLBACK sink(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_COMMAND || msg == WM_NOTIFY)
        return SendMessageW(GetParent(w), msg, wp, lp);
    return DefWindowProcW(w, msg, wp, lp);
}

static const wchar_t *const containers[] = {
    L"DUIViewWndClassName", L"DirectUIHWND", L"FloatNotifySink", L"CtrlNotifySink", L"ComboBoxEx32",
    L"WorkerW", L"ReBarWindow32", L"Address Band Root", L"msctls_progress32", L"Breadcrumb Parent",
    L"ToolbarWindow32", L"SHELLDLL_DefView"};

static HWND child(HWND parent, const wchar_t *cls, const wchar_t *text, DWORD style, int id, int y)
{
    return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 8, y, 360, 24, parent, (HMENU)(INT_PTR)id,
                           GetModuleHandleW(NULL), NULL);
}

/* `classes`, each inside the one before, below `parent`; returns the last. */
static HWND nest(HWND parent, const wchar_t *const *classes, int n, int y)
{
    for (int i = 0; i < n; i++, y = 0)
        parent = child(parent, classes[i], L"", 0, 0, y);
    return parent;
}

static void show_folder(void)
{
    wchar_t text[MAX_PATH + 16];
    swprintf(text, MAX_PATH + 16, L"Address: %ls", folder);
    SetWindowTextW(address, text);
}

static LRESULT CALLBACK name_edit_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    wchar_t c[2] = {(wchar_t)wp, 0};
    if (msg == WM_SETTEXT && !setting)
        note("typed", (const wchar_t *)lp);
    else if (msg == WM_CHAR)
        note("char", c);
    return CallWindowProcW(edit_proc, w, msg, wp, lp);
}

static LRESULT CALLBACK view_edit_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    wchar_t c[2] = {(wchar_t)wp, 0};
    if (msg == WM_CHAR)
        note("stray", c);
    return CallWindowProcW(view_proc, w, msg, wp, lp);
}

static INT_PTR show(DLGPROC proc, HWND owner)
{
    struct {
        DLGTEMPLATE t;
        WORD menu, cls, title;
    } tpl = {{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER, 0, 0, 0, 0, 260, 180}, 0, 0, 0};
    return DialogBoxIndirectParamW(GetModuleHandleW(NULL), &tpl.t, owner, proc, 0);
}

static INT_PTR CALLBACK question(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    static const wchar_t *const yes[] = {L"DirectUIHWND", L"CtrlNotifySink"};
    (void)lp;
    if (msg == WM_INITDIALOG) {
        SetWindowTextW(w, L"Confirm Save As");
        HWND ui = nest(w, yes, 1, 8);
        child(nest(ui, yes + 1, 1, 0), L"Button", L"&Yes", BS_PUSHBUTTON, IDYES, 0);
        child(nest(ui, yes + 1, 1, 30), L"Button", L"&No", BS_PUSHBUTTON, IDNO, 0);
        return TRUE;
    }
    if (msg == WM_COMMAND && (LOWORD(wp) == IDYES || LOWORD(wp) == IDNO) && HIWORD(wp) == BN_CLICKED) {
        note("replace", LOWORD(wp) == IDYES ? L"yes by button" : L"no by button");
        EndDialog(w, LOWORD(wp));
    } else if (msg == TDM_CLICK_BUTTON && (wp == IDYES || wp == IDNO)) {
        note("replace", wp == IDYES ? L"yes by TDM_CLICK_BUTTON" : L"no by TDM_CLICK_BUTTON");
        EndDialog(w, wp);
    }
    return FALSE;
}

static void pressed_ok(HWND dialog)
{
    wchar_t text[MAX_PATH], joined[2 * MAX_PATH], path[MAX_PATH];
    GetWindowTextW(name_edit, text, MAX_PATH);
    note("ok", text);
    if (!text[0])
        return;
    if ((text[0] && text[1] == L':') || text[0] == L'\\')
        wcscpy(joined, text);
    else
        swprintf(joined, 2 * MAX_PATH, L"%ls\\%ls", folder, text);
    GetFullPathNameW(joined, MAX_PATH, path, NULL);
    DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        wcscpy(pending, path);
        SetTimer(dialog, NAVIGATE_TIMER, NAVIGATE_MS, NULL);
        return;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && save_layout && show(question, dialog) != IDYES)
        return;
    note("chosen", path);
    EndDialog(dialog, 0);
}

static INT_PTR CALLBACK dialog_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    static const wchar_t *const bar[] = {L"WorkerW", L"ReBarWindow32", L"Address Band Root", L"msctls_progress32",
                                         L"Breadcrumb Parent"};
    static const wchar_t *const view[] = {L"DUIViewWndClassName", L"DirectUIHWND", L"FloatNotifySink"};
    static const wchar_t *const open_name[] = {L"ComboBoxEx32"};
    static const wchar_t *const file_view[] = {L"SHELLDLL_DefView"};
    wchar_t text[MAX_PATH];
    HWND combo, focus;
    switch (msg) {
    case WM_INITDIALOG:
        SetWindowTextW(w, save_layout ? L"Nested save" : L"Nested open");
        address = child(nest(w, bar, 5, 8), L"ToolbarWindow32", L"", 0, 0, 0);
        show_folder();
        focus = child(nest(w, file_view, 1, 40), L"Edit", L"", WS_BORDER, 0, 0);
        if (save_layout) {
            HWND ui = nest(w, view, 2, 72);
            combo = child(nest(ui, view + 2, 1, 0), L"ComboBox", L"", CBS_DROPDOWN, 0, 0);
            types = child(nest(ui, view + 2, 1, 30), L"ComboBox", L"", CBS_DROPDOWNLIST, 0, 0);
        } else {
            HWND ex = child(w, open_name[0], L"", 0, cmb13, 72);
            combo = child(ex, L"ComboBox", L"", CBS_DROPDOWN, cmb13, 0);
            types = child(w, L"ComboBox", L"", CBS_DROPDOWNLIST, cmb1, 102);
        }
        SendMessageW(types, CB_ADDSTRING, 0, (LPARAM)L"Texts (*.txt)");
        SendMessageW(types, CB_ADDSTRING, 0, (LPARAM)L"All files (*.*)");
        SendMessageW(types, CB_SETCURSEL, 0, 0);
        name_edit = FindWindowExW(combo, NULL, L"Edit", NULL);
        edit_proc = (WNDPROC)SetWindowLongPtrW(name_edit, GWLP_WNDPROC, (LONG_PTR)name_edit_proc);
        view_proc = (WNDPROC)SetWindowLongPtrW(focus, GWLP_WNDPROC, (LONG_PTR)view_edit_proc);
        child(w, L"Button", save_layout ? L"&Save" : L"&Open", BS_DEFPUSHBUTTON, IDOK, 140);
        child(w, L"Button", L"Cancel", BS_PUSHBUTTON, IDCANCEL, 170);
        SetFocus(focus);
        return FALSE;
    case WM_COMMAND:
        if ((HWND)lp == types && HIWORD(wp) == CBN_SELCHANGE) {
            text[0] = 0;
            SendMessageW(types, CB_GETLBTEXT, SendMessageW(types, CB_GETCURSEL, 0, 0), (LPARAM)text);
            note("filter", text);
        } else if (LOWORD(wp) == IDOK && HIWORD(wp) == BN_CLICKED) {
            pressed_ok(w);
        } else if (LOWORD(wp) == IDCANCEL) {
            note("cancel", L"");
            EndDialog(w, 1);
        }
        return TRUE;
    case WM_TIMER:
        KillTimer(w, NAVIGATE_TIMER);
        wcscpy(folder, pending);
        show_folder();
        setting = 1;
        SetWindowTextW(name_edit, L"");
        setting = 0;
        note("shown", folder);
        return TRUE;
    case CDM_GETFOLDERPATH:
        if (save_layout)
            return FALSE;
        lstrcpynW((wchar_t *)lp, folder, (int)wp);
        SetWindowLongPtrW(w, DWLP_MSGRESULT, wcslen(folder) + 1);
        return TRUE;
    }
    return FALSE;
}

int main(int argc, char **argv)
{
    WNDCLASSW cls = {.lpfnWndProc = sink, .hInstance = GetModuleHandleW(NULL)};
#ifdef NEEDS_MISSING
    if (argc > 99)
        return missing_export();
#endif
    if (argc != 3 || !(record = fopen(argv[2], "w")))
        return 2;
    save_layout = !strcmp(argv[1], "save");
    GetCurrentDirectoryW(MAX_PATH, folder);
    for (size_t i = 0; i < sizeof containers / sizeof *containers; i++) {
        cls.lpszClassName = containers[i];
        RegisterClassW(&cls);
    }
    return (int)show(dialog_proc, NULL);
}
