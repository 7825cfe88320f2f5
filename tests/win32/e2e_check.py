"""The Windows check (tests/windows/check.cmd) run whole under Wine's cmd,
on the real dialogs of a private X server, with only the change that the
README documents for Wine (the recipes' `do call %%L`). It must say first
where it runs, end with no check failed and counts that match its lines,
run every recipe at least once, and skip only what it says Wine cannot show
or what only Windows can."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

import e2e_real_dialog as real
import winrun

SKIPPED = re.compile(r'^SKIP: .*: (Windows only|Wine cannot show it: .*)$')
# What the driver's "about" and the check say of where it runs: here, a
# process without a console.
ABOUT = [r'^Windows \d+\.\d+\.\d+$', r'^console code page 0, ANSI code page 1252$', r'^console window: none$',
         r'^Wine: what it cannot show is skipped$']


def setUpModule():
    real.setUpModule()


class CheckScript(unittest.TestCase):
    def test_the_check_passes_whole(self):
        tmp = tempfile.mkdtemp(prefix='tamberlin check ')
        self.addCleanup(shutil.rmtree, tmp, True)
        folder = shutil.copytree(os.environ['TAMBERLIN_CHECK'], os.path.join(tmp, 'check'))
        subprocess.run([sys.executable, os.path.join(os.environ['TAMBERLIN_SOURCE'], 'tests', 'windows',
                                                     'make_check.py'),
                        os.environ['TAMBERLIN_SOURCE'], '-', folder, '--wine'], check=True)
        cmdline = os.path.join(tmp, 'cmdline')
        with open(cmdline, 'w') as f:
            f.write('cmd /d /s /c ""%s""' % winrun.winpath(os.path.join(folder, 'check.cmd')))
        real.keep_desktop()
        done = subprocess.run(['wine', os.environ['TAMBERLIN_LAUNCH'], 'C:\\windows\\system32\\cmd.exe',
                               winrun.winpath(cmdline)],
                              env=real.ENV, cwd=tmp, stdin=subprocess.DEVNULL, capture_output=True, timeout=1500)
        out = done.stdout.decode('cp1252')
        lines = out.splitlines()
        print(out)
        self.assertGreater(len(lines), len(ABOUT), done.stderr)
        for line, pattern in zip(lines, ABOUT):
            self.assertRegex(line, pattern)
        checks = lines[len(ABOUT):-1]
        self.assertRegex(lines[-1], r'^[1-9]\d* passed, 0 failed, \d+ skipped$', out)
        self.assertEqual(lines[-1], '%d passed, 0 failed, %d skipped' % (
            sum(line.startswith('PASS: ') for line in checks), sum(line.startswith('SKIP: ') for line in checks)))
        self.assertEqual(done.returncode, 0)
        for line in checks:
            with self.subTest(line):
                self.assertTrue(line.startswith('PASS: ') or SKIPPED.match(line))
        # Every recipe of the README ran at least once.
        with open(os.path.join(folder, 'recipes', 'index.txt')) as f:
            for recipe in (line.split()[0] for line in f):
                with self.subTest(recipe):
                    self.assertTrue(any(line.startswith('PASS: %s, name' % recipe) for line in lines))


if __name__ == '__main__':
    unittest.main()
