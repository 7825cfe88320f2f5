"""The item dialog as the executable drives it, in a prefix whose
FileOpenDialog and FileSaveDialog are the stand-in server
(tests/tools/itemstub.c): every call the program made, in order, and the
line it wrote from the answer. Where neither class can be created, the
classic dialog must be what shows."""
import os
import tempfile
import unittest

import winrun
from winrun import Item

# _FILEOPENDIALOGOPTIONS (shobjidl_core.h)
FOS_OVERWRITEPROMPT = 0x2
FOS_NOCHANGEDIR = 0x8
FOS_PICKFOLDERS = 0x20
FOS_FORCEFILESYSTEM = 0x40
FOS_ALLOWMULTISELECT = 0x200
FOS_PATHMUSTEXIST = 0x800
FOS_FILEMUSTEXIST = 0x1000
FOS_NOREADONLYRETURN = 0x8000

OPEN = FOS_FILEMUSTEXIST | FOS_PATHMUSTEXIST | FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR
SAVE = FOS_NOREADONLYRETURN | FOS_PATHMUSTEXIST | FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR | FOS_OVERWRITEPROMPT

TMP = tempfile.TemporaryDirectory(prefix='tamberlin-item-')
HERE = winrun.winpath(TMP.name)  # the current folder of every run
FOLDER = HERE + '\\x'             # one that exists
# The big selection: 3,000 names of 61 characters in five folders.
MANY = ['Z:\\picked\\folder%d\\%s-%04d.txt' % (i % 5, 'n' * 34, i) for i in range(3000)]


def setUpModule():
    os.mkdir(os.path.join(TMP.name, 'x'))
    unittest.addModuleCleanup(TMP.cleanup)


def created(kind, options):
    # Wine's CoCreateInstance asks the class factory for the program's
    # interface itself, IFileDialog.
    return [('create', kind, 'IFileDialog'), ('SetOptions', '0x%08x' % options)]


def types(*pairs):
    """SetFileTypes with these (name, patterns) pairs, then the first chosen."""
    return [('SetFileTypes', str(len(pairs)), *[t for pair in pairs for t in pair]), ('SetFileTypeIndex', '1')]


def opened(count):
    """How a dialog of the open class hands over `count` items."""
    calls = [('QueryInterface', 'IFileOpenDialog'), ('GetResults',), ('GetCount',)]
    for i in range(count):
        calls += [('GetItemAt', str(i)), ('GetDisplayName', str(i), 'FILESYSPATH')]
    return calls


SAVED = [('GetResult',), ('GetDisplayName', '0', 'FILESYSPATH')]
NO_PATH = ('GetDisplayName', '0', 'DESKTOPABSOLUTEEDITING')


class ItemDialog(unittest.TestCase):
    def same(self, what, got, expected):
        """A failure that says where the two part, in one line."""
        if got == expected:
            return
        at = next((i for i, (a, b) in enumerate(zip(got, expected)) if a != b), min(len(got), len(expected)))
        span = 1 if isinstance(got, list) else 24
        self.fail('%s part at %d of %d (expected %d): expected %r, got %r' % (
            what, at, len(got), len(expected), expected[at:at + span], got[at:at + span]))

    def check(self, r, calls, out, err=b'', status=0):
        self.same('calls', r.calls or [], calls)
        self.same('stdout', r.out, out)
        self.assertEqual((r.err, r.status), (err, status))

    def test_calls_and_line(self):
        folder = FOLDER.encode()
        cases = [
            ('open: title, name, folder, a plain pattern list',
             b'tamberlin "set f=" "' + folder + b'\\*.txt;*.log" "My title" start.txt', Item(['Z:\\d\\a.txt']),
             created('open', OPEN) + types(('*.txt;*.log', '*.txt;*.log')) +
             [('SetFolder', FOLDER), ('SetTitle', 'My title'), ('SetFileName', 'start.txt'), ('Show', 'null')] +
             opened(1), b'set f="Z:\\d\\a.txt"\r\n', b'', 0),
            ('named filters in a folder that does not exist', b'tamberlin x "C:\\nowhere\\Text|*.txt|All|*.*"',
             Item(['C:\\nowhere\\b.txt']),
             created('open', OPEN) + types(('Text', '*.txt'), ('All', '*.*')) +
             [('SetFileName', ''), ('Show', 'null')] + opened(1), b'x "C:\\nowhere\\b.txt"\r\n', b'', 0),
            ('a bare folder', b'tamberlin x ' + folder + b'\\', Item(['Z:\\d\\a']),
             created('open', OPEN) + [('SetFolder', FOLDER), ('SetFileName', ''), ('Show', 'null')] + opened(1),
             b'x "Z:\\d\\a"\r\n', b'', 0),
            ('/maynotexist, a relative pattern', b'tamberlin x *.* /maynotexist', Item(['Z:\\new.txt']),
             created('open', FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR) + types(('*.*', '*.*')) +
             [('SetFolder', HERE), ('SetFileName', ''), ('Show', 'null')] + opened(1),
             b'x "Z:\\new.txt"\r\n', b'', 0),
            ('/save with the whole default extension', b'tamberlin x *.html T report /save',
             Item(['Z:\\d\\report.html']),
             created('save', SAVE) + types(('*.html', '*.html')) +
             [('SetDefaultExtension', 'html'), ('SetFolder', HERE), ('SetTitle', 'T'), ('SetFileName', 'report'),
              ('Show', 'null')] + SAVED, b'x "Z:\\d\\report.html"\r\n', b'', 0),
            ('/save without a plain *.ext', b'tamberlin x *.* /save', Item(['Z:\\d\\report']),
             created('save', SAVE) + types(('*.*', '*.*')) +
             [('SetFolder', HERE), ('SetFileName', ''), ('Show', 'null')] + SAVED, b'x "Z:\\d\\report"\r\n', b'', 0),
            ('/folder', b'tamberlin x ' + folder + b'\\*.txt T name /folder', Item(['Z:\\d']),
             created('open', OPEN | FOS_PICKFOLDERS) +
             [('SetFolder', FOLDER), ('SetTitle', 'T'), ('SetFileName', 'name'), ('Show', 'null')] + opened(1),
             b'x "Z:\\d"\r\n', b'', 0),
            ('an empty path leaves the folder to the dialog', b'tamberlin x "" T', Item(['Z:\\d\\a']),
             created('open', OPEN) + types(('*.*', '*.*')) + [('SetTitle', 'T'), ('SetFileName', ''), ('Show', 'null')] +
             opened(1), b'x "Z:\\d\\a"\r\n', b'', 0),
            ('cancel', b'tamberlin x *.*', Item(None),
             created('open', OPEN) + types(('*.*', '*.*')) +
             [('SetFolder', HERE), ('SetFileName', ''), ('Show', 'null')], b'', b'', 1),
            ('Show fails', b'tamberlin x *.*', Item(['Z:\\a'], show=0x80004005),
             created('open', OPEN) + types(('*.*', '*.*')) +
             [('SetFolder', HERE), ('SetFileName', ''), ('Show', 'null')], b'',
             b'The dialog failed: error 0x80004005\n', 1),
            ('open: an item outside the file system', b'tamberlin x *.*', Item(['?Phone\\DCIM\\x.jpg']),
             created('open', OPEN) + types(('*.*', '*.*')) +
             [('SetFolder', HERE), ('SetFileName', ''), ('Show', 'null')] + opened(1) + [NO_PATH], b'',
             b'Not a file of the file system: Phone\\DCIM\\x.jpg\n', 1),
            ('save: an item outside the file system', b'tamberlin x *.* /save', Item(['?Phone\\x.jpg']),
             created('save', SAVE) + types(('*.*', '*.*')) +
             [('SetFolder', HERE), ('SetFileName', ''), ('Show', 'null')] + SAVED + [NO_PATH], b'',
             b'Not a file of the file system: Phone\\x.jpg\n', 1),
            ('folder: an item outside the file system', b'tamberlin x *.* /folder', Item(['?Network\\Printers']),
             created('open', OPEN | FOS_PICKFOLDERS) +
             [('SetFolder', HERE), ('SetFileName', ''), ('Show', 'null')] + opened(1) + [NO_PATH], b'',
             b'Not a folder of the file system: Network\\Printers\n', 1),
        ]
        for label, cmdline, item, calls, out, err, status in cases:
            with self.subTest(label):
                self.check(winrun.run(cmdline, item=item, cwd=TMP.name), calls, out, err, status)

    def test_thousands_of_names_arrive_whole(self):
        quoted = [b'"' + name.encode() + b'"' for name in MANY]
        cases = [
            ('one line', b'', b'set f=' + b' '.join(quoted) + b'\r\n'),
            ('/lines', b' /lines', b''.join(b'set f=' + name + b'\r\n' for name in quoted)),
        ]
        for label, option, out in cases:
            with self.subTest(label):
                r = winrun.run(b'tamberlin "set f=" *.* /multiselect' + option, item=Item(MANY), cwd=TMP.name)
                self.check(r, created('open', OPEN | FOS_ALLOWMULTISELECT) + types(('*.*', '*.*')) +
                           [('SetFolder', HERE), ('SetFileName', ''), ('Show', 'null')] + opened(len(MANY)), out)

    def test_owner_is_the_console_window(self):
        # On pipes Wine gives the process no console; on a terminal, one
        # whose window must own the dialog.
        for terminal, owner in [(False, 'null'), (True, 'console')]:
            with self.subTest(terminal=terminal):
                r = winrun.run(b'tamberlin x *.*', item=Item(None), terminal=terminal)
                self.assertEqual([c for c in r.calls or [] if c[0] == 'Show'], [('Show', owner)])

    def test_without_the_class_the_classic_dialog_shows(self):
        # The classic stand-in in place of comdlg32: in the item prefix with
        # the classes refused, and in the suite's own prefix, where both
        # classes are registered to comdlg32.dll, which is then the stand-in
        # and serves no class (Wine's CoCreateInstance: E_ACCESSDENIED).
        refused = Item(refuse=True)
        no_picker = b'No folder picker on this system\n'
        cases = [
            ('open, refused', b'', refused, [('refuse', 'open')], 'open', b'x "Z:\\a"\r\n', b'', 0),
            ('save, refused', b' /save', refused, [('refuse', 'save')], 'save', b'x "Z:\\a"\r\n', b'', 0),
            ('folder, refused', b' /folder', refused, [('refuse', 'open')], None, b'', no_picker, 1),
            ('open, comdlg32 replaced', b'', None, None, 'open', b'x "Z:\\a"\r\n', b'', 0),
            ('save, comdlg32 replaced', b' /save', None, None, 'save', b'x "Z:\\a"\r\n', b'', 0),
            ('folder, comdlg32 replaced', b' /folder', None, None, None, b'', no_picker, 1),
        ]
        for label, option, item, calls, call, out, err, status in cases:
            with self.subTest(label):
                r = winrun.run(b'tamberlin x *.*' + option, stub=('Z:\\a\0',), item=item)
                self.assertEqual((r.calls, r.request and r.request['call']), (calls, call))
                self.assertEqual((r.out, r.err, r.status), (out, err, status))


if __name__ == '__main__':
    unittest.main()
