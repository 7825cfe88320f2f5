r"""The README's recipes, run exactly as printed: every ```bat block of
README.md becomes a batch file beside the real executable and runs under
Wine's cmd, with the stand-in dialog picking files. The one rewrite is the
one the README documents for Wine: `do %%L` becomes `do call %%L`. Every
recipe runs twice: from a plain folder, and from one whose name holds what
cmd reads specially (blanks, parentheses, an ampersand and a caret), as
`C:\Program Files (x86)\...` does.

Each recipe is known by the heading above it, and every recipe of the
README must have its outcomes here: a recipe without them, or one whose
outcome changes, fails the suite."""
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import winrun
from winrun import hexs

README = os.path.join(os.environ['TAMBERLIN_SOURCE'], 'README.md')
# The Windows check finds the recipes the same way.
sys.path.insert(0, os.path.join(os.environ['TAMBERLIN_SOURCE'], 'tests', 'windows'))
import make_check  # noqa: E402


def recipes():
    """{heading: script} for every bat block, under the nearest heading."""
    with open(README, encoding='utf-8') as f:
        return make_check.recipes(f.read())


def for_wine(script: str) -> bytes:
    """The README's documented rewrite for Wine's cmd, and nothing else."""
    return make_check.batch_bytes(make_check.for_wine(script))


def wine_value(expression: str) -> str:
    done = subprocess.run(['wine', 'cmd', '/c', 'echo', expression], capture_output=True,
                          stdin=subprocess.DEVNULL, env=dict(os.environ, WINEDEBUG='-all'), timeout=60)
    return done.stdout.decode('cp1252').strip()


class Recipes(unittest.TestCase):
    folder = 'plain'

    @classmethod
    def setUpClass(cls):
        cls.recipes = recipes()
        cls.profile = wine_value('%USERPROFILE%').encode('cp1252')
        cls.temp = winrun.unixpath(wine_value('%TEMP%'))
        cls.documents = winrun.unixpath(cls.profile.decode('cp1252') + '\\Documents')

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix='tamberlin-readme-')
        self.addCleanup(shutil.rmtree, self.tmp, True)
        # The script stands beside the program, which has the stand-in
        # dialog beside itself.
        self.home = os.path.join(self.tmp, self.folder)
        os.mkdir(self.home)
        shutil.copy(os.environ['TAMBERLIN_EXE'], self.home)
        shutil.copy(os.environ['TAMBERLIN_STUB_DLL'], os.path.join(self.home, 'comdlg32.dll'))
        self.docs = os.path.join(self.tmp, 'my docs')
        os.mkdir(self.docs)
        self.wdocs = winrun.winpath(self.docs).encode()
        self.stub = os.path.join(self.tmp, 'dlg')
        # Something for the recipes that list the documents to list.
        self.marker = os.path.basename(self.tmp).encode()
        listed = os.path.join(self.documents, self.marker.decode())
        open(listed, 'wb').close()
        self.addCleanup(os.remove, listed)

    def doc(self, name: bytes, text: bytes = b'') -> bytes:
        """Makes a file among the documents; returns its Windows name."""
        with open(os.path.join(self.docs.encode(), name), 'wb') as f:
            f.write(text or b'content of ' + name)
        return self.wdocs + b'\\' + name

    def leftovers(self):
        return sorted(glob.glob(os.path.join(self.temp, 'tamberlin-*')))

    def run_recipe(self, heading, answer=None, args=(), switches=()):
        """Runs the recipe under `heading`; answer None cancels. Returns
        stdout, stderr, cmd's status and the dialog's request."""
        self.assertIn(heading, self.recipes, 'the README has no such recipe')
        for suffix in ('.answer', '.request'):
            if os.path.exists(self.stub + suffix):
                os.remove(self.stub + suffix)
        if answer is not None:
            with open(self.stub + '.answer', 'wb') as f:
                f.write(answer)
        bat = os.path.join(self.home, 'recipe.bat')
        with open(bat, 'wb') as f:
            f.write(for_wine(self.recipes[heading]))
        # The exact line, as typed at a prompt: `wine cmd /c bat args` would
        # quote the script's name apart from its parameters, and cmd /c
        # would then strip the wrong quotes.
        words = ' '.join(f'"{w}"' if ' ' in w else w for w in [winrun.winpath(bat), *args])
        cmdline = os.path.join(self.tmp, 'cmdline')
        with open(cmdline, 'w') as f:
            f.write(' '.join(['cmd', *switches, '/c', f'"{words}"']))
        before = self.leftovers()
        # Values left over from before the script: a recipe must not take
        # them for a choice.
        env = dict(os.environ, WINEDEBUG='-all', WINEDLLOVERRIDES='comdlg32=n',
                   TAMBERLIN_STUB=winrun.winpath(self.stub), f='"stale.txt"', files='"stale.txt"')
        # From another folder: the recipes find the program through %~dp0.
        proc = subprocess.Popen(['wine', os.environ['TAMBERLIN_LAUNCH'], 'C:\\windows\\system32\\cmd.exe',
                                 winrun.winpath(cmdline)],
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                env=env, cwd=self.docs, start_new_session=True)
        out, err = winrun._collect(proc)
        self.assertEqual(self.leftovers(), before, 'a temporary file was left behind')
        return out, err, proc.returncode, winrun._parse(self.stub + '.request')

    def test_every_recipe_is_checked_here(self):
        checked = {'A first script', 'One file into a variable', 'Many files, one at a time',
                   'Backing up the chosen file', 'Telling a cancel from a bad call',
                   'More on the line: the name in the middle', 'Asking where to save', 'A folder, then its files',
                   'Named filters'}
        self.assertEqual(set(self.recipes), checked)

    def test_recipes_that_act_on_the_chosen_file(self):
        # Each from a fresh folder, where the recipe must make what it needs,
        # on a name that cmd would expand or split were it read twice, with
        # delayed expansion on until the recipe turns it off; judged by what
        # is on disk. A failed action ends with status 2 and no success line.
        name = b'100%PATH% wow!x! & ^c (1).txt'
        chosen = self.wdocs + b'\\' + name
        missing = self.wdocs + b'\\gone\\' + name
        backup = os.path.join(self.home, 'backup')
        cases = [
            # label, recipe, what the file holds (None: the dialog names a
            # file in a missing folder), stdout, status, a file and what it
            # must then hold
            ('first script', 'A first script', b'figures', b'You chose %s in %s\\\r\n' % (name, self.wdocs), 0, None),
            ('backup', 'Backing up the chosen file', b'to keep', b'Backed up "%s"\r\n' % chosen, 0,
             (os.path.join(backup, name.decode()), b'to keep')),
            ('backup over the last one', 'Backing up the chosen file', b'newer', b'Backed up "%s"\r\n' % chosen, 0,
             (os.path.join(backup, name.decode()), b'newer')),
            ('backup, nothing to copy', 'Backing up the chosen file', None,
             b'Could not back up "%s"\r\n' % missing, 2, None),
            ('save', 'Asking where to save', b'old list', b'Saved as "%s"\r\n' % chosen, 0,
             (os.path.join(self.docs, name.decode()), self.marker + b'\r\n')),
            ('save, no such folder', 'Asking where to save', None, b'Could not write "%s"\r\n' % missing, 2, None),
        ]
        for label, heading, content, out, status, effect in cases:
            with self.subTest(label):
                answer = self.doc(name, content) if content else missing
                got, err, code, _ = self.run_recipe(heading, answer + b'\0', switches=['/v:on'])
                self.assertEqual((got, code), (out, status), err)
                if effect:
                    with open(effect[0], 'rb') as f:
                        self.assertIn(effect[1], f.read())
        self.assertFalse(os.path.exists(os.path.join(self.wdocs.decode(), 'gone')))
        # A backup folder that cannot be made: nothing copied, no success.
        shutil.rmtree(backup)
        open(backup, 'wb').close()
        self.assertEqual(self.run_recipe('Backing up the chosen file', self.doc(name) + b'\0')[0:3:2],
                         (b'Could not back up "%s"\r\n' % chosen, 2))
        for heading, out in [('A first script', b'Nothing chosen.\r\n'),
                             ('Backing up the chosen file', b'Nothing chosen.\r\n'), ('Asking where to save', b'')]:
            with self.subTest(cancelled=heading):
                self.assertEqual(self.run_recipe(heading)[:3], (out, b'', 1))

    def test_one_file_into_a_variable(self):
        heading = 'One file into a variable'
        chosen = self.doc(b'report 1 (final) & more.txt')
        out, err, status, request = self.run_recipe(heading, chosen + b'\0')
        self.assertEqual((out, err, status),
                         (b'You chose report 1 (final) & more.txt in ' + self.wdocs + b'\\\r\n', b'', 0))
        self.assertEqual(request['lpstrInitialDir'], hexs(self.profile + b'\\Documents\\'))
        self.assertEqual((request['lpstrFilter'], request['lpstrTitle']),
                         (hexs(b'*.txt\0*.txt\0\0'), hexs(b'Pick a file')))
        self.assertEqual(self.run_recipe(heading)[:3], (b'Nothing chosen.\r\n', b'', 1))

    def test_telling_a_cancel_from_a_bad_call(self):
        heading = 'Telling a cancel from a bad call'
        chosen = self.doc(b'a.txt')
        many = [b'file number %04d with a long name.txt' % i for i in range(200)]
        cases = [
            ('chosen', chosen + b'\0', [], b'You chose "' + chosen + b'"\r\n', b'', 0),
            ('cancelled', None, [], b'Nothing chosen.\r\n', b'', 1),
            ('bad option', chosen + b'\0', ['/bogus'],
             b'Tamberlin was called wrongly: see its message above.\r\n', b'Invalid option: /bogus\n', 2),
            # cmd cannot take a line over 8191 characters: the script
            # notices before reading it.
            ('too long for cmd', self.wdocs + b'\0' + b'\0'.join(many) + b'\0\0', ['/multiselect'],
             b'Too many files for one line.\r\n', b'', 3),
        ]
        for label, answer, args, out, err, status in cases:
            with self.subTest(label):
                self.assertEqual(self.run_recipe(heading, answer, args)[:3], (out, err, status))

    def test_the_file_recipe_keeps_percent_and_exclamation(self):
        # With delayed expansion on from the start (cmd /v:on), only the
        # recipe's own setlocal keeps the ! in names. In a multiple
        # selection, a % in one name must not swallow the names up to the
        # next one, as `call` would.
        for names in [[b'50%.txt'], [b'100%PATH% done.txt'], [b'wow!y! 5%.txt'], [b'a=b;c,d.txt'],
                      [b'a 5%.txt', b'b.txt', b'c%.txt', b'd&e.txt']]:
            with self.subTest(names=names):
                chosen = [self.doc(name) for name in names]
                if len(names) == 1:
                    answer, args = chosen[0] + b'\0', []
                else:
                    answer, args = self.wdocs + b'\0' + b'\0'.join(names) + b'\0\0', ['/multiselect']
                out, err, status, _ = self.run_recipe('Telling a cancel from a bad call', answer, args,
                                                      switches=['/v:on'])
                listed = b' '.join(b'"' + c + b'"' for c in chosen)
                self.assertEqual((out, err, status), (b'You chose ' + listed + b'\r\n', b'', 0))

    def test_many_files_one_at_a_time(self):
        heading = 'Many files, one at a time'
        # 300 names of 40 characters: far past cmd's 8191 on one line. Each
        # holds what cmd would expand or split were it read as a command,
        # and delayed expansion is on until the recipe turns it off.
        many = [b'%03d %%PATH%% 50%% wow!x! & (c) ^d a=b;c.txt' % i for i in range(300)]
        self.assertEqual({len(name) for name in many}, {40})
        self.assertGreater(len(b' '.join(many)), 8191)
        for label, names in [('many', many), ('one', [b'only 5%.txt'])]:
            with self.subTest(label):
                chosen = [self.doc(name) for name in names]
                # One name comes back as the dialog gives it: one full path.
                answer = b'\0'.join([self.wdocs, *names] if len(names) > 1 else chosen) + b'\0\0'
                out, err, status, request = self.run_recipe(heading, answer, switches=['/v:on'])
                listed = b''.join(c + b'\r\n' for c in chosen)
                self.assertEqual((out, err, status), (listed + b'%d files.\r\n' % len(names), b'', 0))
                self.assertEqual(request['Flags'], '0x00081204')
        self.assertEqual(self.run_recipe(heading)[:3], (b'Nothing chosen.\r\n', b'', 1))

    def test_more_on_the_line(self):
        heading = 'More on the line: the name in the middle'
        chosen = self.doc(b'notes 1.txt')
        log = os.path.join(self.home, 'chosen.log')
        out, err, status, request = self.run_recipe(heading, chosen + b'\0')
        self.assertEqual((out, err, status, request['lpstrTitle']), (b'', b'', 0, hexs(b'Pick a file for the log')))
        user = wine_value('%USERNAME%').encode()
        with open(log, 'rb') as f:
            self.assertEqual(f.read(), b'Chosen "%s" by %s\r\n' % (chosen, user))
        # A cancel leaves the log as it was.
        self.assertEqual(self.run_recipe(heading)[:3], (b'', b'', 1))
        with open(log, 'rb') as f:
            self.assertEqual(f.read(), b'Chosen "%s" by %s\r\n' % (chosen, user))

    def test_asking_where_to_save(self):
        # The stand-in answers as a user who typed "list 1" and agreed to
        # replace the file; the rest is in the acting recipes' table.
        target = self.doc(b'list 1.txt', b'old list')
        out, err, status, request = self.run_recipe('Asking where to save', target + b'\0')
        self.assertEqual((out, err, status), (b'Saved as "' + target + b'"\r\n', b'', 0))
        self.assertEqual((request['call'], request['Flags'], request['lpstrDefExt'], request['file']),
                         ('save', '0x00008806', hexs(b'txt'), hexs(b'list.txt')))

    def test_a_folder_then_its_files(self):
        # The folder picker is no comdlg32 call, and Wine without a display
        # has none to make: the recipe ends as after a cancel, with the
        # program's word for it. The picker itself runs in e2e_real_dialog.
        self.assertEqual(self.run_recipe('A folder, then its files')[:3],
                         (b'', b'No folder picker on this system\n', 1))

    def test_named_filters(self):
        chosen = self.doc(b'app.log', b'log lines')
        out, err, status, request = self.run_recipe('Named filters', chosen + b'\0')
        self.assertEqual((out, err, status), (b'"' + chosen + b'"\r\n', b'', 0))
        self.assertEqual((request['lpstrInitialDir'], request['lpstrFilter']),
                         (hexs(self.profile + b'\\Documents\\'), hexs(b'Texts and logs\0*.txt;*.log\0All files\0*.*\0\0')))


class RecipesFromAnAwkwardFolder(Recipes):
    folder = 'Tools (x86) & Co ^1'


if __name__ == '__main__':
    unittest.main()
