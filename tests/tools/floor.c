/* The least a program can be that shows the file-open dialog: the measure
 * that the program's own use of memory and time is compared with. Its
 * request is the program's, a 20480-character buffer and all, and so is its
 * manifest. With the argument "item" it shows the common item dialog
 * instead, as the program does wherever Windows has one, and asks it for
 * nothing but to be shown. */
#include <windows.h>
#include <commdlg.h>
#include <shobjidl.h>
#include <string.h>

static WCHAR file[20480];

int main(int argc, char **argv)
{
    if (argc > 1 && strcmp(argv[1], "item") == 0) {
        IFileOpenDialog *dialog;
        CoInitializeEx(NULL, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        if (FAILED(CoCreateInstance(&CLSID_FileOpenDialog, NULL, CLSCTX_INPROC_SERVER, &IID_IFileOpenDialog,
                                    (void **)&dialog)))
            return 2;
        return dialog->lpVtbl->Show(dialog, NULL) == S_OK ? 0 : 1;
    }
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
