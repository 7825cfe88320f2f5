"""The dialog request as the real executable hands it to comdlg32.dll: every
field of the OPENFILENAMEW record, recorded by the stand-in dialog library.
The host tests check the request the program builds; this checks the
record that the binding makes of it, and that an answer comes back."""
import os
import shlex
import shutil
import subprocess
import tempfile
import unittest

import winrun
from winrun import hexs


class Request(unittest.TestCase):
    def test_request_record(self):
        r = winrun.run(b'tamberlin x "C:\\docs\\*.txt;*.doc" "My title" start.txt /multiselect /maynotexist',
                       stub=(None,))
        q = r.request
        expected = {
            'lStructSize': '76', 'hInstance': 'null', 'lpstrCustomFilter': 'null', 'nMaxCustFilter': '0',
            'nFilterIndex': '1', 'nMaxFile': '20480', 'lpstrFileTitle': 'null', 'nMaxFileTitle': '0',
            'lpstrInitialDir': hexs(b'C:\\docs\\'), 'lpstrTitle': hexs(b'My title'),
            'lpstrFilter': hexs(b'*.txt;*.doc\0*.txt;*.doc\0\0'), 'Flags': '0x00080204',
            'nFileOffset': '0', 'nFileExtension': '0', 'lpstrDefExt': 'null', 'lCustData': 'null',
            'lpfnHook': 'null', 'lpTemplateName': 'null', 'file': hexs(b'start.txt'), 'file_zero_after': '1',
            'call': 'open',
        }
        for key, value in expected.items():
            with self.subTest(key):
                self.assertEqual(q[key], value)

    def test_save_request_record(self):
        # Named filters, the save dialog's flags and its default extension,
        # as the binding hands them to GetSaveFileNameW.
        r = winrun.run(b'tamberlin x "C:\\docs\\Text (*.txt)|*.txt;*.log|All|*.*" T report /save',
                       stub=('C:\\docs\\report.txt\0',))
        q = r.request
        self.assertEqual((q['call'], q['Flags'], q['lpstrDefExt'], q['lpstrFilter'], q['file']),
                         ('save', '0x00008806', hexs(b'txt'), hexs(b'Text (*.txt)\0*.txt;*.log\0All\0*.*\0\0'),
                          hexs(b'report')))
        self.assertEqual((r.out, r.err, r.status), (b'x "C:\\docs\\report.txt"\r\n', b'', 0))

    def test_owner_is_the_console_window(self):
        # Wine gives a process on pipes no console, and one on a terminal a
        # console window whose title is empty: only that window can own the
        # dialog there.
        for terminal, owner in [(False, ('null', '0')), (True, ('set', '1'))]:
            with self.subTest(terminal=terminal):
                q = winrun.run(b'tamberlin x *.*', stub=(None,), terminal=terminal).request
                self.assertEqual((q['hwndOwner'], q['owner_is_console']), owner)

    def test_one_split_of_the_utf16_line(self):
        # Windows' ANSI line holds quotes for U+FF02 and would split there:
        # /noquote would be read, and cmd would run what follows "&".
        r = winrun.run('tamberlin "set f=" "C:\\w\\x\uff02 /noquote \uff02\\*.*"', stub=('C:\\w\\a&b.txt\0',))
        self.assertEqual((r.out, r.err, r.status), (b'set f="C:\\w\\a&b.txt"\r\n', b'', 0))
        # The folder as the system resolves it: its slash made a backslash.
        self.assertEqual(r.request['lpstrInitialDir'], hexs(b'C:\\w\\x" \\noquote "\\'))
        # The longest line Windows starts a process with: 16000 parameters.
        line = 'tamberlin x *.*' + ' n' * 15996
        line += ' ' + 'z' * (32766 - len(line) - 1)
        r = winrun.run(line, stub=('C:\\a\0',))
        self.assertEqual((r.out, r.err, r.status), (b'x "C:\\a"\r\n', b'', 0))
        self.assertEqual(r.request['file'], hexs(line[line.rindex(' ') + 1:].encode()))

    def test_defaults(self):
        q = winrun.run(b'tamberlin x *.*', stub=(None,)).request
        self.assertEqual((q['lpstrTitle'], q['file'], q['file_zero_after'], q['Flags']),
                         ('null', '', '1', '0x00001004'))

    def test_a_path_without_a_folder_starts_in_the_current_one(self):
        # Wine's GetFullPathNameW(".") leaves its "." after the NUL: nothing
        # of it may follow the separator.
        with tempfile.TemporaryDirectory() as tmp:
            q = winrun.run(b'tamberlin x *.txt', stub=(None,), cwd=tmp).request
        self.assertEqual(q['lpstrInitialDir'], hexs(winrun.winpath(tmp).encode() + b'\\'))

    def test_libraries_by_name_come_from_the_system_folder_only(self):
        # The stand-in dialog loads a library by its bare name, and a copy
        # of it lies beside the program. The floor program, which restricts
        # nothing, finds it there.
        q = winrun.run(b'tamberlin x *.*', stub=(None,)).request
        floor = winrun.run(b'floor', exe=os.environ['TAMBERLIN_FLOOR'], stub=(None,)).request
        self.assertEqual((q['probe_loaded'], floor['probe_loaded']), ('0', '1'))


class Answer(unittest.TestCase):
    def test_the_answer_comes_back_through_the_buffer(self):
        # A multiple selection with bytes above 0x7F, read back from the
        # very buffer the binding handed over.
        r = winrun.run(b'tamberlin "set f=" C:\\docs\\*.* T /multiselect', stub=(b'C:\\\xe9\0\x80 \xff.txt\0z\0\0',))
        self.assertEqual((r.out, r.err, r.status), (b'set f="C:\\\xe9\\\x80 \xff.txt" "C:\\\xe9\\z"\r\n', b'', 0))


class WideNames(unittest.TestCase):
    """Names the code page cannot hold, through the binding's real
    conversions and the real file system's aliases (Wine makes one for every
    file)."""

    def test_a_name_outside_the_code_page_is_written_as_its_alias(self):
        with tempfile.TemporaryDirectory() as tmp:
            for name, content in [('\u0141og.txt', b'the chosen one'), ('Log.txt', b'another file'),
                                  ('\u4e2d\u6587.txt', b'chinese'), ('caf\u00e9.txt', b'accented')]:
                with open(os.path.join(tmp, name), 'wb') as f:
                    f.write(content)
            folder = winrun.winpath(tmp)
            for name, content in [('\u0141og.txt', b'the chosen one'), ('\u4e2d\u6587.txt', b'chinese')]:
                with self.subTest(name=name):
                    r = winrun.run(b'tamberlin "set f=" *.* /noquote', stub=(folder + '\\' + name + '\0',))
                    self.assertEqual((r.err, r.status), (b'', 0))
                    self.assertTrue(r.out.startswith(b'set f=' + folder.encode() + b'\\'), r.out)
                    self.assertNotIn(b'?', r.out)
                    alias = r.out[len(b'set f='):-2].decode('ascii')
                    self.assertIn('~', alias)
                    with open(winrun.unixpath(alias), 'rb') as f:
                        self.assertEqual(f.read(), content, 'the alias names the chosen file')
            # A name the code page holds is written as it is.
            r = winrun.run(b'tamberlin "set f=" *.*', stub=(folder + '\\caf\u00e9.txt\0',))
            self.assertEqual(r.out, b'set f="' + folder.encode() + b'\\caf\xe9.txt"\r\n')

    def test_without_an_exact_form_nothing_is_written(self):
        cases = [
            ('no such file, so no alias', 'Z:\\nowhere\\\u4e2d.txt\0',
             b'Name not in the ANSI code page and without a short name: Z:\\nowhere\\?.txt\n', None),
            # The buffer full to its last unit with no end to the list: a
            # dialog that cut it, or that wrote on past it as Wine's does.
            ('a cut list', 'C:\\d\0a.txt\0' + 'n' * (20480 - 11), b'Selection too long: pick fewer files\n', None),
            # Windows' dialog refuses a list too long for the buffer
            # (FNERR_BUFFERTOOSMALL), which is no choice either.
            ('too long for the dialog', 'C:\\d\0a.txt\0' + 'n' * 20480, b'Selection too long: pick fewer files\n',
             None),
            # Wine's writes it whole: e2e_overrun.
        ]
        for label, answer, message, env in cases:
            with self.subTest(label):
                r = winrun.run(b'tamberlin x *.* /multiselect', stub=(answer,), env=env)
                self.assertEqual((r.out, r.err, r.status), (b'', message, 1))


def japanese(tmp: str) -> dict:
    """The environment in which Wine takes 932 for the ANSI code page. Wine
    wants the Unix locale to exist; a copy of C.UTF-8 under the name will do."""
    shutil.copytree('/usr/lib/locale/C.utf8', os.path.join(tmp, 'ja_JP.UTF-8'))
    return {'LANG': 'ja_JP.UTF-8', 'LC_ALL': 'ja_JP.UTF-8', 'LOCPATH': tmp}


class CodePages(unittest.TestCase):
    """Code pages other than 1252: double-byte ones, where a backslash byte
    can be half of a character, and the lines in UTF-8 or the console's."""

    def test_a_backslash_byte_inside_a_character_is_no_separator(self):
        # In 932, "表" is 95 5C: the old byte-wise decisions took its second
        # byte for a separator.
        folder = b'C:\\w\\\x88\xea\x97\x97\x95\x5c'
        with tempfile.TemporaryDirectory() as tmp:
            env = japanese(tmp)
            for label, answer, out in [
                ('single', 'C:\\w\\\u4e00\u89a7\u8868\\a.txt\0', b'set f="' + folder + b'\\a.txt"\r\n'),
                ('multiple', 'C:\\w\\\u4e00\u89a7\u8868\0a.txt\0b.txt\0\0',
                 b'set f="' + folder + b'\\a.txt" "' + folder + b'\\b.txt"\r\n'),
            ]:
                with self.subTest(label):
                    r = winrun.run(b'tamberlin "set f=" *.* /multiselect', stub=(answer,), env=env)
                    self.assertEqual((r.out, r.err, r.status), (out, b'', 0))
            # From the ANSI command line: the folder splits after the
            # character, and a name ending in the same byte is a name.
            q = winrun.run(b'tamberlin x C:\\\x95\x5c\\*.* T \x95\x5c.txt', stub=(None,), env=env).request
            self.assertEqual((q['wide_lpstrInitialDir'], q['wide_file']),
                             ('C:\\\u8868\\'.encode('utf-16-le').hex(), '\u8868.txt'.encode('utf-16-le').hex()))

    def test_the_line_in_utf8_or_the_code_page_of_the_console(self):
        answer = ('C:\\d\\caf\u00e9.txt\0',)
        # Without a console, /consolecp falls back on the ANSI code page.
        for option, out in [('/utf8', b'\xc3\xa9'), ('/consolecp', b'\xe9'), ('/ConsoleCP', b'\xe9')]:
            with self.subTest(option):
                r = winrun.run(b'tamberlin "set f=" *.* ' + option.encode(), stub=answer)
                self.assertEqual((r.out, r.status), (b'set f="C:\\d\\caf' + out + b'.txt"\r\n', 0))
        # In every mode, every parameter reaches the dialog exactly as the
        # UTF-16 command line holds it; the command string must also fit
        # the line's code page, which in the default one, 1252, "Ł" does not.
        wide = {'wide_lpstrInitialDir': 'C:\\\u03a9\\', 'wide_lpstrTitle': '\u03a9 \u8868', 'wide_file': '\u0141.txt',
                'wide_lpstrFilter': '*.\u4e2d\0*.\u4e2d\0\0'}
        for command, option, out, err, status in [
            ('set \u0141=', ' /utf8', b'set \xc5\x81="C:\\d\\caf\xc3\xa9.txt"\r\n', b'', 0),
            ('set \u00e9=', '', b'set \xe9="C:\\d\\caf\xe9.txt"\r\n', b'', 0),
            ('set \u0141=', '', b'', b'Invalid parameter: set ?=\n', 255),
        ]:
            with self.subTest(command=command, option=option):
                r = winrun.run('tamberlin "%s" "C:\\\u03a9\\*.\u4e2d" "\u03a9 \u8868" \u0141.txt%s' % (command, option),
                               stub=answer)
                self.assertEqual((r.out, r.err, r.status), (out, err, status))
                if status == 255:
                    self.assertIsNone(r.request, 'a refused call shows no dialog')
                    continue
                for key, text in wide.items():
                    self.assertEqual(r.request[key], text.encode('utf-16-le').hex(), key)

    def test_the_console_code_page_that_chcp_set(self):
        # On a terminal Wine's cmd has a console whose code page chcp sets.
        # Wine's own for /f decodes as 1252 whatever chcp says, unlike
        # Windows', so the bytes are read from a file.
        for page, out in [('850', b'\x82'), ('65001', b'\xc3\xa9'), ('1252', b'\xe9')]:
            with self.subTest(page), tempfile.TemporaryDirectory() as tmp:
                shutil.copy(os.environ['TAMBERLIN_EXE'], tmp)
                shutil.copy(os.environ['TAMBERLIN_STUB_DLL'], os.path.join(tmp, 'comdlg32.dll'))
                with open(os.path.join(tmp, 'dlg.wanswer'), 'wb') as f:
                    f.write('C:\\d\\caf\u00e9.txt\0'.encode('utf-16-le'))
                with open(os.path.join(tmp, 't.bat'), 'wb') as f:
                    f.write(b'@chcp ' + page.encode() + b' >nul\r\n'
                            b'@"%~dp0tamberlin.exe" "set f=" *.* /consolecp > "%~dp0out.txt"\r\n')
                env = dict(os.environ, WINEDEBUG='-all', WINEDLLOVERRIDES='comdlg32=n',
                           TAMBERLIN_STUB=winrun.winpath(os.path.join(tmp, 'dlg')))
                argv = shlex.join(['wine', 'cmd', '/c', winrun.winpath(os.path.join(tmp, 't.bat'))])
                subprocess.run(['script', '-qec', argv, '/dev/null'], env=env, stdin=subprocess.DEVNULL,
                               capture_output=True, timeout=winrun.TIMEOUT)
                with open(os.path.join(tmp, 'out.txt'), 'rb') as f:
                    self.assertEqual(f.read(), b'set f="C:\\d\\caf' + out + b'.txt"\r\n')


class Memory(unittest.TestCase):
    def test_a_one_file_run_commits_about_what_the_dialog_alone_needs(self):
        # Measured while the dialog shows, against a program that does
        # nothing but show it with the same buffer and manifest.
        floor = int(winrun.run(b'floor', exe=os.environ['TAMBERLIN_FLOOR'], stub=(None,)).request['committed'])
        ours = int(winrun.run(b'tamberlin x *.*', stub=(None,)).request['committed'])
        self.assertLess(ours - floor, 1 << 20, (ours, floor))


if __name__ == '__main__':
    unittest.main()
