"""The dialog driver (tests/windows/driver.c) against Windows 10's and 11's
nesting of the file dialogs' controls, as tests/windows/nestdlg.c lays it
out under Wine: the driver must find the controls where they are nested,
put the text into the name box (the keyboard is elsewhere), tell the list
of file types of a pick, wait for a typed folder that the view shows only
later, and answer the replace question through its nested buttons. The
stand-in records what reached it, and that record is compared whole.
Against Wine's item dialog, which tells its folder nowhere, the driver's
step "in" must tell the folder shown from others by the file list."""
import os
import shutil
import tempfile
import time
import unittest

import e2e_real_dialog as real
import winrun

FILTERS = ['Texts (*.txt)', 'All files (*.*)']
# What the driver reports when a program cannot load a library it imports
# (STATUS_DLL_NOT_FOUND).
DLL_NOT_FOUND = 0xC0000135


def setUpModule():
    real.setUpModule()


# Seconds for the driver in runs whose step "in" is meant to fail: it waits
# this long before it gives up.
REFUSAL_WAIT = 15


class FolderByFileList(unittest.TestCase):
    def test_only_the_folder_shown_passes(self):
        tmp = tempfile.mkdtemp(prefix='tamberlin listed ')
        self.addCleanup(shutil.rmtree, tmp, True)
        contents = {'shown': ['a.txt', 'sub\\'], 'other name': ['b.txt', 'sub\\'], 'no subfolder': ['a.txt'],
                    'another subfolder': ['a.txt', 'sub\\', 'more\\']}
        for folder, names in contents.items():
            for name in names:
                path = os.path.join(tmp, folder, name.rstrip('\\'))
                os.makedirs(path if name.endswith('\\') else os.path.dirname(path), exist_ok=True)
                if not name.endswith('\\'):
                    open(path, 'w').close()
        cmdline = b'tamberlin x "%s\\*.txt" Listed' % winrun.winpath(os.path.join(tmp, 'shown')).encode()
        cases = [
            ('the folder shown', 'shown', 1, None),
            ('one without the name listed', 'other name', 250, 'the dialog does not show that folder'),
            ('one without the subfolder listed', 'no subfolder', 250, 'the dialog does not show that folder'),
            ('one with a subfolder not listed', 'another subfolder', 250, 'the dialog does not show that folder'),
        ]
        for label, folder, status, error in cases:
            with self.subTest(label):
                _, _, got, report = real.drive(cmdline, ['in', winrun.winpath(os.path.join(tmp, folder)), 'cancel'],
                                               tmp, wait=REFUSAL_WAIT)
                self.assertEqual((got, report.get('error', [None])[0]), (status, error))


class NestedDialogs(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix='tamberlin nested ')
        self.addCleanup(shutil.rmtree, self.tmp, True)
        self.start = winrun.winpath(self.tmp)
        os.mkdir(os.path.join(self.tmp, 'sub'))
        open(os.path.join(self.tmp, 'old.txt'), 'w').close()

    def run_nested(self, layout, steps):
        """The stand-in's record as [(key, value)], the driver's status and
        its report."""
        record = os.path.join(self.tmp, 'record.txt')
        cmdline = '"%s" %s "%s"' % (winrun.winpath(os.environ['TAMBERLIN_NESTDLG']), layout, winrun.winpath(record))
        out, err, status, report = real.drive(cmdline.encode(), steps, self.tmp)
        with open(record, encoding='utf-8') as f:
            lines = [tuple(line.rstrip('\n').split(': ', 1)) for line in f]
        return lines, status, report

    def test_steps_reach_the_nested_controls(self):
        sub = self.start + '\\sub'
        # A folder typed, then a name in it under the other filter: the view
        # gets to the folder seconds after the ok, and wipes the name box.
        in_sub = ['type', sub, 'ok', 'type', 'new.txt', 'filter', FILTERS[1], 'ok']
        into_sub = [('typed', sub), ('ok', sub), ('shown', sub), ('typed', 'new.txt'), ('filter', FILTERS[1]),
                    ('ok', 'new.txt'), ('chosen', sub + '\\new.txt')]
        old = self.start + '\\old.txt'
        cases = [
            ('save: a folder, then a name there', 'save', in_sub, into_sub, 0),
            ('open: a folder, then a name there', 'open', in_sub, into_sub, 0),
            ('save: an existing name, replaced after a yes', 'save', ['type', 'old.txt', 'ok', 'yes'],
             [('typed', 'old.txt'), ('ok', 'old.txt'), ('replace', 'yes by button'), ('chosen', old)], 0),
            ('save: a no keeps the dialog open', 'save', ['type', 'old.txt', 'ok', 'no', 'cancel'],
             [('typed', 'old.txt'), ('ok', 'old.txt'), ('replace', 'no by button'), ('cancel', '')], 1),
        ]
        for label, layout, steps, recorded, status in cases:
            with self.subTest(label):
                lines, got, report = self.run_nested(layout, steps)
                self.assertEqual(lines, recorded)
                self.assertEqual(got, status, report.get('error'))
                # What the dialog showed at first: its folder (by the address
                # bar where it answers no CDM_GETFOLDERPATH) and its filter.
                self.assertEqual((report['dialog'], report['folder'][0], report['filter'][0]),
                                 (['Nested ' + layout], self.start, FILTERS[0]))

    def test_a_program_that_cannot_load_ends_the_run_at_once(self):
        # A library it imports is missing: the start fails, and the driver
        # says so with the status instead of waiting for a dialog.
        began = time.monotonic()
        cmdline = '"%s" save x' % winrun.winpath(os.environ['TAMBERLIN_NEEDS_MISSING'])
        _, _, status, report = real.drive(cmdline.encode(), ['cancel'], self.tmp)
        self.assertEqual((status, report['error']),
                         (250, ['no dialog: the program ended with status 0x%08X' % DLL_NOT_FOUND]))
        self.assertLess(time.monotonic() - began, real.WINDOW_DEADLINE)


if __name__ == '__main__':
    unittest.main()
