/* Stand-in for the common item dialog (FileOpenDialog, FileSaveDialog) in
 * end-to-end tests: an in-process COM server that a test prefix registers
 * under both classes' CLSIDs (winrun.item_stub_prefix).
 *
 * It is not Windows' dialog, and no dialog at all: it shows nothing, keeps
 * no folder, applies no option, filter or default extension, and never
 * checks a name. It records every call made to it and answers the result
 * calls from a file, so that a test sees what the program asked for and
 * what it made of a given answer. Show answers at once.
 *
 * TAMBERLIN_ITEMSTUB holds a path prefix P (a Windows path):
 *   P.calls   written here, one line per call, in the order made: the
 *             method's name, then its arguments separated by one blank.
 *             A text is "u:" and its UTF-16LE units in hex ("u:" alone is
 *             the empty text), a null pointer "null", a number decimal, a
 *             set of option bits 0x%08x. The lines:
 *               create open|save IID      the class factory made one
 *               refuse open|save          P.refuse: no object made
 *               QueryInterface IID        on the dialog (E_NOINTERFACE
 *                                         for an interface it lacks)
 *               SetOptions BITS           SetFileTypeIndex N
 *               SetFileTypes N NAME PATTERNS NAME PATTERNS ...
 *               SetDefaultExtension TEXT  SetTitle TEXT  SetFileName TEXT
 *               SetFolder TEXT            the item's SIGDN_FILESYSPATH,
 *                                         or "nopath 0x%08x" when that fails
 *               Show console|null|other   the owner: this process's console
 *                                         window (GetConsoleWindow), none,
 *                                         or another window
 *               GetResult  GetResults  GetCount
 *               GetItemAt N               GetDisplayName N SIGDN
 *             where IID is the interface's name (or its GUID), SIGDN
 *             FILESYSPATH, DESKTOPABSOLUTEEDITING or 0x%08x, and N in
 *             GetDisplayName the item's place in the answer. Every other
 *             method, of the dialog, the array or an item, records its own
 *             name alone and returns E_NOTIMPL, so that a test sees a call
 *             the program should not make. AddRef and Release are not
 *             recorded: the objects live as long as the process.
 *   P.answer  UTF-16LE: the chosen items, each ended by a NUL. An entry
 *             starting with "?" is an item outside the file system: its
 *             SIGDN_FILESYSPATH fails with E_INVALIDARG, and every other
 *             SIGDN gives the text after the "?". Missing: Show reports a
 *             cancel, HRESULT_FROM_WIN32(ERROR_CANCELLED).
 *   P.show    an HRESULT in hexadecimal ASCII: Show returns it, whatever the
 *             answer.
 *   P.refuse  when it exists, DllGetClassObject refuses both classes with
 *             CLASS_E_CLASSNOTAVAILABLE, as a system without them would.
 * Without TAMBERLIN_ITEMSTUB both classes are refused the same way.
 *
 * GetResult answers as Wine's does: E_UNEXPECTED before a successful Show,
 * E_FAIL when the answer holds other than one item. GetResults is only on
 * the open class's interface, IFileOpenDialog.
 *
 * The vtables' layouts are MinGW-w64's (shobjidl.h); the first 27 slots of
 * IFileOpenDialog and IFileSaveDialog are IFileDialog's, so that one object
 * serves IUnknown, IModalWindow and IFileDialog through either.
 */
#define COBJMACROS
#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "growtext.h"

/* Exported undecorated (-Wl,--kill-at): COM looks the names up as they are. */
__declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void **out);
__declspec(dllexport) HRESULT WINAPI DllCanUnloadNow(void);

static WCHAR prefix[MAX_PATH];
static size_t prefix_len;
static HANDLE calls = INVALID_HANDLE_VALUE;

/* --- The record ------------------------------------------------------------ */

static void word(Text *l, const char *s)
{
    if (l->len)
        put(l, " ", 1);
    put(l, s, strlen(s));
}

static void number(Text *l, const char *fmt, unsigned long v)
{
    char buf[32];
    snprintf(buf, sizeof buf, fmt, v);
    word(l, buf);
}

static void text(Text *l, const WCHAR *s)
{
    static const char digits[] = "0123456789abcdef";
    if (!s) {
        word(l, "null");
        return;
    }
    word(l, "u:");
    for (const unsigned char *b = (const unsigned char *)s; b[0] || b[1]; b += 2) {
        char four[4] = { digits[b[0] >> 4], digits[b[0] & 15], digits[b[1] >> 4], digits[b[1] & 15] };
        put(l, four, 4);
    }
}

/* A file of this prefix: P and the suffix, in a buffer of the caller's. */
static const WCHAR *named(WCHAR *path, const WCHAR *suffix)
{
    memcpy(path, prefix, prefix_len * sizeof(WCHAR));
    lstrcpyW(path + prefix_len, suffix);
    return path;
}

/* Appends the line to P.calls at once, so that a process that dies leaves
 * the calls made up to then. */
static void flush(Text *l)
{
    put(l, "\n", 1);
    if (calls == INVALID_HANDLE_VALUE) {
        WCHAR path[MAX_PATH + 16];
        calls = CreateFileW(named(path, L".calls"), FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, NULL);
        if (calls == INVALID_HANDLE_VALUE)
            ExitProcess(251);
    }
    DWORD done;
    if (!WriteFile(calls, l->p, (DWORD)l->len, &done, NULL) || done != l->len)
        ExitProcess(251);
    l->len = 0;
}

/* A call whose one argument is a number. */
static HRESULT record_number(const char *name, const char *fmt, unsigned long v)
{
    Text l = { 0 };
    word(&l, name);
    number(&l, fmt, v);
    flush(&l);
    free(l.p);
    return S_OK;
}

static void note(const char *name)
{
    Text l = { 0 };
    word(&l, name);
    flush(&l);
    free(l.p);
}

/* --- Files the test leaves ------------------------------------------------- */

static BOOL exists(const WCHAR *suffix)
{
    WCHAR path[MAX_PATH + 16];
    return GetFileAttributesW(named(path, suffix)) != INVALID_FILE_ATTRIBUTES;
}

/* The whole file with four NULs added, so that it ends as a text of either
 * kind; NULL when it does not exist. */
static WCHAR *read_all(const WCHAR *suffix, DWORD *units)
{
    WCHAR path[MAX_PATH + 16];
    HANDLE h = CreateFileW(named(path, suffix), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return NULL;
    DWORD size = GetFileSize(h, NULL), got = 0;
    char *data = calloc((size_t)size + 4, 1);
    if (!data || !ReadFile(h, data, size, &got, NULL) || got != size)
        ExitProcess(251);
    CloseHandle(h);
    *units = size / 2;
    return (WCHAR *)data;
}

/* --- The answer's items ---------------------------------------------------- */

typedef struct {
    IShellItem iface;
    DWORD index;
    const WCHAR *name;  /* after the "?" when outside the file system */
    BOOL no_path;
} Item;

typedef struct {
    IShellItemArray iface;
    Item *items;
    DWORD count;
} Array;

static Array answer;
static BOOL shown;

static const char *iid_name(REFIID iid, char *buf, size_t size)
{
    static const struct { const IID *iid; const char *name; } known[] = {
        { &IID_IUnknown, "IUnknown" }, { &IID_IModalWindow, "IModalWindow" },
        { &IID_IFileDialog, "IFileDialog" }, { &IID_IFileOpenDialog, "IFileOpenDialog" },
        { &IID_IFileSaveDialog, "IFileSaveDialog" }, { &IID_IShellItem, "IShellItem" },
        { &IID_IShellItemArray, "IShellItemArray" },
    };
    for (size_t i = 0; i < sizeof known / sizeof known[0]; i++)
        if (IsEqualIID(iid, known[i].iid))
            return known[i].name;
    snprintf(buf, size, "{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", iid->Data1, iid->Data2,
             iid->Data3, iid->Data4[0], iid->Data4[1], iid->Data4[2], iid->Data4[3], iid->Data4[4],
             iid->Data4[5], iid->Data4[6], iid->Data4[7]);
    return buf;
}

static const char *sigdn_name(SIGDN sigdn, char *buf, size_t size)
{
    if (sigdn == SIGDN_FILESYSPATH)
        return "FILESYSPATH";
    if (sigdn == SIGDN_DESKTOPABSOLUTEEDITING)
        return "DESKTOPABSOLUTEEDITING";
    snprintf(buf, size, "0x%08lx", (unsigned long)sigdn);
    return buf;
}

static ULONG STDMETHODCALLTYPE lasting_AddRef(void *This)
{
    (void)This;
    return 2;
}

static ULONG STDMETHODCALLTYPE lasting_Release(void *This)
{
    (void)This;
    return 1;
}

/* A method that the program has no business calling: its name goes into
 * the record, and the caller learns that it failed. Its parameters are
 * there for their size alone, which a __stdcall callee pops. */
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define UNWANTED(prefix, method, ...)                                   \
    static HRESULT STDMETHODCALLTYPE prefix##_##method(__VA_ARGS__)     \
    {                                                                   \
        note(#method);                                                  \
        return E_NOTIMPL;                                               \
    }

static HRESULT STDMETHODCALLTYPE item_QueryInterface(IShellItem *This, REFIID iid, void **out)
{
    if (IsEqualIID(iid, &IID_IUnknown) || IsEqualIID(iid, &IID_IShellItem)) {
        *out = This;
        return S_OK;
    }
    *out = NULL;
    return E_NOINTERFACE;
}

static HRESULT STDMETHODCALLTYPE item_GetDisplayName(IShellItem *This, SIGDN sigdn, LPWSTR *out)
{
    Item *item = (Item *)This;
    char buf[16];
    Text l = { 0 };
    word(&l, "GetDisplayName");
    number(&l, "%lu", item->index);
    word(&l, sigdn_name(sigdn, buf, sizeof buf));
    flush(&l);
    free(l.p);
    *out = NULL;
    /* "When an item does not have a file system path, a call to
     * IShellItem::GetDisplayName on that item will fail" (SIGDN enumeration,
     * shobjidl_core.h); E_INVALIDARG is what Windows and Wine return. */
    if (item->no_path && sigdn == SIGDN_FILESYSPATH)
        return E_INVALIDARG;
    size_t bytes = (lstrlenW(item->name) + 1) * sizeof(WCHAR);
    /* The caller frees it with CoTaskMemFree, as the method's page says. */
    if (!(*out = CoTaskMemAlloc(bytes)))
        return E_OUTOFMEMORY;
    memcpy(*out, item->name, bytes);
    return S_OK;
}

UNWANTED(item, BindToHandler, IShellItem *This, IBindCtx *bc, REFGUID bhid, REFIID iid, void **out)
UNWANTED(item, GetParent, IShellItem *This, IShellItem **out)
UNWANTED(item, GetAttributes, IShellItem *This, SFGAOF mask, SFGAOF *out)
UNWANTED(item, Compare, IShellItem *This, IShellItem *other, SICHINTF hint, int *order)

static const IShellItemVtbl item_vtbl = {
    item_QueryInterface, (void *)lasting_AddRef, (void *)lasting_Release, item_BindToHandler, item_GetParent,
    item_GetDisplayName, item_GetAttributes, item_Compare,
};

static HRESULT STDMETHODCALLTYPE array_QueryInterface(IShellItemArray *This, REFIID iid, void **out)
{
    if (IsEqualIID(iid, &IID_IUnknown) || IsEqualIID(iid, &IID_IShellItemArray)) {
        *out = This;
        return S_OK;
    }
    *out = NULL;
    return E_NOINTERFACE;
}

static HRESULT STDMETHODCALLTYPE array_GetCount(IShellItemArray *This, DWORD *count)
{
    note("GetCount");
    *count = ((Array *)This)->count;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE array_GetItemAt(IShellItemArray *This, DWORD index, IShellItem **out)
{
    Array *array = (Array *)This;
    Text l = { 0 };
    word(&l, "GetItemAt");
    number(&l, "%lu", index);
    flush(&l);
    free(l.p);
    *out = index < array->count ? &array->items[index].iface : NULL;
    return *out ? S_OK : E_INVALIDARG;
}

UNWANTED(array, BindToHandler, IShellItemArray *This, IBindCtx *bc, REFGUID bhid, REFIID iid, void **out)
UNWANTED(array, GetPropertyStore, IShellItemArray *This, GETPROPERTYSTOREFLAGS flags, REFIID iid, void **out)
UNWANTED(array, GetPropertyDescriptionList, IShellItemArray *This, REFPROPERTYKEY key, REFIID iid, void **out)
UNWANTED(array, GetAttributes, IShellItemArray *This, SIATTRIBFLAGS how, SFGAOF mask, SFGAOF *out)
UNWANTED(array, EnumItems, IShellItemArray *This, IEnumShellItems **out)

static const IShellItemArrayVtbl array_vtbl = {
    array_QueryInterface, (void *)lasting_AddRef, (void *)lasting_Release, array_BindToHandler,
    array_GetPropertyStore, array_GetPropertyDescriptionList, array_GetAttributes, array_GetCount,
    array_GetItemAt, array_EnumItems,
};

/* P.answer made into items; false when there is none (a cancel). */
static BOOL load_answer(void)
{
    DWORD units;
    WCHAR *all = read_all(L".answer", &units);
    if (!all)
        return FALSE;
    DWORD count = 0;
    for (DWORD i = 0; i < units; i++)
        count += all[i] == 0;
    Item *items = calloc(count ? count : 1, sizeof *items);
    if (!items)
        ExitProcess(251);
    WCHAR *at = all;
    for (DWORD i = 0; i < count; i++) {
        items[i].iface.lpVtbl = (IShellItemVtbl *)&item_vtbl;
        items[i].index = i;
        items[i].no_path = at[0] == L'?';
        items[i].name = at + items[i].no_path;
        at += lstrlenW(at) + 1;
    }
    answer.iface.lpVtbl = (IShellItemArrayVtbl *)&array_vtbl;
    answer.items = items;
    answer.count = count;
    return TRUE;
}

/* --- The dialog ------------------------------------------------------------ */

typedef struct {
    IFileDialog iface;
    BOOL saving;
} Dialog;

/* The dialog's methods take IFileDialog: IFileOpenDialog's and
 * IFileSaveDialog's first slots are the same, with `This` named otherwise. */
static HRESULT dialog_as(Dialog *dialog, REFIID iid, void **out)
{
    if (IsEqualIID(iid, &IID_IUnknown) || IsEqualIID(iid, &IID_IModalWindow) || IsEqualIID(iid, &IID_IFileDialog) ||
        IsEqualIID(iid, dialog->saving ? &IID_IFileSaveDialog : &IID_IFileOpenDialog)) {
        *out = &dialog->iface;
        return S_OK;
    }
    *out = NULL;
    return E_NOINTERFACE;
}

static HRESULT STDMETHODCALLTYPE dialog_QueryInterface(IFileDialog *This, REFIID iid, void **out)
{
    char buf[48];
    Text l = { 0 };
    word(&l, "QueryInterface");
    word(&l, iid_name(iid, buf, sizeof buf));
    flush(&l);
    free(l.p);
    return dialog_as((Dialog *)This, iid, out);
}

static HRESULT STDMETHODCALLTYPE dialog_Show(IFileDialog *This, HWND owner)
{
    (void)This;
    Text l = { 0 };
    word(&l, "Show");
    word(&l, !owner ? "null" : owner == GetConsoleWindow() ? "console" : "other");
    flush(&l);
    free(l.p);
    DWORD units;
    char *code = (char *)read_all(L".show", &units), *end;
    if (code) {
        unsigned long result = strtoul(code, &end, 16);
        if (end == code)
            ExitProcess(251);  /* a test's mistake, which must not pass for S_OK */
        return (HRESULT)result;
    }
    if (!load_answer())
        return HRESULT_FROM_WIN32(ERROR_CANCELLED);
    shown = TRUE;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE dialog_SetFileTypes(IFileDialog *This, UINT count, const COMDLG_FILTERSPEC *types)
{
    (void)This;
    Text l = { 0 };
    word(&l, "SetFileTypes");
    number(&l, "%lu", count);
    for (UINT i = 0; i < count; i++) {
        text(&l, types[i].pszName);
        text(&l, types[i].pszSpec);
    }
    flush(&l);
    free(l.p);
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE dialog_SetFileTypeIndex(IFileDialog *This, UINT index)
{
    (void)This;
    return record_number("SetFileTypeIndex", "%lu", index);
}

static HRESULT STDMETHODCALLTYPE dialog_SetOptions(IFileDialog *This, FILEOPENDIALOGOPTIONS options)
{
    (void)This;
    return record_number("SetOptions", "0x%08lx", options);
}

/* The folder as the item the program made tells it: by its file-system
 * path, which is what the program meant. */
static HRESULT STDMETHODCALLTYPE dialog_SetFolder(IFileDialog *This, IShellItem *folder)
{
    (void)This;
    Text l = { 0 };
    word(&l, "SetFolder");
    LPWSTR path = NULL;
    HRESULT result = folder ? IShellItem_GetDisplayName(folder, SIGDN_FILESYSPATH, &path) : S_OK;
    if (!folder)
        word(&l, "null");
    else if (SUCCEEDED(result))
        text(&l, path);
    else {
        word(&l, "nopath");
        number(&l, "0x%08lx", (unsigned long)result);
    }
    CoTaskMemFree(path);
    flush(&l);
    free(l.p);
    return S_OK;
}

static HRESULT text_call(const char *name, LPCWSTR value)
{
    Text l = { 0 };
    word(&l, name);
    text(&l, value);
    flush(&l);
    free(l.p);
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE dialog_SetFileName(IFileDialog *This, LPCWSTR name)
{
    (void)This;
    return text_call("SetFileName", name);
}

static HRESULT STDMETHODCALLTYPE dialog_SetTitle(IFileDialog *This, LPCWSTR title)
{
    (void)This;
    return text_call("SetTitle", title);
}

static HRESULT STDMETHODCALLTYPE dialog_SetDefaultExtension(IFileDialog *This, LPCWSTR extension)
{
    (void)This;
    return text_call("SetDefaultExtension", extension);
}

static HRESULT STDMETHODCALLTYPE dialog_GetResult(IFileDialog *This, IShellItem **out)
{
    (void)This;
    note("GetResult");
    *out = NULL;
    /* Wine's: E_UNEXPECTED before a choice, E_FAIL for other than one item
     * (dlls/comdlg32/itemdlg.c, IFileDialog2_fnGetResult). */
    if (!shown)
        return E_UNEXPECTED;
    if (answer.count != 1)
        return E_FAIL;
    *out = &answer.items[0].iface;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE dialog_GetResults(IFileOpenDialog *This, IShellItemArray **out)
{
    (void)This;
    note("GetResults");
    *out = shown ? &answer.iface : NULL;
    return shown ? S_OK : E_UNEXPECTED;
}

UNWANTED(dialog, GetFileTypeIndex, IFileDialog *This, UINT *out)
UNWANTED(dialog, Advise, IFileDialog *This, IFileDialogEvents *events, DWORD *cookie)
UNWANTED(dialog, Unadvise, IFileDialog *This, DWORD cookie)
UNWANTED(dialog, GetOptions, IFileDialog *This, FILEOPENDIALOGOPTIONS *out)
UNWANTED(dialog, SetDefaultFolder, IFileDialog *This, IShellItem *folder)
UNWANTED(dialog, GetFolder, IFileDialog *This, IShellItem **out)
UNWANTED(dialog, GetCurrentSelection, IFileDialog *This, IShellItem **out)
UNWANTED(dialog, GetFileName, IFileDialog *This, LPWSTR *out)
UNWANTED(dialog, SetOkButtonLabel, IFileDialog *This, LPCWSTR label)
UNWANTED(dialog, SetFileNameLabel, IFileDialog *This, LPCWSTR label)
UNWANTED(dialog, AddPlace, IFileDialog *This, IShellItem *place, FDAP where)
UNWANTED(dialog, Close, IFileDialog *This, HRESULT result)
UNWANTED(dialog, SetClientGuid, IFileDialog *This, REFGUID guid)
UNWANTED(dialog, ClearClientData, IFileDialog *This)
UNWANTED(dialog, SetFilter, IFileDialog *This, IShellItemFilter *filter)
UNWANTED(dialog, GetSelectedItems, IFileOpenDialog *This, IShellItemArray **out)
UNWANTED(dialog, SetSaveAsItem, IFileSaveDialog *This, IShellItem *item)
UNWANTED(dialog, SetProperties, IFileSaveDialog *This, IPropertyStore *store)
UNWANTED(dialog, SetCollectedProperties, IFileSaveDialog *This, IPropertyDescriptionList *list, WINBOOL append)
UNWANTED(dialog, GetProperties, IFileSaveDialog *This, IPropertyStore **out)
UNWANTED(dialog, ApplyProperties, IFileSaveDialog *This, IShellItem *item, IPropertyStore *store, HWND owner,
         IFileOperationProgressSink *sink)

/* IFileDialog's slots, in the order of IFileDialogVtbl, for either class's
 * table; the casts only rename `This`. */
#define FILE_DIALOG_SLOTS                                                                                   \
    (void *)dialog_QueryInterface, (void *)lasting_AddRef, (void *)lasting_Release, (void *)dialog_Show,   \
    (void *)dialog_SetFileTypes, (void *)dialog_SetFileTypeIndex, (void *)dialog_GetFileTypeIndex,         \
    (void *)dialog_Advise, (void *)dialog_Unadvise, (void *)dialog_SetOptions, (void *)dialog_GetOptions,  \
    (void *)dialog_SetDefaultFolder, (void *)dialog_SetFolder, (void *)dialog_GetFolder,                   \
    (void *)dialog_GetCurrentSelection, (void *)dialog_SetFileName, (void *)dialog_GetFileName,            \
    (void *)dialog_SetTitle, (void *)dialog_SetOkButtonLabel, (void *)dialog_SetFileNameLabel,             \
    (void *)dialog_GetResult, (void *)dialog_AddPlace, (void *)dialog_SetDefaultExtension,                 \
    (void *)dialog_Close, (void *)dialog_SetClientGuid, (void *)dialog_ClearClientData,                    \
    (void *)dialog_SetFilter

static const IFileOpenDialogVtbl open_vtbl = {
    FILE_DIALOG_SLOTS, dialog_GetResults, dialog_GetSelectedItems,
};

static const IFileSaveDialogVtbl save_vtbl = {
    FILE_DIALOG_SLOTS, dialog_SetSaveAsItem, dialog_SetProperties, dialog_SetCollectedProperties,
    dialog_GetProperties, dialog_ApplyProperties,
};

/* Both tables must hold IFileDialog's slots first, one for one. */
_Static_assert(offsetof(IFileOpenDialogVtbl, GetResults) == sizeof(IFileDialogVtbl), "open table");
_Static_assert(offsetof(IFileSaveDialogVtbl, SetSaveAsItem) == sizeof(IFileDialogVtbl), "save table");
_Static_assert(offsetof(IFileOpenDialogVtbl, SetFilter) == offsetof(IFileDialogVtbl, SetFilter), "open slots");
_Static_assert(offsetof(IFileSaveDialogVtbl, SetFilter) == offsetof(IFileDialogVtbl, SetFilter), "save slots");

/* --- The class factory ----------------------------------------------------- */

typedef struct {
    IClassFactory iface;
    BOOL saving;
} Factory;

static HRESULT STDMETHODCALLTYPE factory_QueryInterface(IClassFactory *This, REFIID iid, void **out)
{
    if (IsEqualIID(iid, &IID_IUnknown) || IsEqualIID(iid, &IID_IClassFactory)) {
        *out = This;
        return S_OK;
    }
    *out = NULL;
    return E_NOINTERFACE;
}

static HRESULT STDMETHODCALLTYPE factory_CreateInstance(IClassFactory *This, IUnknown *outer, REFIID iid, void **out)
{
    BOOL saving = ((Factory *)This)->saving;
    char buf[48];
    Text l = { 0 };
    word(&l, "create");
    word(&l, saving ? "save" : "open");
    word(&l, iid_name(iid, buf, sizeof buf));
    flush(&l);
    free(l.p);
    *out = NULL;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    Dialog *dialog = calloc(1, sizeof *dialog);
    if (!dialog)
        return E_OUTOFMEMORY;
    dialog->iface.lpVtbl = saving ? (IFileDialogVtbl *)&save_vtbl : (IFileDialogVtbl *)&open_vtbl;
    dialog->saving = saving;
    /* The program's own calls are what the record is for: not this one. */
    return dialog_as(dialog, iid, out);
}

static HRESULT STDMETHODCALLTYPE factory_LockServer(IClassFactory *This, BOOL lock)
{
    (void)This;
    (void)lock;
    return S_OK;
}

static const IClassFactoryVtbl factory_vtbl = {
    factory_QueryInterface, (void *)lasting_AddRef, (void *)lasting_Release, factory_CreateInstance,
    factory_LockServer,
};

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void **out)
{
    static Factory open = { { (IClassFactoryVtbl *)&factory_vtbl }, FALSE };
    static Factory save = { { (IClassFactoryVtbl *)&factory_vtbl }, TRUE };
    Factory *factory = IsEqualCLSID(clsid, &CLSID_FileOpenDialog) ? &open
                     : IsEqualCLSID(clsid, &CLSID_FileSaveDialog) ? &save : NULL;
    *out = NULL;
    if (!prefix_len) {
        DWORD n = GetEnvironmentVariableW(L"TAMBERLIN_ITEMSTUB", prefix, MAX_PATH);
        prefix_len = n < MAX_PATH ? n : 0;
    }
    if (!factory || !prefix_len)
        return CLASS_E_CLASSNOTAVAILABLE;
    if (exists(L".refuse")) {
        note(factory->saving ? "refuse save" : "refuse open");
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return IClassFactory_QueryInterface(&factory->iface, iid, out);
}

/* Never unloaded: the objects it hands out live until the process ends. */
HRESULT WINAPI DllCanUnloadNow(void)
{
    return S_FALSE;
}
