/* Test launcher: starts APP with an exact command line read from a file.
 *
 *   launch.exe APP CMDFILE [noout] [noerr] [wide] [hidden]
 *
 * wide: CMDFILE is UTF-8, and the child gets it as a UTF-16 line
 * (CreateProcessW), so that it can hold what no ANSI code page does.
 * hidden: the child runs on a window station of its own, which, unlike
 * WinSta0, has no visible surfaces, as a service's has none (not with wide).
 *
 * `wine prog args` rebuilds the child's command line from argv (quoting,
 * escaping, locale-dependent high bytes), so tests that care about the raw
 * bytes go through here instead.  Exits with the child's exit code, or 250
 * when the child could not be started at all. */
#include <windows.h>
#include <winternl.h>
#include <stdio.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#define LAUNCH_FAILED 250

static void fail(const char *what, const char *detail)
{
    fprintf(stderr, "launch: %s%s%s (error %lu)\n", what,
            detail ? ": " : "", detail ? detail : "", GetLastError());
    fflush(stderr);
    ExitProcess(LAUNCH_FAILED);
}

/* The whole file, NUL-terminated; the terminator is not part of the line. */
static char *read_all(const char *path)
{
    HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE)
        fail("cannot open command file", path);
    DWORD size = GetFileSize(f, NULL);
    if (size == INVALID_FILE_SIZE)
        fail("cannot size command file", path);
    /* CreateProcessA may write into the buffer, so it must be our own. */
    char *buf = malloc((size_t)size + 1);
    DWORD got = 0;
    if (!buf || !ReadFile(f, buf, size, &got, NULL) || got != size)
        fail("cannot read command file", path);
    buf[size] = '\0';
    CloseHandle(f);
    return buf;
}

/* Handles opened by Wine for the process's unix stdio are not always
 * inheritable; without this the child would get dangling handle values. */
static HANDLE inheritable(HANDLE h)
{
    if (h && h != INVALID_HANDLE_VALUE)
        SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    return h;
}

/* Wine's CreateProcess replaces an empty command line with the quoted
 * program path, whereas Windows hands the child the empty line.  So start
 * the child suspended and empty its line before any of its code has read
 * it.  ntdll is always mapped, so looking it up adds no import. */
static void empty_command_line(HANDLE process)
{
    typedef NTSTATUS(NTAPI * Query)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    Query query = (Query)(void (*)(void))GetProcAddress(
        GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess");
    PROCESS_BASIC_INFORMATION info;
    PEB peb;
    RTL_USER_PROCESS_PARAMETERS params;
    static const WCHAR nul = 0;
    SIZE_T n;
    if (!query ||
        query(process, ProcessBasicInformation, &info, sizeof info, NULL) < 0 ||
        !ReadProcessMemory(process, info.PebBaseAddress, &peb, sizeof peb, &n) ||
        !ReadProcessMemory(process, peb.ProcessParameters, &params, sizeof params, &n))
        fail("cannot find the child's command line", NULL);
    USHORT zero = 0;
    char *line = (char *)peb.ProcessParameters +
                 offsetof(RTL_USER_PROCESS_PARAMETERS, CommandLine);
    if (!WriteProcessMemory(process, line + offsetof(UNICODE_STRING, Length),
                            &zero, sizeof zero, &n) ||
        !WriteProcessMemory(process, params.CommandLine.Buffer, &nul,
                            sizeof nul, &n))
        fail("cannot empty the child's command line", NULL);
}

int main(int argc, char **argv)
{
    if (argc < 3)
        fail("usage: launch.exe APP CMDFILE [noout] [noerr] [wide] [hidden]", NULL);

    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = inheritable(GetStdHandle(STD_INPUT_HANDLE));
    si.hStdOutput = inheritable(GetStdHandle(STD_OUTPUT_HANDLE));
    si.hStdError = inheritable(GetStdHandle(STD_ERROR_HANDLE));

    int wide = 0;
    for (int i = 3; i < argc; i++) {
        if (strcmp(argv[i], "noout") == 0)
            si.hStdOutput = NULL;
        else if (strcmp(argv[i], "noerr") == 0)
            si.hStdError = NULL;
        else if (strcmp(argv[i], "wide") == 0)
            wide = 1;
        else if (strcmp(argv[i], "hidden") == 0)
            si.lpDesktop = "tamberlin-hidden\\Default";
        else
            fail("unknown option", argv[i]);
    }

    char *cmdline = read_all(argv[2]);
    DWORD flags = cmdline[0] ? 0 : CREATE_SUSPENDED;
    PROCESS_INFORMATION pi;
    BOOL started;
    if (wide) {
        int n = MultiByteToWideChar(CP_UTF8, 0, cmdline, -1, NULL, 0);
        WCHAR *line = calloc((size_t)n + 1, sizeof(WCHAR));
        WCHAR app[MAX_PATH];
        if (!line || !MultiByteToWideChar(CP_UTF8, 0, cmdline, -1, line, n) ||
            !MultiByteToWideChar(CP_ACP, 0, argv[1], -1, app, MAX_PATH))
            fail("cannot convert the command line", argv[2]);
        /* The two records differ only in the types of their texts, and
         * none of them is set here. */
        started = CreateProcessW(app, line, NULL, NULL, TRUE, flags, NULL, NULL,
                                 (STARTUPINFOW *)&si, &pi);
    } else {
        started = CreateProcessA(argv[1], cmdline, NULL, NULL, TRUE, flags, NULL,
                                 NULL, &si, &pi);
    }
    if (!started)
        fail("cannot start", argv[1]);
    if (flags & CREATE_SUSPENDED) {
        empty_command_line(pi.hProcess);
        ResumeThread(pi.hThread);
    }
    CloseHandle(pi.hThread);

    DWORD code = LAUNCH_FAILED;
    if (WaitForSingleObject(pi.hProcess, INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(pi.hProcess, &code))
        fail("lost track of", argv[1]);
    ExitProcess(code);
}
