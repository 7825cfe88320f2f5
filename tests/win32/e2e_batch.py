"""The program as batch files use it: real scripts run by Wine's cmd, with the
stand-in dialog answering.

Wine's cmd does not run a line that `for /f` hands it as a command, so the
captures here say `do call %%L` where a script for Windows may say `do %%L`."""
import os
import shutil
import subprocess
import tempfile
import unittest

import winrun
from winrun import hexs


class Batch(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix='tamberlin-batch-')
        self.addCleanup(shutil.rmtree, self.tmp, True)
        # The same private copy winrun.run makes: the stand-in library only
        # replaces the dialog for a program that has it beside itself.
        shutil.copy(os.environ['TAMBERLIN_EXE'], self.tmp)
        shutil.copy(os.environ['TAMBERLIN_STUB_DLL'], os.path.join(self.tmp, 'comdlg32.dll'))
        self.stub = os.path.join(self.tmp, 'dlg')
        self.docs = os.path.join(self.tmp, 'my docs')
        os.mkdir(self.docs)
        self.wdocs = winrun.winpath(self.docs).encode()

    def doc(self, name: bytes, text: bytes = b'') -> bytes:
        """Makes a file in the documents folder; returns its Windows name."""
        with open(os.path.join(self.docs.encode(), name), 'wb') as f:
            f.write(text)
        return self.wdocs + b'\\' + name

    def run_batch(self, script: bytes, answer=None, args=b'', switches=()):
        """Runs script as t.bat in the program's folder; answer None cancels;
        switches go to cmd. Returns stdout, stderr and cmd's status."""
        if answer is not None:
            with open(self.stub + '.answer', 'wb') as f:
                f.write(answer)
        bat = os.path.join(self.tmp, 't.bat')
        with open(bat, 'wb') as f:
            f.write(script.replace(b'\n', b'\r\n'))
        env = dict(os.environ, WINEDEBUG='-all', WINEDLLOVERRIDES='comdlg32=n',
                   TAMBERLIN_STUB=winrun.winpath(self.stub))
        argv = ['wine', 'cmd', *switches, '/c', winrun.winpath(bat)] + ([args.decode()] if args else [])
        proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, env=env, cwd=self.tmp, start_new_session=True)
        out, err = winrun._collect(proc)
        return out, err, proc.returncode

    def written(self, name):
        with open(os.path.join(self.tmp, name), 'rb') as f:
            return f.read()

    def request(self):
        return winrun._parse(self.stub + '.request')

    def test_one_file_into_a_variable(self):
        chosen = self.doc(b'report 1 (final).txt', b'quarterly figures')
        script = (b'@echo off\n'
                  b'set f=\n'
                  b'for /f "delims=" %%L in (\'tamberlin.exe "set f=" "' + self.wdocs +
                  b'\\*.txt" "Pick a file"\') do call %%L\n'
                  b'echo %f%> name.txt\n'
                  b'copy %f% copied.txt >nul\n')
        self.assertEqual(self.run_batch(script, chosen + b'\0'), (b'', b'', 0))
        self.assertEqual(self.written('name.txt'), b'"' + chosen + b'"\r\n')
        self.assertEqual(self.written('copied.txt'), b'quarterly figures')
        # cmd handed the quoted parameters over intact.
        q = self.request()
        self.assertEqual((q['lpstrInitialDir'], q['lpstrTitle']), (hexs(self.wdocs + b'\\'), hexs(b'Pick a file')))

    def test_several_files_in_a_loop(self):
        script = (b'@echo off\n'
                  b'set files=\n'
                  b'for /f "delims=" %%L in (\'tamberlin.exe "set files=" "' + self.wdocs +
                  b'\\*.*" "Pick files" /multiselect\') do call %%L\n'
                  b'for %%F in (%files%) do echo [%%~nxF] in [%%~dpF]>> list.txt\n')
        folder = self.wdocs + b'\\'
        cases = [
            ('three', [b'a b.txt', b'c (1).txt', b'd&e.txt']),
            ('one', [b'only.txt']),
        ]
        for label, names in cases:
            with self.subTest(label):
                if os.path.exists(os.path.join(self.tmp, 'list.txt')):
                    os.remove(os.path.join(self.tmp, 'list.txt'))
                answer = self.wdocs + b'\0' + b'\0'.join(names) + b'\0\0'
                self.assertEqual(self.run_batch(script, answer), (b'', b'', 0))
                self.assertEqual(self.written('list.txt'),
                                 b''.join(b'[%s] in [%s]\r\n' % (n, folder) for n in names))

    # Telling the outcomes apart needs the program's own status, so it runs
    # on its own line with its output kept in a file, read back with for /f;
    # reading it as for-variables keeps % and ! in names from being expanded.
    STATUS_SCRIPT = (b'@echo off\n'
                     b'setlocal disabledelayedexpansion\n'
                     b'tamberlin.exe "picked=" "%~dp0my docs\\*.txt" "Pick a file" %1 > "%~dp0pick.txt"\n'
                     b'echo status %errorlevel%\n'
                     b'if errorlevel 255 (echo bad call& exit /b 2)\n'
                     b'if errorlevel 1 (echo cancelled& exit /b 1)\n'
                     b'for %%S in ("%~dp0pick.txt") do set size=%%~zS\n'
                     b'if %size% gtr 8000 (echo too long& exit /b 3)\n'
                     b'for /f "usebackq tokens=1* delims==" %%A in ("%~dp0pick.txt") do set "picked=%%B"\n'
                     b'set picked> value.txt\n'
                     b'echo chosen\n')

    def test_status_tells_cancel_from_a_bad_call(self):
        chosen = self.wdocs + b'\\a.txt'
        many = [b'file number %04d with a long name.txt' % i for i in range(200)]
        cases = [
            ('chosen', chosen + b'\0', b'', b'status 0\r\nchosen\r\n', b'', 0),
            # cmd cannot take a line over 8191 characters: the script must
            # notice before reading it.
            ('too long', self.wdocs + b'\0' + b'\0'.join(many) + b'\0\0', b'/multiselect',
             b'status 0\r\ntoo long\r\n', b'', 3),
            ('cancelled', None, b'', b'status 1\r\ncancelled\r\n', b'', 1),
            ('bad option', chosen + b'\0', b'/bogus', b'status 255\r\nbad call\r\n',
             b'Invalid option: /bogus\n', 2),
            ('bad initial name', chosen + b'\0', b'a:b.txt', b'status 255\r\nbad call\r\n',
             b'Invalid parameter: a:b.txt\n', 2),
        ]
        for label, answer, args, out, err, status in cases:
            with self.subTest(label):
                for leftover in (self.stub + '.answer', os.path.join(self.tmp, 'value.txt')):
                    if os.path.exists(leftover):
                        os.remove(leftover)
                self.assertEqual(self.run_batch(self.STATUS_SCRIPT, answer, args), (out, err, status))
                if status == 0:
                    self.assertEqual(self.written('value.txt'), b'picked="' + chosen + b'"\r\n')

    def test_a_long_selection_under_the_limit_arrives_whole(self):
        # As many names as keep the whole line near, but under, the limit
        # the script checks.
        name = b'file number %04d with a long name.txt'
        count = (7990 - len(b'picked=')) // len(b' "%s\\%s"' % (self.wdocs, name % 0))
        names = [name % i for i in range(count)]
        answer = self.wdocs + b'\0' + b'\0'.join(names) + b'\0\0'
        self.assertEqual(self.run_batch(self.STATUS_SCRIPT, answer, b'/multiselect'),
                         (b'status 0\r\nchosen\r\n', b'', 0))
        line = b' '.join(b'"' + self.wdocs + b'\\' + n + b'"' for n in names)
        self.assertEqual(self.written('value.txt'), b'picked=' + line + b'\r\n')

    def test_names_with_percent_and_exclamation_survive_the_file_capture(self):
        # With delayed expansion on from the start (cmd /v:on), only the
        # script's own setlocal keeps the ! in names.
        for name in [b'100%PATH% done.txt', b'wow!y! 5%.txt', b'a=b;c,d.txt']:
            with self.subTest(name=name):
                chosen = self.wdocs + b'\\' + name
                script = self.STATUS_SCRIPT.replace(b'\n', b'\nset y=WRONG\n', 1)
                self.assertEqual(self.run_batch(script, chosen + b'\0', switches=['/v:on']),
                                 (b'status 0\r\nchosen\r\n', b'', 0))
                self.assertEqual(self.written('value.txt'), b'picked="' + chosen + b'"\r\n')


if __name__ == '__main__':
    unittest.main()
