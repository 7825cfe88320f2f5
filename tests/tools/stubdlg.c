/* Stand-in for comdlg32.dll in end-to-end tests.
 *
 * Copied beside the program as comdlg32.dll and loaded with
 * WINEDLLOVERRIDES=comdlg32=n, it records what the program asked the
 * dialog for and answers from a file, so tests need no display.
 *
 * The texts of the request are recorded as the ANSI code page's bytes
 * (CP_ACP), which is what the tests compare them with.
 *
 * TAMBERLIN_STUB holds a path prefix P:
 *   P.request  written here: one key=value line per OPENFILENAMEW field;
 *              owner_is_console=1 when hwndOwner is this process's console
 *              window (0 otherwise); the texts once more as UTF-16LE
 *              (wide_*); committed, the bytes of private memory that the
 *              process has committed while it shows the dialog;
 *              probe_loaded=1 when LoadLibraryW found tamberlin-probe.dll
 *              by that bare name (winrun plants one beside the program);
 *              and call=open or call=save (GetSaveFileNameW answers as the
 *              open call does)
 *   P.answer   bytes in the ANSI code page to leave in lpstrFile, converted
 *              NULs and all; missing means "cancel"
 *   P.wanswer  UTF-16LE units to leave instead
 * An answer longer than nMaxFile characters (up to nMaxFile + 32768 are
 * read) fails as Windows' dialog does: FALSE, FNERR_BUFFERTOOSMALL from
 * CommDlgExtendedError, and the size needed in the buffer's start. With
 * TAMBERLIN_STUB_OVERRUN set, it is written whole, past the buffer, and
 * reported as a choice, as Wine's dialog does.
 * TAMBERLIN_STUB_ERROR, a number (0x… for hexadecimal): the dialog fails
 * with it, after recording the request, whatever the answer.
 * CommDlgExtendedError answers for the last call: 0 after a cancel.
 */
/* We are the library here, so the prototypes must not say dllimport. */
#define WINCOMMDLGAPI __declspec(dllexport)
#include <windows.h>
#include <commdlg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "growtext.h"

#define FILTER_CAP 65536

static int saving;
static DWORD last_error;

static void putf(Text *t, const char *key, const char *fmt, unsigned long v)
{
    char buf[64];
    int n = snprintf(buf, sizeof buf, "%s=", key);
    n += snprintf(buf + n, sizeof buf - n, fmt, v);
    put(t, buf, (size_t)n);
    put(t, "\n", 1);
}

static void put_dec(Text *t, const char *key, unsigned long v) { putf(t, key, "%lu", v); }
static void put_hex(Text *t, const char *key, unsigned long v) { putf(t, key, "0x%08lx", v); }

static void put_ptr(Text *t, const char *key, const void *p)
{
    put(t, key, strlen(key));
    put(t, p ? "=set\n" : "=null\n", p ? 5 : 6);
}

static void put_bytes(Text *t, const char *key, const unsigned char *b, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    put(t, key, strlen(key));
    put(t, "=", 1);
    for (size_t i = 0; i < n; i++) {
        char two[2] = { digits[b[i] >> 4], digits[b[i] & 15] };
        put(t, two, 2);
    }
    put(t, "\n", 1);
}

/* A NUL-terminated text as hex; an empty text prints an empty value so it
 * stays distinguishable from a null pointer. */
static void put_str(Text *t, const char *key, const char *s)
{
    if (!s)
        put_ptr(t, key, s);
    else
        put_bytes(t, key, (const unsigned char *)s, strlen(s));
}

/* The filter list ends at its first empty string; that empty string's NUL
 * is part of what the caller built, so it is included. */
static void put_filter(Text *t, const char *key, const char *f)
{
    if (!f) {
        put_ptr(t, key, f);
        return;
    }
    size_t n = 0;
    while (n < FILTER_CAP) {
        size_t start = n;
        while (n < FILTER_CAP && f[n])
            n++;
        if (n < FILTER_CAP)
            n++;  /* this string's NUL */
        if (n - start == 1)
            break;
    }
    put_bytes(t, key, (const unsigned char *)f, n);
}

static BOOL write_file(const char *path, const char *data, size_t n)
{
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD done = 0;
    BOOL ok = WriteFile(h, data, (DWORD)n, &done, NULL) && done == n;
    return CloseHandle(h) && ok;
}

/* Reads at most cap bytes; returns -1 when the file does not exist. */
static long read_file(const char *path, char *dst, DWORD cap)
{
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    DWORD got = 0;
    if (!ReadFile(h, dst, cap, &got, NULL))
        got = 0;
    CloseHandle(h);
    return (long)got;
}

/* Private memory committed by this process: what it is charged for,
 * whether or not it has touched it. */
static unsigned long committed(void)
{
    MEMORY_BASIC_INFORMATION m;
    unsigned long total = 0;
    for (const char *at = NULL; VirtualQuery(at, &m, sizeof m) == sizeof m;
         at = (const char *)m.BaseAddress + m.RegionSize) {
        if (m.State == MEM_COMMIT && m.Type == MEM_PRIVATE)
            total += (unsigned long)m.RegionSize;
        if ((const char *)m.BaseAddress + m.RegionSize < at)
            break;
    }
    return total;
}

static void record(Text *t, const OPENFILENAMEA *o, const char *path)
{
    /* `o` is our own narrowed copy, whose file buffer holds twice nMaxFile
     * bytes (see below); everything we inspect stays inside. */
    size_t room = o->lpstrFile ? 2 * (size_t)o->nMaxFile : 0;
    size_t flen = 0;
    while (flen < room && o->lpstrFile[flen])
        flen++;
    int zero_after = flen < room;
    for (size_t i = flen + 1; zero_after && i < room; i++)
        zero_after = o->lpstrFile[i] == 0;

    put_dec(t, "lStructSize", o->lStructSize);
    put_ptr(t, "hwndOwner", o->hwndOwner);
    /* IsWindow also makes this library load USER32 as the real one does,
     * so that what a process commits is measured with it. */
    put_dec(t, "owner_is_console", IsWindow(o->hwndOwner) && o->hwndOwner == GetConsoleWindow());
    if (o->hInstance)
        put_hex(t, "hInstance", (unsigned long)(UINT_PTR)o->hInstance);
    else
        put_ptr(t, "hInstance", NULL);
    put_filter(t, "lpstrFilter", o->lpstrFilter);
    put_ptr(t, "lpstrCustomFilter", o->lpstrCustomFilter);
    put_dec(t, "nMaxCustFilter", o->nMaxCustFilter);
    put_dec(t, "nFilterIndex", o->nFilterIndex);
    put_dec(t, "nMaxFile", o->nMaxFile);
    put_ptr(t, "lpstrFileTitle", o->lpstrFileTitle);
    put_dec(t, "nMaxFileTitle", o->nMaxFileTitle);
    put_str(t, "lpstrInitialDir", o->lpstrInitialDir);
    put_str(t, "lpstrTitle", o->lpstrTitle);
    put_hex(t, "Flags", o->Flags);
    put_dec(t, "nFileOffset", o->nFileOffset);
    put_dec(t, "nFileExtension", o->nFileExtension);
    put_str(t, "lpstrDefExt", o->lpstrDefExt);
    put_ptr(t, "lCustData", (const void *)o->lCustData);
    put_ptr(t, "lpfnHook", (const void *)o->lpfnHook);
    put_ptr(t, "lpTemplateName", o->lpTemplateName);
    if (o->lpstrFile)
        put_bytes(t, "file", (const unsigned char *)o->lpstrFile, flen);
    else
        put_ptr(t, "file", NULL);
    put_dec(t, "file_zero_after", (unsigned long)zero_after);

    put_dec(t, "committed", committed());
    put(t, saving ? "call=save\n" : "call=open\n", 10);
    write_file(path, t->p, t->len);
}

/* The path prefix from TAMBERLIN_STUB into `path`; its length, or 0 when
 * there is none. */
static DWORD stub_prefix(char *path)
{
    DWORD n = GetEnvironmentVariableA("TAMBERLIN_STUB", path, MAX_PATH - 16);
    return n < MAX_PATH - 16 ? n : 0;
}

/* A wide text as the ANSI code page's bytes, in memory that is never
 * freed: the stub lives for one call. */
static char *narrow(const WCHAR *w, int units)
{
    if (!w)
        return NULL;
    int n = WideCharToMultiByte(CP_ACP, 0, w, units, NULL, 0, NULL, NULL);
    char *s = calloc((size_t)n + 2, 1);
    if (!s)
        ExitProcess(251);
    WideCharToMultiByte(CP_ACP, 0, w, units, s, n, NULL, NULL);
    return s;
}

/* Loads a library by its bare name, as the real dialog loads many: with the
 * process's search restricted to the system folder, the copy planted beside
 * the program must not be found. */
static int probe_loaded(void)
{
    HMODULE probe = LoadLibraryW(L"tamberlin-probe.dll");
    if (probe)
        FreeLibrary(probe);
    return probe != NULL;
}

static int wide_list_units(const WCHAR *f)
{
    int n = 0;
    while (f[n])
        n += lstrlenW(f + n) + 1;
    return n + 1;
}

WINCOMMDLGAPI DWORD WINAPI CommDlgExtendedError(void)
{
    return last_error;
}

WINCOMMDLGAPI BOOL WINAPI GetOpenFileNameW(LPOPENFILENAMEW o)
{
    char path[MAX_PATH];
    DWORD n = stub_prefix(path);
    last_error = 0;
    if (!o || n == 0)
        return FALSE;

    /* The record of converted texts; the file buffer is recorded up to
     * twice nMaxFile bytes, which a double-byte code page may need. */
    OPENFILENAMEA a;
    memcpy(&a, o, sizeof a);
    a.lpstrFilter = o->lpstrFilter ? narrow(o->lpstrFilter, wide_list_units(o->lpstrFilter)) : NULL;
    a.lpstrCustomFilter = (LPSTR)o->lpstrCustomFilter;
    a.lpstrFileTitle = (LPSTR)o->lpstrFileTitle;
    a.lpstrInitialDir = narrow(o->lpstrInitialDir, -1);
    a.lpstrTitle = narrow(o->lpstrTitle, -1);
    a.lpstrDefExt = narrow(o->lpstrDefExt, -1);
    a.lpTemplateName = (LPCSTR)o->lpTemplateName;
    if (o->lpstrFile) {
        char *file = calloc(2 * (size_t)o->nMaxFile + 2, 1);
        if (!file)
            ExitProcess(251);
        WideCharToMultiByte(CP_ACP, 0, o->lpstrFile, (int)o->nMaxFile, file, 2 * (int)o->nMaxFile, NULL, NULL);
        a.lpstrFile = file;
    }
    Text t = { 0 };
    put_bytes(&t, "wide_lpstrFilter", (const unsigned char *)o->lpstrFilter,
              o->lpstrFilter ? 2 * (size_t)wide_list_units(o->lpstrFilter) : 0);
    put_bytes(&t, "wide_lpstrInitialDir", (const unsigned char *)o->lpstrInitialDir,
              o->lpstrInitialDir ? 2 * (size_t)lstrlenW(o->lpstrInitialDir) : 0);
    put_bytes(&t, "wide_lpstrTitle", (const unsigned char *)o->lpstrTitle,
              o->lpstrTitle ? 2 * (size_t)lstrlenW(o->lpstrTitle) : 0);
    put_bytes(&t, "wide_file", (const unsigned char *)o->lpstrFile,
              o->lpstrFile ? 2 * (size_t)lstrlenW(o->lpstrFile) : 0);
    put_dec(&t, "probe_loaded", (unsigned long)probe_loaded());
    strcpy(path + n, ".request");
    record(&t, &a, path);

    char code[16];
    DWORD c = GetEnvironmentVariableA("TAMBERLIN_STUB_ERROR", code, sizeof code);
    if (c > 0 && c < sizeof code) {
        last_error = strtoul(code, NULL, 0);
        return FALSE;
    }

    DWORD room = o->nMaxFile;
    WCHAR *units = calloc((size_t)room + 0x10000, sizeof(WCHAR));
    char *bytes = calloc((size_t)room * 2 + 0x10000, 1);
    if (!units || !bytes)
        ExitProcess(251);
    long got;
    strcpy(path + n, ".wanswer");
    long wgot = read_file(path, (char *)units, (room + 0x8000) * sizeof(WCHAR));
    if (wgot >= 0) {
        got = wgot / 2;
    } else {
        strcpy(path + n, ".answer");
        long bgot = read_file(path, bytes, room * 2 + 0x8000);
        if (bgot < 0)
            return FALSE;
        got = bgot ? MultiByteToWideChar(CP_ACP, 0, bytes, (int)bgot, units, (int)room + 0x8000) : 0;
    }
    if (!o->lpstrFile)
        return FALSE;
    if ((DWORD)got > room && !GetEnvironmentVariableA("TAMBERLIN_STUB_OVERRUN", NULL, 0)) {
        o->lpstrFile[0] = (WCHAR)(got > 0xFFFF ? 0xFFFF : got);
        last_error = FNERR_BUFFERTOOSMALL;
        return FALSE;
    }
    /* Only the answer is written: behind it, the caller's bytes stay. */
    memcpy(o->lpstrFile, units, (size_t)got * sizeof(WCHAR));
    return TRUE;
}

WINCOMMDLGAPI BOOL WINAPI GetSaveFileNameW(LPOPENFILENAMEW o)
{
    saving = 1;
    return GetOpenFileNameW(o);
}
