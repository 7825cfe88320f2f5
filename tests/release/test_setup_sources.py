#!/usr/bin/env python3
"""The backports source that scripts/setup.sh would add for qemu, derived
from sample apt sources and os-release files instead of the machine's.

The branch that adds it runs only on kernels that cannot run i386 programs,
so it is tried here through `setup.sh --backports-source`, which prints the
source and changes nothing.
"""
import os
import subprocess
import tempfile
import textwrap
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
SETUP = os.path.join(ROOT, 'scripts', 'setup.sh')

BOOKWORM = 'PRETTY_NAME="Debian GNU/Linux 12 (bookworm)"\nVERSION_ID="12"\nVERSION_CODENAME=bookworm\nID=debian\n'
TRIXIE = 'PRETTY_NAME="Debian GNU/Linux 13 (trixie)"\nVERSION_CODENAME="trixie"\nID=debian\n'
NO_CODENAME = 'PRETTY_NAME="Debian GNU/Linux trixie/sid"\nID=debian\n'

KEY = '/usr/share/keyrings/debian-archive-keyring.gpg'


def source(uri, suite, key=None):
    lines = ['Types: deb', f'URIs: {uri}', f'Suites: {suite}', 'Components: main']
    if key:
        lines.append(f'Signed-By: {key}')
    return '\n'.join(lines) + '\n'


def d(text):
    return textwrap.dedent(text).lstrip('\n')


# name, os-release, {path under the apt folder: content}, printed source
# (None: setup would fail and must say why).
CASES = [
    ('deb822 with a comment and several suites', BOOKWORM, {
        'sources.list.d/debian.sources': d(f'''
            Types: deb
            # a snapshot of the archive, kept as a note
            URIs: http://mirror.example.invalid/debian
            Suites: bookworm bookworm-updates
            Components: main
            Signed-By: {KEY}

            Types: deb
            URIs: http://mirror.example.invalid/debian-security
            Suites: bookworm-security
            Components: main
            Signed-By: {KEY}
            ''')},
     source('http://mirror.example.invalid/debian', 'bookworm-backports', KEY)),
    ('one-line list after security and source entries', BOOKWORM, {
        'sources.list': d('''
            # deb http://old.example.invalid/debian bookworm main
            deb http://security.example.invalid/debian-security bookworm-security main
            deb-src http://src.example.invalid/debian bookworm main
            deb http://ftp.example.invalid/debian/ bookworm main contrib non-free-firmware
            deb http://other.example.invalid/debian bookworm main
            ''')},
     source('http://ftp.example.invalid/debian/', 'bookworm-backports')),
    ('one-line options carry the keyring', BOOKWORM, {
        'sources.list': '  deb [ arch=amd64,i386 signed-by=/etc/apt/keyrings/local.gpg ] https://proxy.example.invalid:3142/debian bookworm main # cached\n'},
     source('https://proxy.example.invalid:3142/debian', 'bookworm-backports', '/etc/apt/keyrings/local.gpg')),
    ('a suite that only starts with the release name is not it', BOOKWORM, {
        'sources.list': 'deb http://updates.example.invalid/debian bookworm-updates main\n',
        'sources.list.d/main.list': 'deb [signed-by=/k.gpg] http://main.example.invalid/debian bookworm main\n'},
     source('http://main.example.invalid/debian', 'bookworm-backports', '/k.gpg')),
    ('an entry without main is passed over', BOOKWORM, {
        'sources.list': 'deb http://contrib.example.invalid/debian bookworm contrib non-free\n'
                        'deb http://good.example.invalid/debian bookworm non-free main\n'},
     source('http://good.example.invalid/debian', 'bookworm-backports')),
    ('a listed cdrom is passed over', BOOKWORM, {
        'sources.list': 'deb cdrom:[Debian GNU/Linux 12.5.0 _Bookworm_ - Official amd64 DVD Binary-1]/ bookworm contrib main\n'
                        'deb http://net.example.invalid/debian bookworm main\n'},
     source('http://net.example.invalid/debian', 'bookworm-backports')),
    ('a cdrom in deb822 is passed over', BOOKWORM, {
        'sources.list.d/a-dvd.sources': source('cdrom:[Debian GNU/Linux 12.5.0 _Bookworm_ - Official amd64 DVD Binary-1]/', 'bookworm'),
        'sources.list.d/b-net.sources': source('http://net.example.invalid/debian', 'bookworm')},
     source('http://net.example.invalid/debian', 'bookworm-backports')),
    ('disabled, source-only and foreign entries are passed over', BOOKWORM, {
        'sources.list.d/a-off.sources': d('''
            Types: deb
            URIs: http://off.example.invalid/debian
            Suites: bookworm
            Components: main
            Enabled: no

            Types: deb-src
            URIs: http://src.example.invalid/debian
            Suites: bookworm
            Components: main
            '''),
        'sources.list.d/b-on.sources': d('''
            Types: deb deb-src
            URIs: http://first.example.invalid/debian
             http://second.example.invalid/debian
            Suites:
             bookworm
            Components: main contrib
            Signed-By:
             -----BEGIN PGP PUBLIC KEY BLOCK-----
             .
             mQINBGPL
             -----END PGP PUBLIC KEY BLOCK-----
            '''),
        'sources.list.d/c-tool.sources.disabled': source('http://tool.example.invalid/apt', 'bookworm')},
     # An embedded key is not a path: the new source leaves it to the
     # keyrings apt trusts anyway.
     source('http://first.example.invalid/debian', 'bookworm-backports')),
    ('the codename comes from os-release', TRIXIE, {
        'sources.list.d/debian.sources': source('http://old.example.invalid/debian', 'bookworm')
                                         + '\n' + source('http://new.example.invalid/debian', 'trixie', KEY)},
     source('http://new.example.invalid/debian', 'trixie-backports', KEY)),
    ('an active backports entry means nothing to add', BOOKWORM, {
        'sources.list': 'deb http://m.example.invalid/debian bookworm main\n',
        'sources.list.d/bp.list': 'deb http://m.example.invalid/debian bookworm-backports main\n'},
     ''),
    ('a commented-out backports entry does not count', BOOKWORM, {
        'sources.list': 'deb http://m.example.invalid/debian bookworm main\n'
                        '#deb http://m.example.invalid/debian bookworm-backports main\n'},
     source('http://m.example.invalid/debian', 'bookworm-backports')),
    ('no entry for this release', TRIXIE, {
        'sources.list': 'deb http://m.example.invalid/debian bookworm main\n'},
     None),
    ('no apt sources at all', BOOKWORM, {}, None),
    ('no codename', NO_CODENAME, {
        'sources.list': 'deb http://m.example.invalid/debian sid main\n'},
     None),
]


class BackportsSource(unittest.TestCase):
    def derive(self, os_release, files):
        with tempfile.TemporaryDirectory() as tmp:
            apt = os.path.join(tmp, 'apt')
            os.makedirs(os.path.join(apt, 'sources.list.d'))
            for name, content in files.items():
                with open(os.path.join(apt, name), 'w') as f:
                    f.write(content)
            release = os.path.join(tmp, 'os-release')
            with open(release, 'w') as f:
                f.write(os_release)
            before = sorted(os.listdir(os.path.join(apt, 'sources.list.d')))
            env = dict(os.environ, SETUP_APT_DIR=apt, SETUP_OS_RELEASE=release)
            proc = subprocess.run(['bash', SETUP, '--backports-source'], env=env,
                                  capture_output=True, text=True, timeout=30)
            self.assertEqual(before, sorted(os.listdir(os.path.join(apt, 'sources.list.d'))),
                             'printing the source must not write one')
            return proc

    def test_cases(self):
        for name, os_release, files, want in CASES:
            with self.subTest(name):
                proc = self.derive(os_release, files)
                if want is None:
                    self.assertNotEqual(proc.returncode, 0, proc.stdout)
                    self.assertEqual(proc.stdout, '')
                    self.assertIn('setup:', proc.stderr)
                else:
                    self.assertEqual((proc.returncode, proc.stderr), (0, ''))
                    self.assertEqual(proc.stdout, want)


class Check(unittest.TestCase):
    """After setup has run (scripts/test.sh runs it first), there is nothing
    left to do: the check passes without root and says nothing."""

    def test_nothing_missing(self):
        proc = subprocess.run(['bash', SETUP, '--check'], capture_output=True, text=True, timeout=60)
        self.assertEqual((proc.returncode, proc.stdout, proc.stderr), (0, '', ''))

    def test_second_run_is_silent(self):
        # With nothing to do it needs no root either.
        proc = subprocess.run(['bash', SETUP], capture_output=True, text=True, timeout=120)
        self.assertEqual((proc.returncode, proc.stdout, proc.stderr), (0, '', ''))


if __name__ == '__main__':
    unittest.main()
