/* The least a program can be that shows the file-open dialog: the measure
 * that the program's own use of memory is compared with. Its request is
 * the program's, a 20480-character buffer and all, and so is its manifest. */
#include <windows.h>
#include <commdlg.h>

static WCHAR file[20480];

int main(void)
{
    OPENFILENAMEW o = { 0 };
    o.lStructSize = 76;
    o.lpstrFilter = L"*.*\0*.*\0";
    o.nFilterIndex = 1;
    o.lpstrFile = file;
    o.nMaxFile = 20480;
    o.lpstrInitialDir = L"";
    o.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST;
    return GetOpenFileNameW(&o) ? 0 : 1;
}
