"""Parameters to settings, seen where they end up: the dialog request and
the messages on standard error."""
import os
import tempfile
import unittest

import winrun
from winrun import hexs

CANCEL = (None,)
HIDE, MUST_EXIST, MULTI = 0x4, 0x1000, 0x200 | 0x80000


def flags(value):
    return '0x%08x' % value


def filter_list(patterns: bytes) -> str:
    # The stand-in reads the list up to its first empty text, so an empty
    # pattern list shows as that one empty text.
    return hexs(patterns + b'\0' + patterns + b'\0\0' if patterns else b'\0')


class Settings(unittest.TestCase):
    def request(self, params: bytes, cwd=None):
        r = winrun.run(b'tamberlin cmd ' + params, stub=CANCEL, cwd=cwd)
        self.assertEqual((r.out, r.err, r.status), (b'', b'', 1), params)
        self.assertIsNotNone(r.request, params)
        return r.request

    def test_parameters_reach_the_dialog(self):
        cases = [
            # params, initial dir, patterns, title (None: null), initial name, flags
            (b'C:\\docs\\*.txt;*.log /MultiSelect /NOCRLF', b'C:\\docs\\', b'*.txt;*.log', None, b'',
             HIDE | MUST_EXIST | MULTI),
            (b'C:\\docs\\ /maynotexist /multiselect', b'C:\\docs\\', b'', None, b'', HIDE | MULTI),
            (b'C:\\x\\*.* Choose a.txt b.txt', b'C:\\x\\', b'*.*', b'Choose', b'b.txt', HIDE | MUST_EXIST),
            (b'"C:\\My Docs\\*.t x t" "Pick one" "my name.txt"', b'C:\\My Docs\\', b'*.t x t', b'Pick one',
             b'my name.txt', HIDE | MUST_EXIST),
            (b'\\\\server\\share\\*.csv', b'\\\\server\\share\\', b'*.csv', None, b'', HIDE | MUST_EXIST),
            (b'C:\\x\\*.* "" /multiselect Title', b'C:\\x\\', b'*.*', None, b'', HIDE | MUST_EXIST),
            (b'"" Title /multiselect', b'', b'*.*', b'Title', b'', HIDE | MUST_EXIST | MULTI),
            (b'C:\\x\\*.* T \xe9t\xe9.txt', b'C:\\x\\', b'*.*', b'T', b'\xe9t\xe9.txt', HIDE | MUST_EXIST),
        ]
        for params, folder, patterns, title, name, dialog_flags in cases:
            with self.subTest(params=params):
                q = self.request(params)
                self.assertEqual(q['lpstrInitialDir'], hexs(folder))
                self.assertEqual(q['lpstrFilter'], filter_list(patterns))
                self.assertEqual(q['lpstrTitle'], 'null' if title is None else hexs(title))
                self.assertEqual(q['file'], hexs(name))
                self.assertEqual(q['Flags'], flags(dialog_flags))

    def test_no_path_gives_all_files_in_the_current_folder(self):
        q = self.request(b'')
        self.assertEqual(q['lpstrInitialDir'], '')  # an empty text, not null
        self.assertEqual(q['lpstrFilter'], filter_list(b'*.*'))

    def test_relative_paths_are_made_absolute(self):
        with tempfile.TemporaryDirectory() as tmp:
            here = winrun.winpath(tmp).encode() + b'\\'
            for params, folder, patterns in [
                (b'*.txt;*.doc', here, b'*.txt;*.doc'),
                (b'sub\\*.txt', here + b'sub\\', b'*.txt'),
                (b'sub/dir/../*.txt', here + b'sub\\', b'*.txt'),
            ]:
                with self.subTest(params=params):
                    q = self.request(params, cwd=tmp)
                    self.assertEqual(q['lpstrInitialDir'], hexs(folder))
                    self.assertEqual(q['lpstrFilter'], filter_list(patterns))

    def test_a_pattern_list_too_long_for_1024_bytes_reaches_the_dialog_whole(self):
        # A list that cannot be resolved (its full path would pass 259
        # characters) is split as given.
        patterns = b';'.join(b'*.e%03d' % i for i in range(100))
        self.assertGreater(len(patterns), 510)
        q = self.request(patterns)
        self.assertEqual(q['lpstrInitialDir'], '')
        self.assertEqual(q['lpstrFilter'], filter_list(patterns))


class Refusals(unittest.TestCase):
    def test_each_refusal_has_its_message_and_status_255(self):
        cases = [
            (b'C:\\x\\*.* /?', b'Invalid option: /?'),
            (b'C:\\x\\*.* /multiselect /noquote /Unknown', b'Invalid option: /Unknown'),
            (b'C:\\x\\*.* /noquotesx', b'Invalid option: /noquotesx'),
            (b'C:\\x\\*.* "/quoted option"', b'Invalid option: /quoted option'),
            (b'C:\\x\\*.* Title /t', b'Invalid option: /t'),
            (b'C:\\x\\*.* Choose C:\\report.txt', b'Invalid parameter: C:\\report.txt'),
            (b'C:\\x\\*.* Choose *.txt', b'Invalid parameter: *.txt'),
            (b'C:\\x\\*.* Choose ok.txt "a\tb"', b'Invalid parameter: a\tb'),
            (b'C:\\x\\*.* Choose /bad C:\\report.txt', b'Invalid option: /bad'),
        ]
        for params, message in cases:
            with self.subTest(params=params):
                r = winrun.run(b'tamberlin cmd ' + params, stub=CANCEL)
                self.assertEqual((r.out, r.err, r.status), (b'', message + b'\n', 255))
                self.assertIsNone(r.request, 'a refused call must not show the dialog')


if __name__ == '__main__':
    unittest.main()
