"""The dialog request as the real executable hands it to comdlg32.dll: every
field of the OPENFILENAMEA record, recorded by the stand-in dialog library.
The host tests check the request the program builds; this checks the
record that the binding makes of it, and that an answer comes back."""
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
        }
        for key, value in expected.items():
            with self.subTest(key):
                self.assertEqual(q[key], value)
        self.assertIn(q['hwndOwner'], ('null', 'set'))

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


if __name__ == '__main__':
    unittest.main()
