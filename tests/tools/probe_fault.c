/* Probe: does this system continue a write that faulted in a reserved page,
 * once a vectored exception handler has committed the page?
 *
 *   probe_fault.exe          copies into a reserved page through the fault
 *   probe_fault.exe plain    the same copy into a page committed beforehand
 *
 * Exits 0 when the copy arrived whole. Windows, and Wine on a kernel that
 * runs 32-bit programs, continue such a write. Under qemu-user the copy
 * faults again as an illegal instruction (c000001d) and the process dies:
 * the tests that rest on this capability ask this probe first. "plain" is
 * the control: should it fail too, the probe says nothing about faults.
 * The write is a copy already under way, as the stand-in dialog's is; under
 * qemu even the compiler's own plain stores fault again. */
#include <windows.h>
#include <string.h>

#define PAGE 4096

static char *reserved;

static LONG CALLBACK commit_page(EXCEPTION_POINTERS *info)
{
    EXCEPTION_RECORD *fault = info->ExceptionRecord;
    char *at = (char *)fault->ExceptionInformation[1];
    if (fault->ExceptionCode != EXCEPTION_ACCESS_VIOLATION || at < reserved + PAGE || at >= reserved + 2 * PAGE ||
        !VirtualAlloc(at, 1, MEM_COMMIT, PAGE_READWRITE))
        return EXCEPTION_CONTINUE_SEARCH;
    return EXCEPTION_CONTINUE_EXECUTION;
}

int main(int argc, char **argv)
{
    static char source[PAGE];
    int plain = argc > 1 && !strcmp(argv[1], "plain");
    /* A crash is an answer here, not an event: no debugger, no box. */
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    memset(source, 'x', sizeof source);
    /* Two pages: the first committed, the second only reserved (committed
     * too for the control). */
    reserved = VirtualAlloc(NULL, 2 * PAGE, MEM_RESERVE, PAGE_READWRITE);
    if (!reserved || !VirtualAlloc(reserved, plain ? 2 * PAGE : PAGE, MEM_COMMIT, PAGE_READWRITE))
        return 2;
    AddVectoredExceptionHandler(1, commit_page);
    /* Across into the second page, so that the copy is already under way
     * when it faults, as a dialog's is. */
    char *volatile to = reserved + PAGE / 2;
    memcpy(to, source, sizeof source);
    return memcmp(to, source, sizeof source) ? 3 : 0;
}
