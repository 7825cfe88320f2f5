"""The Win32 binding as only Windows code can show it: the real executable
with exact command lines, its writers on real pipes, files, a terminal and
missing handles, and its statuses through the real dialog library's entry.
What the program decides is tested on the host; this checks that the
binding carries it."""
import os
import re
import unittest

import winrun


def built_help():
    """The help as the executable holds it (from its banner to the NUL),
    then the one LF that the writer adds. The host tests check the text
    itself; here only the banner's version is checked, against VERSION."""
    with open(os.environ['TAMBERLIN_EXE'], 'rb') as f:
        exe = f.read()
    start = exe.find(b'Quibo 1.5')
    assert start >= 0 and exe.find(b'Quibo 1.5', start + 1) < 0, 'want the banner once in the executable'
    return exe[start:exe.index(b'\0', start)] + b'\n'


HELP = built_help()

CANCEL = (None,)


class Statuses(unittest.TestCase):
    def test_status_follows_the_dialog(self):
        # A failure is told from a cancel by CommDlgExtendedError. On a
        # window station without visible surfaces, as a service's, no
        # dialog is shown at all.
        chosen = (b'C:\\a.txt\0',)
        cases = [
            ('chosen', chosen, None, [], 0, b'x "C:\\a.txt"\r\n', b''),
            ('cancelled', CANCEL, None, [], 1, b'', b''),
            ('failed', chosen, '0xFFFF', [], 1, b'', b'The dialog failed: error 0x0000FFFF\n'),
            ('no desktop', chosen, None, ['hidden'], 1, b'', b'No desktop to show the dialog on\n'),
        ]
        for label, stub, error, options, status, out, err in cases:
            with self.subTest(label):
                r = winrun.run(b'tamberlin x C:\\*.*', stub=stub, env={'TAMBERLIN_STUB_ERROR': error},
                               options=options)
                self.assertEqual((r.out, r.err, r.status), (out, err, status))
                self.assertEqual(r.request is None, label == 'no desktop', 'a dialog shown only where it can be seen')

    def test_without_a_display_the_dialog_fails_as_a_cancel(self):
        r = winrun.run(b'tamberlin x C:\\*.*', env={'DISPLAY': None})
        self.assertEqual((r.out, r.err, r.status), (b'', b'', 1))


class Writers(unittest.TestCase):
    def test_help_names_the_version_of_VERSION(self):
        with open(os.path.join(os.environ['TAMBERLIN_SOURCE'], 'VERSION')) as f:
            version = f.readline().strip()
        banner = b'Quibo 1.5 - Tamberlin ' + version.encode() + b'\r\n\r\n'
        for cmdline in (b'tamberlin /?', b'tamberlin', b'tamberlin "" x'):
            with self.subTest(cmdline=cmdline):
                r = winrun.run(cmdline)
                self.assertEqual((r.out, r.err, r.status), (b'', HELP, 0))
                self.assertTrue(HELP.startswith(banner), HELP[:60])

    def test_missing_stdout_loses_the_line_but_keeps_status_0(self):
        r = winrun.run(b'tamberlin x C:\\*.*', stub=(b'C:\\a.txt\0',), options=['noout'])
        self.assertEqual((r.out, r.status), (b'', 0))

    def test_missing_stderr_still_ends_with_the_status(self):
        for cmdline, status in [(b'tamberlin /?', 0), (b'tamberlin x *.* /bad', 255)]:
            with self.subTest(cmdline=cmdline):
                r = winrun.run(cmdline, options=['noerr'])
                self.assertEqual((r.out, r.err, r.status), (b'', b'', status))

    def test_redirected_streams_get_exact_bytes(self):
        # Pipes and files are not consoles, so these go through the file
        # writes: the text, then a lone LF, and high bytes unchanged.
        name = b'C:\\d\\caf\xe9 \xff\x80.txt'
        for to_files in (False, True):
            with self.subTest(to_files=to_files):
                r = winrun.run(b'tamberlin "set f=" C:\\d\\*.*', stub=(name + b'\0',), to_files=to_files)
                self.assertEqual((r.out, r.err), (b'set f="' + name + b'"\r\n', b''))
                r = winrun.run(b'tamberlin x *.* /\xc9T\xe9', to_files=to_files)
                self.assertEqual((r.out, r.err), (b'', b'Invalid option: /\xc9T\xe9\n'))
                r = winrun.run(b'tamberlin', to_files=to_files)
                self.assertEqual((r.out, r.err), (b'', HELP))


ESCAPES = re.compile(rb'\x1b\[[0-9;?]*[A-Za-z]|\x1b\][^\x07]*\x07')


def screen_text(raw: bytes) -> bytes:
    """What a terminal shows: no escapes, no CRs, and (as Wine's console
    draws it) no blanks at the ends of lines."""
    text = ESCAPES.sub(b'', raw).replace(b'\r', b'')
    return re.sub(rb' +\n', b'\n', text)


class Terminal(unittest.TestCase):
    """On a terminal both streams are consoles and the console writes run."""

    def run_on_pty(self, cmdline, stub=None):
        r = winrun.run(cmdline, stub=stub, terminal=True)
        return screen_text(r.out), r.status

    def test_help_reaches_the_terminal(self):
        screen, status = self.run_on_pty(b'tamberlin /?')
        self.assertEqual(status, 0)
        self.assertIn(screen_text(HELP), screen)

    def test_message_reaches_the_terminal(self):
        screen, status = self.run_on_pty(b'tamberlin x *.* /Nope')
        self.assertEqual(status, 255)
        self.assertIn(b'Invalid option: /Nope\n', screen)

    def test_output_line_reaches_the_terminal(self):
        screen, status = self.run_on_pty(b'tamberlin "set f=" C:\\d\\*.*', stub=(b'C:\\d\\x.txt\0',))
        self.assertEqual(status, 0)
        self.assertIn(b'set f="C:\\d\\x.txt"\n', screen)


if __name__ == '__main__':
    unittest.main()
