"""A 32-bit run on 64-bit Windows, in a 64-bit Wine prefix of its own: the
stand-in dialog answers a name in the redirected system folder, as the real
one lists syswow64 there; the line must name the file the dialog showed,
which a 64-bit program then opens as that very file. The sizes on disk
tell the two notepads apart. A folder that Windows does not redirect keeps
its name."""
import os
import subprocess
import unittest

import winrun

ENV = {}


def tool(argv, env, check=True, timeout=300):
    subprocess.run(argv, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=timeout, check=check)


def setUpModule():
    prefix = os.environ['WINEPREFIX'] + '-win64'
    env = dict(os.environ, WINEPREFIX=prefix, WINEARCH='win64', WINEDEBUG='-all')
    winrun.make_prefix(env)
    tool(['wineserver', '-p'], env, check=False)
    unittest.addModuleCleanup(tool, ['wineserver', '-k'], env, check=False)
    tool(['wine', 'cmd', '/c', 'exit'], env)
    ENV.update(env)


def on_disk(windows_name):
    """The file a Windows name leads to, below the prefix's drive_c."""
    drive, rest = windows_name.split(':', 1)
    assert drive.upper() == 'C', windows_name
    path = os.path.join(ENV['WINEPREFIX'], 'drive_c')
    for part in rest.strip('\\').split('\\'):
        # Wine's folders are lowercase on disk; a name may come back in
        # another case.
        match = [n for n in os.listdir(path) if n.lower() == part.lower()]
        assert match, (windows_name, part)
        path = os.path.join(path, match[0])
    return path


class Wow64(unittest.TestCase):
    def run_with(self, answer, options=b''):
        r = winrun.run(b'tamberlin "set f=" C:\\windows\\system32\\*.* ' + options, stub=(answer,),
                       env={k: ENV[k] for k in ('WINEPREFIX', 'WINEARCH')})
        self.assertEqual((r.err, r.status), (b'', 0))
        self.assertTrue(r.out.startswith(b'set f="') and r.out.endswith(b'"\r\n'), r.out)
        return r.out[7:-3].decode()

    def test_the_file_the_dialog_showed(self):
        name = self.run_with('C:\\windows\\system32\\notepad.exe\0')
        self.assertEqual(name.lower(), 'c:\\windows\\syswow64\\notepad.exe')
        shown = os.path.join(ENV['WINEPREFIX'], 'drive_c', 'windows', 'syswow64', 'notepad.exe')
        native = os.path.join(ENV['WINEPREFIX'], 'drive_c', 'windows', 'system32', 'notepad.exe')
        self.assertNotEqual(os.path.getsize(shown), os.path.getsize(native), 'the two notepads must differ')
        self.assertEqual(os.path.getsize(on_disk(name)), os.path.getsize(shown))

    def test_a_new_file_in_the_redirected_folder(self):
        name = self.run_with('C:\\windows\\system32\\tamberlin-new.txt\0', b'/save')
        self.assertEqual(name.lower(), 'c:\\windows\\syswow64\\tamberlin-new.txt')

    def test_an_exempt_folder_keeps_its_name(self):
        name = self.run_with('C:\\windows\\system32\\drivers\\etc\\hosts\0')
        self.assertEqual(name, 'C:\\windows\\system32\\drivers\\etc\\hosts')
        self.assertTrue(os.path.exists(on_disk(name)))


if __name__ == '__main__':
    unittest.main()
