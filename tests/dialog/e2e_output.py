"""The dialog request and the output line, through the stand-in dialog
library: what the program asks for, and what it writes for each answer."""
import unittest

import winrun
from winrun import hexs


def pick(answer: bytes, options: bytes = b'', command: bytes = b'type', initial: bytes = b''):
    cmdline = b'tamberlin "' + command + b'" C:\\docs\\*.* T ' + initial + b' ' + options
    return winrun.run(cmdline, stub=(answer,))


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
        }
        for key, value in expected.items():
            with self.subTest(key):
                self.assertEqual(q[key], value)
        self.assertIn(q['hwndOwner'], ('null', 'set'))

    def test_defaults(self):
        q = winrun.run(b'tamberlin x *.*', stub=(None,)).request
        self.assertEqual((q['lpstrTitle'], q['file'], q['file_zero_after'], q['Flags']),
                         ('null', '', '1', '0x00001004'))


class OutputLine(unittest.TestCase):
    def test_lines(self):
        cases = [
            ('single', b'C:\\docs\\a.txt\0', b'', b'type', b'type "C:\\docs\\a.txt"\r\n'),
            ('/noquote', b'C:\\docs\\a.txt\0', b'/noquote', b'type', b'type C:\\docs\\a.txt\r\n'),
            ('/noquotes', b'C:\\docs\\a.txt\0', b'/NoQuotes', b'type', b'type C:\\docs\\a.txt\r\n'),
            ('/nocrlf', b'C:\\docs\\a.txt\0', b'/nocrlf', b'type', b'type "C:\\docs\\a.txt"'),
            ('both', b'C:\\docs\\a.txt\0', b'/nocrlf /noquote', b'type', b'type C:\\docs\\a.txt'),
            ('assignment', b'C:\\docs\\a.txt\0', b'', b'set f=', b'set f="C:\\docs\\a.txt"\r\n'),
            ('trailing blank', b'C:\\docs\\a.txt\0', b'', b'echo ', b'echo  "C:\\docs\\a.txt"\r\n'),
            ('multiple', b'C:\\docs\0a.txt\0b.txt\0\0', b'/multiselect', b'type',
             b'type "C:\\docs\\a.txt" "C:\\docs\\b.txt"\r\n'),
            ('drive root', b'C:\\\0a.txt\0b.txt\0\0', b'/multiselect', b'type',
             b'type "C:\\a.txt" "C:\\b.txt"\r\n'),
            ('one under /multiselect', b'C:\\docs\\a.txt\0\0', b'/multiselect', b'type',
             b'type "C:\\docs\\a.txt"\r\n'),
            ('high bytes', b'C:\\\xe9\xe8\0\x80 \xff.txt\0z\0\0', b'/multiselect', b'set f=',
             b'set f="C:\\\xe9\xe8\\\x80 \xff.txt" "C:\\\xe9\xe8\\z"\r\n'),
            # Without /multiselect nothing after the first NUL counts.
            ('single ignores the rest', b'C:\\docs\\a.txt\0b.txt\0\0', b'', b'type', b'type "C:\\docs\\a.txt"\r\n'),
        ]
        for label, answer, options, command, line in cases:
            with self.subTest(label):
                r = pick(answer, options, command)
                self.assertEqual((r.out, r.err, r.status), (line, b'', 0))

    def test_leftovers_of_the_initial_name_are_not_names(self):
        # The dialog overwrites the start of the buffer; the longer initial
        # name's tail still stands behind the selection's terminating NULs.
        r = pick(b'C:\\a\0', b'', initial=b'a-very-long-initial-name.txt')
        self.assertEqual(r.out, b'type "C:\\a"\r\n')
        r = pick(b'C:\\a\0\0', b'/multiselect', initial=b'a-very-long-initial-name.txt')
        self.assertEqual(r.out, b'type "C:\\a"\r\n')

    def test_a_full_multiple_selection(self):
        # Close to the 20480 characters the dialog is allowed.
        folder = b'C:\\some folder\\with a longer name'
        names = [b'file %04d.dat' % i for i in range(1400)]
        answer = folder + b'\0' + b'\0'.join(names) + b'\0\0'
        self.assertLess(len(answer), 20480)
        r = pick(answer, b'/multiselect', b'for')
        expected = b'for ' + b' '.join(b'"' + folder + b'\\' + n + b'"' for n in names) + b'\r\n'
        self.assertEqual((r.out, r.status), (expected, 0))


if __name__ == '__main__':
    unittest.main()
