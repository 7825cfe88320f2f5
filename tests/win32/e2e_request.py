"""The dialog request as the real executable hands it to comdlg32.dll: every
field of the OPENFILENAMEA record, recorded by the stand-in dialog library.
The host tests check the request the program builds; this checks the
record that the binding makes of it, and that an answer comes back."""
import os
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
                         ('save', '0x00000006', hexs(b'txt'), hexs(b'Text (*.txt)\0*.txt;*.log\0All\0*.*\0\0'),
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

    def test_defaults(self):
        q = winrun.run(b'tamberlin x *.*', stub=(None,)).request
        self.assertEqual((q['lpstrTitle'], q['file'], q['file_zero_after'], q['Flags']),
                         ('null', '', '1', '0x00001004'))


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
             b'Name not in the ANSI code page and without a short name: Z:\\nowhere\\?.txt\n'),
            # The buffer full to its last unit with no end to the list: a
            # dialog that cut it, or that wrote on past it as Wine's does.
            ('a cut list', 'C:\\d\0a.txt\0' + 'n' * (20480 - 11), b'Selection too long: pick fewer files\n'),
            # Windows' dialog fails on a list too long for the buffer; that
            # is no choice either, and the dialog's failure says nothing.
            ('too long for the dialog', 'C:\\d\0a.txt\0' + 'n' * 20480, b''),
        ]
        for label, answer, message in cases:
            with self.subTest(label):
                r = winrun.run(b'tamberlin x *.* /multiselect', stub=(answer,))
                self.assertEqual((r.out, r.err, r.status), (b'', message, 1))


if __name__ == '__main__':
    unittest.main()
