#!/usr/bin/env python3
"""scripts/release.sh, run as a user would, in two fresh trees of this
commit in different folders (the second's path holds blanks), with
different time zones, umasks and file times: both must give the same bytes,
the executable must carry the commit's time as its PE time stamp, and the
zip must name the tools that made it.

Each tree is a clone of this repository at HEAD with the working tree's
files laid over it, so that what is tested is what is being changed, while
`git log` still gives the commit's time.
"""
import calendar
import io
import os
import re
import shutil
import subprocess
import time
import tempfile
import unittest
import zipfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
PREFIX = 'https://example.invalid/tamberlin/v1'
HOMEPAGE = 'https://example.invalid/tamberlin'
ZIP = 'tamberlin-1.0.0-win32.zip'
SUMS = 'tamberlin-1.0.0-SHA256SUMS.txt'


# The checkout may belong to another user than the one testing it (root in
# a CI container over the runner's workspace), which git refuses to read
# unless told to trust it. The suite already runs the tree's own scripts, so
# trusting it for these calls adds nothing; the machine's configuration is
# left alone.
GIT = ['git', '-c', 'safe.directory=*']


def git(*args, cwd=ROOT):
    return subprocess.run([*GIT, *args], cwd=cwd, check=True, capture_output=True).stdout


def make_tree(dest):
    head = git('rev-parse', 'HEAD').decode().strip()
    # The clone reads ROOT through a git of its own, which is not handed
    # the trust given on this command line: give it its own.
    subprocess.run([*GIT, 'clone', '-q', '--no-checkout', '--upload-pack', "git -c 'safe.directory=*' upload-pack",
                    ROOT, dest], check=True)
    git('checkout', '-q', head, cwd=dest)
    for name in git('ls-files', '-z', '--deleted').split(b'\0'):
        if name:
            os.remove(os.path.join(dest, os.fsdecode(name)))
    for name in git('ls-files', '-z', '--cached', '--others', '--exclude-standard').split(b'\0'):
        name = os.fsdecode(name)
        src = os.path.join(ROOT, name)
        if name and os.path.isfile(src):
            os.makedirs(os.path.dirname(os.path.join(dest, name)), exist_ok=True)
            shutil.copy2(src, os.path.join(dest, name))


def release(tree, *args, env=None, umask=0o022):
    # The release takes the commit's time only when the caller set none.
    env = dict({k: v for k, v in os.environ.items() if k != 'SOURCE_DATE_EPOCH'}, **(env or {}))
    return subprocess.run(['bash', 'scripts/release.sh', *args], cwd=tree, env=env, capture_output=True,
                          text=True, timeout=300, preexec_fn=lambda: os.umask(umask))


def read_tree(top):
    found = {}
    for base, _, names in os.walk(top):
        for name in names:
            path = os.path.join(base, name)
            with open(path, 'rb') as f:
                found[os.path.relpath(path, top)] = f.read()
    return found


def zip_member(tree, name):
    with open(os.path.join(tree, 'dist', ZIP), 'rb') as f, zipfile.ZipFile(io.BytesIO(f.read())) as z:
        return z.read(name)


def pe_time_stamp(exe):
    """The PE header's time stamp, as binutils reads it."""
    out = subprocess.run(['i686-w64-mingw32-objdump', '-p', exe], capture_output=True, text=True, check=True,
                         env=dict(os.environ, TZ='UTC')).stdout
    m = re.search(r'^Time/Date\s+(.+)$', out, re.M)
    assert m, out
    return calendar.timegm(time.strptime(m.group(1).strip(), '%a %b %d %H:%M:%S %Y'))


class Reproducible(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix='tamberlin-release-')
        # A blank in a path splits any word that a build step leaves unquoted.
        cls.trees = [os.path.join(cls.tmp, 'a'), os.path.join(cls.tmp, 'second tree', 'a longer folder name')]
        for tree in cls.trees:
            make_tree(tree)
        # The second tree's files are older than the first's.
        for base, _, names in os.walk(cls.trees[1]):
            for name in names:
                os.utime(os.path.join(base, name), (1000000000, 1000000000), follow_symlinks=False)
        cls.runs = [
            release(cls.trees[0], PREFIX, HOMEPAGE, env={'TZ': 'UTC'}),
            release(cls.trees[1], PREFIX, HOMEPAGE, env={'TZ': 'Asia/Kathmandu'}, umask=0o077),
        ]

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp)

    def setUp(self):
        for run in self.runs:
            self.assertEqual(run.returncode, 0, run.stdout + run.stderr)

    def test_same_release_files(self):
        first, second = (read_tree(os.path.join(t, 'dist')) for t in self.trees)
        self.assertEqual(sorted(n for n in first if '/' not in n), [SUMS, ZIP])
        self.assertEqual(sorted(first), sorted(second))
        for name in first:
            self.assertEqual(first[name], second[name], f'dist/{name} differs between the trees')

    def test_same_executable_in_both_build_trees(self):
        exes = [read_tree(os.path.join(t, 'build', 'win32'))['tamberlin.exe'] for t in self.trees]
        self.assertEqual(exes[0], exes[1])
        self.assertEqual(zip_member(self.trees[0], 'tamberlin.exe'), exes[0])

    def test_time_stamp_is_the_commit_time(self):
        commit = int(git('log', '-1', '--format=%ct', cwd=self.trees[0]))
        self.assertGreater(commit, 0)
        exe = os.path.join(self.trees[0], 'build', 'win32', 'tamberlin.exe')
        self.assertEqual(pe_time_stamp(exe), commit)

    def test_checksums_verify(self):
        for tree in self.trees:
            proc = subprocess.run(['sha256sum', '--check', '--strict', SUMS],
                                  cwd=os.path.join(tree, 'dist'), capture_output=True, text=True)
            self.assertEqual(proc.returncode, 0, proc.stdout + proc.stderr)
            self.assertEqual(proc.stdout.splitlines(), [f'{ZIP}: OK'])

    def test_build_info_names_the_tools(self):
        # Each tool that CMake used, by its own first --version line: what
        # someone repeating the build must install.
        info = zip_member(self.trees[1], 'BUILDINFO.txt').decode().split('\r\n')
        tree = self.trees[1]
        with open(os.path.join(tree, 'build', 'win32', 'tools.txt')) as f:
            tools = f.read().splitlines()
        head = git('rev-parse', 'HEAD', cwd=tree).decode().strip()
        self.assertTrue(info[1].startswith(f'Commit: {head}'), info)
        for label, tool in zip(('Compiler', 'Linker', 'Resource compiler'), tools):
            line = subprocess.run([tool, '--version'], capture_output=True, text=True, check=True).stdout
            with self.subTest(label):
                self.assertTrue(any(l.startswith(f'{label}: {line.splitlines()[0]}') for l in info), info)

    def test_plain_build_takes_the_commit_time(self):
        # A build that no release started reads the time from git itself,
        # and relinks when the time it is given changes.
        tree = self.trees[1]
        exe = os.path.join(tree, 'build', 'win32', 'tamberlin.exe')
        with open(exe, 'rb') as f:
            released = f.read()
        commit = int(git('log', '-1', '--format=%ct', cwd=tree))
        for env, want in [({}, commit), ({'SOURCE_DATE_EPOCH': str(commit + 86400)}, commit + 86400),
                          ({}, commit)]:
            env = dict({k: v for k, v in os.environ.items() if k != 'SOURCE_DATE_EPOCH'}, **env)
            for step in (['cmake', '--preset', 'win32'], ['cmake', '--build', '--preset', 'win32', '--target', 'tamberlin']):
                proc = subprocess.run(step, cwd=tree, env=env, capture_output=True, text=True, timeout=300)
                self.assertEqual(proc.returncode, 0, proc.stdout + proc.stderr)
            self.assertEqual(pe_time_stamp(exe), want)
        with open(exe, 'rb') as f:
            self.assertEqual(f.read(), released)

    def test_refused_before_building(self):
        cases = [
            ('a zero time stamp', [PREFIX, HOMEPAGE], {'SOURCE_DATE_EPOCH': '0'}),
            ('a time stamp that is no number', [PREFIX, HOMEPAGE], {'SOURCE_DATE_EPOCH': 'yesterday'}),
            ('an address that is not http(s)', ['example.invalid/tamberlin', HOMEPAGE], {}),
            # The download folder would become the homepage, which reviewers reject.
            ('a download address without a homepage', [PREFIX], {}),
            ('too many arguments', [PREFIX, PREFIX, PREFIX], {}),
        ]
        tree = self.trees[0]
        marker = os.path.join(tree, 'dist', 'kept')
        for name, args, env in cases:
            with self.subTest(name):
                with open(marker, 'w'):
                    pass
                proc = release(tree, *args, env=env)
                self.assertEqual(proc.returncode, 2, proc.stdout + proc.stderr)
                self.assertNotIn('building', proc.stdout)
                self.assertTrue(os.path.exists(marker), 'a refused release must leave dist/ alone')
        os.remove(marker)


if __name__ == '__main__':
    unittest.main()
