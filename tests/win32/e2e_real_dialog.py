"""The real Wine dialog on a private X server, answered by the dialog
driver (tests/windows/driver.c), as the Windows check answers Windows'
dialogs; xdotool only where the driver cannot go: picks made in the file
list, and finding the window that keeps Wine's desktop up.

The shared prefix's wineserver must stay without a display (other tests rely
on the dialog failing there), so this module makes a prefix of its own beside
it, with its own Xvfb and wineserver, and ends both when it is done."""
import concurrent.futures
import os
import re
import select
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

import winrun

WINDOW_DEADLINE = 30
TOOL_TIMEOUT = 120
# Wine's loader reports things of its own on the program's stderr (here: that
# it cannot read the volume label of Z:, which the dialog asks for).
WINE_NOTICE = re.compile(rb'^wine: [^\n]*\n', re.M)

ENV = {}


def tool(argv, env, check=True, timeout=TOOL_TIMEOUT):
    return subprocess.run(argv, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, check=check, timeout=timeout)


def xdo(*args, check=True):
    # xdotool prints window names in the locale's encoding: ask for UTF-8.
    done = subprocess.run(['xdotool', *args], env=dict(ENV, LC_ALL='C.UTF-8'),
                          stdin=subprocess.DEVNULL, capture_output=True, timeout=20)
    if check and done.returncode:
        raise AssertionError('xdotool %s failed: %r' % (' '.join(args), done.stderr))
    return done.stdout.decode('utf-8')


def start_xvfb():
    """Starts Xvfb on the first free display and returns its name."""
    rfd, wfd = os.pipe()
    try:
        # No auto-repeat: a key held down by a slow xdotool must not
        # arrive twice.
        proc = subprocess.Popen(['Xvfb', '-displayfd', str(wfd), '-screen', '0', '1024x768x24',
                                 '-nolisten', 'tcp', '-r'],
                                pass_fds=(wfd,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, start_new_session=True)
    finally:
        os.close(wfd)
    unittest.addModuleCleanup(stop_xvfb, proc)
    text = b''
    deadline = time.monotonic() + WINDOW_DEADLINE
    with os.fdopen(rfd, 'rb', buffering=0) as pipe:
        while not text.endswith(b'\n'):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([pipe], [], [], left)[0]:
                raise RuntimeError('Xvfb did not report a display in time')
            chunk = pipe.read(64)
            if not chunk:
                raise RuntimeError('Xvfb ended at start (status %s)' % proc.poll())
            text += chunk
    return ':' + text.decode('ascii').strip()


def stop_xvfb(proc):
    proc.terminate()
    try:
        proc.wait(timeout=10)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


def setUpModule(suffix='-x11', setup=()):
    """Starts Xvfb and a Wine prefix beside the suite's, named with `suffix`
    and made with the commands `setup`, for the real dialogs."""
    prefix = os.environ['WINEPREFIX'] + suffix
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG='-all')
    for name in ('DISPLAY', 'WINEDLLOVERRIDES', 'TAMBERLIN_STUB'):
        env.pop(name, None)
    winrun.make_prefix(env, setup)

    env['DISPLAY'] = start_xvfb()
    ENV.update(env)
    # A server left behind by an interrupted run would keep the display it
    # started with, which no longer exists.
    tool(['wineserver', '-k'], env, check=False)
    tool(['wineserver', '-w'], env, check=False)
    tool(['wineserver', '-p'], env)
    unittest.addModuleCleanup(tool, ['wineserver', '-k'], env, check=False)
    # Wine's background services start with the first program of a server
    # session and inherit its standard handles: give them /dev/null, not the
    # pipes of a program under test.
    tool(['wine', 'cmd', '/c', 'exit'], env)

    unittest.addModuleCleanup(stop_keeper)
    keep_desktop()


# Wine ends its desktop process a moment after the last window closes, and
# the next program starts it again; under load that restart now and then
# fails to load the display driver, and the dialog then fails the way a
# cancel does. A dialog kept open behind the tests keeps the desktop up; it
# is started afresh should anything have ended it.
KEEPER = []


def keep_desktop():
    if KEEPER and KEEPER[0].proc.poll() is None:
        return
    stop_keeper()
    tmp = tempfile.mkdtemp(prefix='tamberlin-keeper-')
    unittest.addModuleCleanup(shutil.rmtree, tmp, True)
    for attempt in range(3):
        keeper = Program(b'tamberlin x C:\\*.* "Desktop keeper"', tmp, tmp)
        try:
            keeper.window(ere('Desktop keeper'))
        except AssertionError:
            keeper.__exit__(None, None, None)
            if attempt == 2:
                raise
            continue
        KEEPER.append(keeper)
        return


def stop_keeper():
    while KEEPER:
        KEEPER.pop().__exit__(None, None, None)


def ere(text):
    """An xdotool name pattern that matches exactly this text."""
    return '^' + re.sub(r'([.^$*+?()\[\]{}|\\])', r'\\\1', text) + '$'


class Program:
    """tamberlin with a raw command line, running while the test drives its
    dialog; on leaving, whatever still runs is killed, so a failed case
    cannot leave a dialog open behind it."""

    def __init__(self, cmdline: bytes, tmp: str, cwd: str, argv=None):
        """argv, if given, is run instead: a batch file under cmd, say."""
        if argv is None:
            cmdfile = os.path.join(tmp, 'cmdline')
            with open(cmdfile, 'wb') as f:
                f.write(cmdline)
            argv = ['wine', os.environ['TAMBERLIN_LAUNCH'], winrun.winpath(os.environ['TAMBERLIN_EXE']),
                    winrun.winpath(cmdfile)]
        self.proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, env=ENV, cwd=cwd, start_new_session=True)
        self.pool = concurrent.futures.ThreadPoolExecutor(1)
        self.streams = self.pool.submit(winrun._collect, self.proc)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.proc.poll() is None:
            try:
                os.killpg(self.proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        self.pool.shutdown(wait=True)
        return False

    def wait_for(self, what, found):
        deadline = time.monotonic() + WINDOW_DEADLINE
        while True:
            value = found()
            if value:
                return value
            if self.proc.poll() is not None:
                out, err, status = self.result()
                raise AssertionError('the program ended while waiting for %s: %r'
                                     % (what, (out, err, status)))
            if time.monotonic() > deadline:
                raise AssertionError('no %s after %d s' % (what, WINDOW_DEADLINE))
            time.sleep(0.05)

    def window(self, pattern):
        """The one visible window whose name matches, once it shows."""
        ids = self.wait_for('window named %s' % pattern,
                            lambda: xdo('search', '--onlyvisible', '--name', pattern, check=False).split())
        if len(ids) != 1:
            raise AssertionError('%d windows named %s' % (len(ids), pattern))
        return ids[0]

    def drive(self, wid, *steps):
        """Gives the window the keyboard, then types or presses keys: a step
        is ('type', text) or ('key', name, ...)."""
        xdo('windowfocus', '--sync', wid)
        for step in steps:
            if step[0] == 'type':
                xdo('type', '--delay', '20', step[1])
            else:
                xdo('key', *step[1:])

    def result(self):
        out, err = self.streams.result(timeout=winrun.TIMEOUT + 30)
        return out, WINE_NOTICE.sub(b'', err), self.proc.returncode


# Into the file list, on its first entry: the name box has the keyboard at
# first, and the list of types and the two buttons come before the list.
# Selecting all of it takes shift+End from there: Wine's file list leaves
# Ctrl+A unhandled.
LISTED = ('key', 'Tab', 'Tab', 'Tab', 'Tab', 'Home')
ALL_LISTED = [LISTED, ('key', 'shift+End', 'Return')]


PICK_NAMES = ['0 first.dat', 'a.txt', 'b.txt', 'c.log', 'z last.dat']


def scratch(prefix, cleanup, sub):
    """A folder of its own for a test, with `sub` inside it, removed by
    `cleanup` (a test's addCleanup or a class's addClassCleanup); returns
    both and the sub-folder's Windows name."""
    tmp = tempfile.mkdtemp(prefix=prefix)
    cleanup(shutil.rmtree, tmp, True)
    folder = os.path.join(tmp, sub)
    os.mkdir(folder)
    return tmp, folder, winrun.winpath(folder).encode()


def drive(cmdline, steps, cwd, batch=None, wait=WINDOW_DEADLINE):
    """Runs a program under the dialog driver, which answers its dialog with
    `steps` (the driver's, as ['type', 'a.txt', 'ok']). cmdline is the exact
    command line: bytes for an ANSI one, a str for a UTF-16 one (steps may
    then hold any character); `batch` runs that batch file under cmd
    instead; `wait` is the driver's /wait, in seconds. Returns the output,
    errors and status, and the driver's report as {key: [values]}."""
    keep_desktop()
    with tempfile.TemporaryDirectory(prefix='tamberlin-drive-') as tmp:
        report = os.path.join(tmp, 'report')
        if batch:
            cmdline = 'C:\\windows\\system32\\cmd.exe /d /s /c ""%s""' % winrun.winpath(batch)
        wide = isinstance(cmdline, str)
        head = 'driver /wait %d /report "%s" %s -- ' % (wait, winrun.winpath(report),
                                                       ' '.join('"%s"' % step for step in steps))
        cmdfile = os.path.join(tmp, 'cmdline')
        with open(cmdfile, 'wb') as f:
            f.write((head + cmdline).encode() if wide else head.encode('cp1252') + cmdline)
        proc = subprocess.Popen(['wine', os.environ['TAMBERLIN_LAUNCH'], winrun.winpath(os.environ['TAMBERLIN_DRIVER']),
                                 winrun.winpath(cmdfile), *(['wide'] if wide else [])],
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                env=ENV, cwd=cwd, start_new_session=True)
        out, err = winrun._collect(proc, winrun.TIMEOUT + wait)
        found = {}
        with open(report, encoding='utf-8') as f:
            for line in f:
                key, _, value = line.rstrip('\n').partition(': ')
                found.setdefault(key, []).append(value)
    return out, WINE_NOTICE.sub(b'', err), proc.returncode, found


class RealDialog(unittest.TestCase):
    def setUp(self):
        # A blank in the folder name: it must survive into the quoted line.
        self.tmp, self.folder, self.wfolder = scratch('tamberlin dialog ', self.addCleanup, 'my docs')
        for name in PICK_NAMES:
            with open(os.path.join(self.folder, name), 'w') as f:
                f.write(name)

    def program(self, cmdline, cwd=None):
        keep_desktop()
        return Program(cmdline, self.tmp, cwd or self.tmp)

    def line(self, *names):
        """What the program writes for names in the folder after "set f="."""
        return b'set f=' + b' '.join(b'"' + self.wfolder + b'\\' + n.encode() + b'"' for n in names) + b'\r\n'

    def test_picks(self):
        # Steps of the driver; picks in the file list go by xdotool's keys.
        cases = [
            ('typed name', 'Pick typed', b'', None, ['type', 'a.txt', 'ok'], ['a.txt']),
            ('two typed names', 'Pick two', b'/multiselect', None, ['names', '2', 'a.txt', 'c.log', 'ok'],
             ['a.txt', 'c.log']),
            ('one name under /multiselect', 'Pick one of many', b'/multiselect', None, ['type', 'b.txt', 'ok'],
             ['b.txt']),
            # The name box starts with a longer name; what is left of it
            # behind the picked name must not read as a second file.
            ('one name over a longer initial one', 'Pick over', b'a-much-longer-initial-name.txt /multiselect', None,
             ['type', 'b.txt', 'ok'], ['b.txt']),
            ('new name', 'Pick new', b'/maynotexist', None, ['type', 'new file.txt', 'ok'], ['new file.txt']),
            ('initial name', 'Pick initial', b'c.log', None, ['ok'], ['c.log']),
            # The other filter, picked in the list: its extension is the one
            # that a name typed without one gets.
            ('filter picked', 'Pick filter', b'/save', self.wfolder + b'\\Texts|*.txt|Logs|*.log',
             ['filter', 'Logs', 'type', 'new', 'ok'], ['new.log']),
            # A relative path starts in the current folder: a bare name is
            # taken there.
            ('relative path', 'Pick relative', b'', b'*.log', ['type', 'c.log', 'ok'], ['c.log']),
            # The first pattern's extension, whole, for a name typed without
            # one.
            ('save with *.html first', 'Pick html', b'/save', self.wfolder + b'\\*.html;*.txt',
             ['type', 'report', 'ok'], ['report.html']),
            # Everything the list shows, selected from its first entry to its
            # last: exactly the files that match one of the two patterns.
            ('list under the filter', 'Pick listed', b'/multiselect', None, ALL_LISTED, ['a.txt', 'b.txt', 'c.log']),
            ('last listed', 'Pick last', b'', None, [LISTED, ('key', 'End', 'Return')], ['c.log']),
        ]
        for label, title, extra, path, steps, names in cases:
            with self.subTest(label):
                path = path or self.wfolder + b'\\*.txt;*.log'
                cmdline = b'tamberlin "set f=" "%s" "%s" %s' % (path, title.encode(), extra)
                if isinstance(steps[0], tuple):
                    with self.program(cmdline, cwd=self.folder) as p:
                        p.drive(p.window(ere(title)), *steps)
                        self.assertEqual(p.result(), (self.line(*names), b'', 0))
                    continue
                # Wine's item dialog tells its folder only by its file list.
                out, err, status, report = drive(cmdline, ['in', self.wfolder.decode(), *steps], self.folder)
                self.assertEqual((out, err, status), (self.line(*names), b'', 0), report.get('error'))
                self.assertEqual((report['dialog'], report['in']),
                                 ([title], [self.wfolder.decode() + ' (by its file list)']))

    def test_the_named_folder_on_every_run(self):
        # Run 1 opens in the named folder; the user goes elsewhere and picks
        # there. Run 2 of the same command line opens in the named folder
        # again: a bare name that both folders hold is taken there.
        elsewhere = os.path.join(self.tmp, 'elsewhere')
        os.mkdir(elsewhere)
        open(os.path.join(elsewhere, 'a.txt'), 'w').close()
        named, other = self.wfolder.decode(), winrun.winpath(elsewhere)
        cmdline = b'tamberlin "set f=" "%s\\*.txt" "Second run"' % self.wfolder
        runs = [
            ('run 1 picks elsewhere', ['in', named, 'type', other, 'ok', 'type', 'a.txt', 'ok'], other),
            ('run 2 opens in the named folder', ['in', named, 'type', 'a.txt', 'ok'], named),
        ]
        for label, steps, folder in runs:
            with self.subTest(label):
                out, err, status, report = drive(cmdline, steps, self.tmp)
                self.assertEqual((out, err, status), (b'set f="%s\\a.txt"\r\n' % folder.encode(), b'', 0),
                                 report.get('error'))

    def test_the_folder_picker_starts_in_the_current_folder(self):
        # A path without a folder: the picker opens where the program runs,
        # so a folder typed there by its name comes back.
        os.mkdir(os.path.join(self.folder, 'alpha'))
        self.assertEqual(drive(b'tamberlin "set d=" * "Pick here" /folder', ['type', 'alpha', 'ok'], self.folder)[:3],
                         (b'set d="' + self.wfolder + b'\\alpha"\r\n', b'', 0))

    def test_cancel_writes_nothing(self):
        cmdline = b'tamberlin "set f=" "%s\\*.*" "Cancel me"' % self.wfolder
        self.assertEqual(drive(cmdline, ['cancel'], self.tmp)[:3], (b'', b'', 1))

    def test_window_title(self):
        cases = [
            (b'"Pick a file"', 'Pick a file'),
            (b'"Report (v1.0) [draft]? $5 + tax"', 'Report (v1.0) [draft]? $5 + tax'),
            (b'"Caf\xe9 menu"', 'Caf\u00e9 menu'),
            # Without a title the dialog shows its own.
            (b'', 'Open'),
        ]
        for title, shown in cases:
            with self.subTest(shown):
                out, err, status, report = drive(b'tamberlin x "%s\\*.*" %s' % (self.wfolder, title), ['cancel'],
                                                 self.tmp)
                self.assertEqual((out, err, status, report['dialog']), (b'', b'', 1, [shown]))

    def test_missing_name_is_refused_without_maynotexist(self):
        # The refusal is a message box over the dialog, which stays open.
        cmdline = b'tamberlin x "%s\\*.txt" "Must exist"' % self.wfolder
        out, err, status, report = drive(cmdline, ['type', 'missing.txt', 'ok', 'dismiss', 'cancel'], self.tmp)
        self.assertEqual((out, err, status), (b'', b'', 1))
        self.assertEqual(report['answered'], ['ok'])
        self.assertIn('not exist', report['box text'][0])


# Side by side, each a trap for a line that is not exact: best fit makes
# "Łog.txt" the "Log.txt" beside it; "?" for what the code page lacks makes
# "中文.txt" and the emoji (a surrogate pair: two units) "??.txt", a pattern
# that matches "ab.txt" too. "café.txt" is in code page 1252 (0xE9).
SIDE_BY_SIDE = ['\u0141og.txt', 'Log.txt', '\u4e2d\u6587.txt', 'ab.txt', '\U0001f600.txt', 'caf\u00e9.txt']
PICKED_ALONE = ['\u0141og.txt', '\u4e2d\u6587.txt', '\U0001f600.txt', 'caf\u00e9.txt']


class ReadmeRecipe(unittest.TestCase):
    """The README's first recipe, exactly as printed (with the one rewrite it
    documents for Wine), run with the real dialog: the user types a name."""

    def test_a_first_script(self):
        import e2e_readme
        tmp = tempfile.mkdtemp(prefix='tamberlin recipe ')
        self.addCleanup(shutil.rmtree, tmp, True)
        shutil.copy(os.environ['TAMBERLIN_EXE'], tmp)
        chosen = os.path.join(tmp, 'pick me (1).txt')
        open(chosen, 'wb').close()
        bat = os.path.join(tmp, 'recipe.bat')
        with open(bat, 'wb') as f:
            f.write(e2e_readme.for_wine(e2e_readme.recipes()['A first script']))
        out, err, status, report = drive(None, ['type', winrun.winpath(chosen), 'ok'], tmp, batch=bat)
        self.assertEqual((out, err, status, report['dialog']),
                         (b'You chose pick me (1).txt in ' + winrun.winpath(tmp).encode() + b'\\\r\n', b'', 0,
                          ['Pick a file']))


class SaveAndFolderRecipes(unittest.TestCase):
    """The README's save and folder recipes as printed (with the rewrite for
    Wine), answered in the real dialogs; the batch file then writes into
    the saved file or lists the picked folder."""

    @classmethod
    def setUpClass(cls):
        import e2e_readme
        cls.recipes = e2e_readme.recipes()
        cls.for_wine = staticmethod(e2e_readme.for_wine)
        cls.documents = winrun.unixpath(e2e_readme.wine_value('%USERPROFILE%') + '\\Documents')

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix='tamberlin save ')
        self.addCleanup(shutil.rmtree, self.tmp, True)
        shutil.copy(os.environ['TAMBERLIN_EXE'], self.tmp)
        # The save recipe writes the list of the documents: one to find there.
        self.marker = os.path.basename(self.tmp).encode()
        open(os.path.join(self.documents, self.marker.decode()), 'wb').close()
        self.addCleanup(os.remove, os.path.join(self.documents, self.marker.decode()))

    def recipe(self, heading, *steps):
        bat = os.path.join(self.tmp, 'recipe.bat')
        with open(bat, 'wb') as f:
            f.write(self.for_wine(self.recipes[heading]))
        out, err, status, report = drive(None, steps, self.tmp, batch=bat)
        title = {'Asking where to save': 'Save the list as', 'A folder, then its files': 'Folder to list'}[heading]
        self.assertEqual(report['dialog'], [title])
        return out, err, status

    def test_a_new_name_gets_the_default_extension(self):
        typed = os.path.join(self.tmp, 'report')
        out, err, status = self.recipe('Asking where to save', 'type', winrun.winpath(typed), 'ok')
        self.assertEqual((out, err, status), (b'Saved as "' + winrun.winpath(typed).encode() + b'.txt"\r\n', b'', 0))
        with open(typed + '.txt', 'rb') as f:
            self.assertIn(self.marker + b'\r\n', f.read())

    def test_an_existing_file_is_replaced_after_the_question(self):
        old = os.path.join(self.tmp, 'old.txt')
        with open(old, 'wb') as f:
            f.write(b'the old list')
        # The question whether to replace it is answered "yes".
        out, err, status = self.recipe('Asking where to save', 'type', winrun.winpath(old), 'ok', 'yes')
        self.assertEqual((out, err, status), (b'Saved as "' + winrun.winpath(old).encode() + b'"\r\n', b'', 0))
        with open(old, 'rb') as f:
            self.assertIn(self.marker + b'\r\n', f.read())

    def test_a_folder_picked_in_the_modern_picker(self):
        folder = os.path.join(self.tmp, 'pick', 'alpha')
        os.makedirs(folder)
        for name in ('one.txt', 'two.log'):
            open(os.path.join(folder, name), 'w').close()
        out, err, status = self.recipe('A folder, then its files', 'type', winrun.winpath(folder), 'ok')
        self.assertEqual((sorted(out.splitlines()), err, status), ([b'one.txt', b'two.log'], b'', 0))


class NamesOutsideTheCodePage(unittest.TestCase):
    """Names picked in the dialog, as a batch file gets them through for /f,
    and as the program writes them. Every file holds a text of its own, so
    what the batch reads tells which file the line named."""

    @classmethod
    def setUpClass(cls):
        cls.tmp, folder, cls.wfolder = scratch('tamberlin names ', cls.addClassCleanup, 'picks')
        cls.contents = {}
        for i, name in enumerate(SIDE_BY_SIDE):
            cls.contents[name] = b'contents of file %d\r\n' % i
            with open(os.path.join(folder, name), 'wb') as f:
                f.write(cls.contents[name])
        # Run by its bare name from the batch file's folder, as a user would.
        shutil.copy(os.environ['TAMBERLIN_EXE'], os.path.join(cls.tmp, 'tamberlin.exe'))

    def batch(self, title, switches, steps, reading):
        """Runs a batch file that takes the line with for /f and keeps what
        the variable then holds; `reading` opens the named files. Returns the
        batch's output, errors and status, and the variable's value."""
        script = (b'@echo off\r\n'
                  b'set f=\r\n'
                  b'for /f "delims=" %%L in (\'tamberlin.exe "set f=" "' + self.wfolder + b'\\*.txt" "'
                  + title + b'"' + switches + b'\') do call %%L\r\n'
                  b'if not defined f exit /b 1\r\n'
                  b'echo %f%> value.txt\r\n' + reading)
        bat = os.path.join(self.tmp, 't.bat')
        with open(bat, 'wb') as f:
            f.write(script)
        value = os.path.join(self.tmp, 'value.txt')
        if os.path.exists(value):
            os.remove(value)
        out, err, status, _ = drive(None, steps, self.tmp, batch=bat)
        if not os.path.exists(value):
            return out, err, status, None
        with open(value, 'rb') as f:
            return out, err, status, f.read()

    def direct(self, title, switches, steps):
        cmdline = b'tamberlin "set f=" "%s\\*.txt" "%s"%s' % (self.wfolder, title, switches)
        return drive(cmdline.decode('cp1252'), steps, self.tmp)[:3]

    def assert_form(self, name, path):
        """`path`, from a line, names the file `name` of the folder: by its
        own bytes where code page 1252 holds it, else by its alias (all
        plain ASCII under Wine, with a tilde)."""
        folder, _, last = path.rpartition(b'\\')
        self.assertEqual(folder, self.wfolder)
        try:
            exact = name.encode('cp1252')
        except UnicodeEncodeError:
            exact = None
        if exact is not None:
            self.assertEqual(last, exact)
        else:
            self.assertRegex(last, rb'^[!-~]*~[!-~]*$')
            self.assertNotIn(b'?', last)

    def test_the_line_names_the_chosen_file(self):
        # All of them at once: the batch reads each named file in the line's
        # order; each file once, none other.
        every = ['names', str(len(SIDE_BY_SIDE)), *SIDE_BY_SIDE, 'ok']
        out, err, status, value = self.batch(b'Names all', b' /multiselect', every,
                                             b'for %%F in (%f%) do type "%%~F"\r\n')
        self.assertEqual((err, status), (b'', 0))
        read = out.splitlines(keepends=True)
        self.assertEqual(sorted(read), sorted(self.contents.values()))
        by_contents = {text: name for name, text in self.contents.items()}
        listed = [by_contents[text] for text in read]

        # The program's own bytes: the very ones the batch opened the files by.
        line = self.direct(b'Names all direct', b' /multiselect', every)
        self.assertEqual(line, (b'set f=' + value, b'', 0))
        self.assertNotIn(b'?', line[0])
        paths = re.findall(rb'"([^"]*)"', value)
        self.assertEqual(b' '.join(b'"%s"' % p for p in paths) + b'\r\n', value)
        self.assertEqual(len(paths), len(listed))
        for name, path in zip(listed, paths):
            with self.subTest('among all', name=name):
                self.assert_form(name, path)

        # One at a time, each name typed whole.
        for name in PICKED_ALONE:
            with self.subTest('alone', name=name):
                at = listed.index(name)
                steps = ['type', name, 'ok']
                out, err, status, value = self.batch(b'Name %d' % at, b'', steps, b'type %f%\r\n')
                self.assertEqual((out, err, status), (self.contents[name], b'', 0))
                line = self.direct(b'Name %d direct' % at, b'', steps)
                self.assertEqual(line, (b'set f=' + value, b'', 0))
                self.assertNotIn(b'?', line[0])
                self.assertTrue(value.startswith(b'"') and value.endswith(b'"\r\n'), value)
                self.assert_form(name, value[1:-3])


# The dialog's buffer, in UTF-16 units.
SELECTION_CHARS = 20480


class ManyFiles(unittest.TestCase):
    """Hundreds of files to pick at once, for e2e_overrun, which needs Wine's
    older dialog. The .txt ones fill that dialog's buffer to its last unit;
    with the .log ones there are 700, whose list does not fit."""

    @classmethod
    def setUpClass(cls):
        cls.tmp, folder, cls.wfolder = scratch('tamberlin long ', cls.addClassCleanup, 'many')
        # The folder and its NUL, each name and its NUL, and one more NUL.
        room = SELECTION_CHARS - (len(cls.wfolder) + 1) - 1
        per_name = len('000 .txt') + 56 + 1
        count, longer = divmod(room, per_name)
        cls.fitting = [('%03d %s.txt' % (i, 'x' * (56 + (i < longer)))).encode() for i in range(count)]
        assert sum(len(n) + 1 for n in cls.fitting) == room
        cls.others = [('%03d %s.log' % (i, 'x' * 56)).encode() for i in range(count, 700)]
        for name in cls.fitting + cls.others:
            open(os.path.join(folder.encode(), name), 'wb').close()

    def run_all_listed(self, patterns, title):
        """Every file that the patterns match, picked as one list."""
        names = self.fitting + (self.others if b'log' in patterns else [])
        listing = os.path.join(self.tmp, 'names.txt')
        with open(listing, 'wb') as f:
            f.write(b''.join(name + b'\r\n' for name in names))
        cmdline = b'tamberlin "set f=" "%s\\%s" "%s" /multiselect' % (self.wfolder, patterns, title)
        return drive(cmdline, ['list', winrun.winpath(listing), 'ok'], self.tmp)[:3]



# Names picked at once: the item dialog hands back every one, however many.
MANY_NAMES = 3000
# Seconds for the driver: Wine's dialog takes half a minute to list the
# folder and a minute for the ok (under qemu-user).
MANY_WAIT = 300


class ThousandsOfNames(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp, folder, cls.wfolder = scratch('tamberlin thousands ', cls.addClassCleanup, 'many')
        cls.names = [b'%04d picked at once.txt' % i for i in range(MANY_NAMES)]
        for name in cls.names:
            open(os.path.join(folder.encode(), name), 'wb').close()
        cls.listing = os.path.join(cls.tmp, 'names.txt')
        with open(cls.listing, 'wb') as f:
            f.write(b''.join(name + b'\r\n' for name in cls.names))

    def test_every_name_arrives(self):
        # In the order typed, each whole: the line compared whole.
        line = b'set f=' + b' '.join(b'"%s\\%s"' % (self.wfolder, name) for name in self.names) + b'\r\n'
        cmdline = b'tamberlin "set f=" "%s\\*.txt" "Thousands" /multiselect' % self.wfolder
        out, err, status, report = drive(cmdline, ['list', winrun.winpath(self.listing), 'ok'], self.tmp,
                                         wait=MANY_WAIT)
        self.assertEqual((err, status), (b'', 0), report.get('error'))
        self.assertEqual(out.count(b'" "') + 1, MANY_NAMES)
        self.assertTrue(out == line, 'the line is not the %d names typed, in order' % MANY_NAMES)


if __name__ == '__main__':
    unittest.main()
