#!/usr/bin/env python3
"""The release files that scripts/package.py writes around an executable:
the zip's contents and stability, the checksums, and the Scoop and winget
manifests' required fields, read back as the package managers would read
them, with every address resolved to the file it names and hashed afresh.

The executable here is a stand-in; test_reproducible builds the real one.
"""
import hashlib
import io
import json
import os
import re
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

import yaml

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
PACKAGE = os.path.join(ROOT, 'scripts', 'package.py')

EPOCH = 1796755477  # 2026-12-08 18:44:37 UTC; 2026-12-09 east of +05:16
FAKE_EXE = b'MZ' + bytes(range(256)) * 8
README = ('# Tool\r\n\r\nFor users: \u2026 works.\n\n## Usage\n\nrun it\n\n'
          '## For developers\n\nbuild it\n')
LICENSE = 'MIT License\n\nCopyright (c) 2026 Someone\n'


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def no_bare_lf(data):
    return re.search(rb'(?<!\r)\n', data) is None and b'\r\r' not in data


class Packed:
    """One run of package.py on the stand-in inputs, in a fresh folder."""

    def __init__(self, version='1.0.0', prefix=None, homepage=None, readme=README, env=None, umask=None,
                 mtime=None):
        # The umask is in force for the inputs too, as it would be in a
        # checkout made under it.
        old = os.umask(umask) if umask is not None else None
        try:
            self.run(version, prefix, homepage, readme, env, mtime)
        finally:
            if old is not None:
                os.umask(old)

    def run(self, version, prefix, homepage, readme, env, mtime):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = self.tmp.name
        self.out = os.path.join(self.dir, 'dist')
        inputs = {'tamberlin.exe': FAKE_EXE, 'README.md': readme.encode(), 'LICENSE': LICENSE.encode()}
        for name, data in inputs.items():
            with open(os.path.join(self.dir, name), 'wb') as f:
                f.write(data)
            if mtime is not None:
                os.utime(os.path.join(self.dir, name), (mtime, mtime))
        args = [sys.executable, PACKAGE, '--version', version, '--epoch', str(EPOCH),
                '--exe', os.path.join(self.dir, 'tamberlin.exe'),
                '--readme', os.path.join(self.dir, 'README.md'),
                '--license', os.path.join(self.dir, 'LICENSE'), '--out', self.out]
        if prefix is not None:
            args += ['--url-prefix', prefix]
        if homepage is not None:
            args += ['--homepage', homepage]
        self.proc = subprocess.run(args, capture_output=True, text=True, timeout=60,
                                   env=dict(os.environ, **(env or {})))

    def files(self):
        found = {}
        for base, _, names in os.walk(self.out):
            for name in names:
                path = os.path.join(base, name)
                with open(path, 'rb') as f:
                    found[os.path.relpath(path, self.out)] = f.read()
        return found

    def close(self):
        self.tmp.cleanup()


def zip_members(data):
    with zipfile.ZipFile(io.BytesIO(data)) as z:
        return [(i.filename, i.date_time, i.external_attr >> 16, z.read(i)) for i in z.infolist()]


class Packing(unittest.TestCase):
    def setUp(self):
        self.packed = Packed()
        self.addCleanup(self.packed.close)
        self.assertEqual(self.packed.proc.returncode, 0, self.packed.proc.stderr)
        self.files = self.packed.files()

    def test_files_without_an_address(self):
        self.assertEqual(sorted(self.files), ['SHA256SUMS', 'tamberlin-1.0.0-win32.zip', 'tamberlin.exe'])

    def test_zip_order_times_and_modes(self):
        members = zip_members(self.files['tamberlin-1.0.0-win32.zip'])
        # The commit's time in UTC, to the two seconds a zip can hold.
        t = time.gmtime(EPOCH)
        stamp = tuple(t[:5]) + (t.tm_sec - t.tm_sec % 2,)
        self.assertEqual([(n, t, m) for n, t, m, _ in members], [
            ('tamberlin.exe', stamp, 0o100755),
            ('README.txt', stamp, 0o100644),
            ('LICENSE.txt', stamp, 0o100644),
        ])

    def test_zip_contents(self):
        got = {n: data for n, _, _, data in zip_members(self.files['tamberlin-1.0.0-win32.zip'])}
        self.assertEqual(got['tamberlin.exe'], FAKE_EXE)
        self.assertEqual(self.files['tamberlin.exe'], FAKE_EXE)
        readme = got['README.txt']
        self.assertTrue(no_bare_lf(readme), readme)
        text = readme.decode('utf-8-sig')
        self.assertEqual(text.replace('\r\n', '\n'),
                         'Tamberlin 1.0.0\n\n# Tool\n\nFor users: \u2026 works.\n\n## Usage\n\nrun it\n')
        licence = got['LICENSE.txt']
        self.assertTrue(no_bare_lf(licence), licence)
        self.assertEqual(licence.decode().replace('\r\n', '\n'), LICENSE)

    def test_checksums(self):
        lines = self.files['SHA256SUMS'].decode().splitlines()
        want = sorted(f'{sha256(self.files[n])}  {n}' for n in ('tamberlin-1.0.0-win32.zip', 'tamberlin.exe'))
        self.assertEqual(sorted(lines), want)
        proc = subprocess.run(['sha256sum', '--check', '--strict', 'SHA256SUMS'], cwd=self.packed.out,
                              capture_output=True, text=True)
        self.assertEqual(proc.returncode, 0, proc.stdout + proc.stderr)

    def test_same_bytes_whatever_the_zone_umask_and_input_times(self):
        # With addresses, so that the manifests (and their dates) are compared too.
        addresses = dict(prefix='https://example.invalid/d', homepage='https://example.invalid/t')
        runs = [Packed(**addresses, env={'TZ': 'UTC'}),
                Packed(**addresses, env={'TZ': 'Pacific/Kiritimati'}, umask=0o077, mtime=400000000)]
        for run in runs:
            self.addCleanup(run.close)
            self.assertEqual(run.proc.returncode, 0, run.proc.stderr)
        self.assertIn('tamberlin.json', runs[0].files())
        self.assertEqual(runs[1].files(), runs[0].files())


def load(files, name):
    text = files[name].decode('utf-8')
    return json.loads(text) if name.endswith('.json') else yaml.safe_load(text)


def text(v):
    return isinstance(v, str) and v.strip() != ''


def sha_hex(case):
    pattern = {'lower': r'[0-9a-f]{64}', 'upper': r'[0-9A-F]{64}', 'any': r'[0-9a-fA-F]{64}'}[case]
    return lambda v: isinstance(v, str) and re.fullmatch(pattern, v) is not None


# Required fields, each with what its value must satisfy (a plain value must
# be equal). Values that depend on the run are filled in by the test.
SCOOP = {
    'version': 'VERSION', 'description': text, 'homepage': 'HOMEPAGE', 'license': 'MIT',
    'url': text, 'hash': sha_hex('any'), 'bin': 'tamberlin.exe', 'checkver': dict, 'autoupdate': dict,
}
WINGET_COMMON = {
    'PackageIdentifier': lambda v: isinstance(v, str) and re.fullmatch(r'[^.\s\\/]+(\.[^.\s\\/]+)+', v),
    'PackageVersion': 'VERSION', 'ManifestVersion': '1.10.0',
}
WINGET = {
    'installer': dict(WINGET_COMMON, InstallerType='portable', ManifestType='installer',
                      Commands=lambda v: isinstance(v, list) and v and all(text(c) for c in v),
                      Installers=lambda v: isinstance(v, list) and len(v) >= 1,
                      ReleaseDate='2026-12-08'),
    'locale.en-US': dict(WINGET_COMMON, PackageLocale='en-US', ManifestType='defaultLocale',
                         Publisher=text, PackageName=text, License='MIT',
                         ShortDescription=lambda v: text(v) and len(v) <= 256, Moniker='tamberlin',
                         Tags=lambda v: isinstance(v, list) and 1 <= len(v) <= 16 and len(set(v)) == len(v)
                         and all(isinstance(t, str) and 1 <= len(t) <= 40 for t in v)),
    'version': dict(WINGET_COMMON, DefaultLocale='en-US', ManifestType='version'),
}
INSTALLER = {'Architecture': 'x86', 'InstallerUrl': text, 'InstallerSha256': sha_hex('upper')}

# version, prefix as given, homepage as given, prefix as it must appear,
# homepage as it must appear.
ADDRESSES = [
    ('1.0.0', 'https://example.invalid/tamberlin/v1.0.0', 'https://example.invalid/tamberlin',
     'https://example.invalid/tamberlin/v1.0.0', 'https://example.invalid/tamberlin'),
    ('1.0.0', 'https://example.invalid/downloads/', 'https://example.invalid/tamberlin/',
     'https://example.invalid/downloads', 'https://example.invalid/tamberlin'),
    ('2.13.0', 'http://files.example.invalid:8080/a/b', 'http://example.invalid',
     'http://files.example.invalid:8080/a/b', 'http://example.invalid'),
]
SCHEMA_LINE = '# yaml-language-server: $schema=https://aka.ms/winget-manifest.{}.1.10.0.schema.json'
# Scoop's own names for a hash in a regex.
SCOOP_SHA256 = '([a-fA-F0-9]{64})'



class YamlScalars(unittest.TestCase):
    """The winget manifests' writer, read back by a YAML parser: values
    that a careless writer would let turn into numbers, booleans, nulls or
    comments must come back as the same text."""

    VALUES = ['1.10', '2.0.0', '0123', '1e3', '12E45', 'yes', 'off', 'null', '~', '',
              'a: b', '#not a comment', '- item', "it's", 'say "hi"', '[x]', '{y}',
              'back\\slash', 'caf\u00e9', '@at', '*star', '&amp', '!tag', '%percent', '> folded']

    def test_round_trip(self):
        sys.path.insert(0, os.path.dirname(PACKAGE))
        import package
        for value in self.VALUES:
            with self.subTest(value=value):
                doc = yaml.safe_load(package.yaml_text([
                    ('Key', value), ('List', [value]), ('Maps', [[('A', value), ('B', value)]])]))
                self.assertEqual(doc, {'Key': value, 'List': [value], 'Maps': [{'A': value, 'B': value}]})


class Manifests(unittest.TestCase):
    def pack(self, version, prefix, homepage):
        packed = Packed(version=version, prefix=prefix, homepage=homepage)
        self.addCleanup(packed.close)
        self.assertEqual(packed.proc.returncode, 0, packed.proc.stderr)
        return packed.files()

    def check_fields(self, where, doc, required, fill):
        self.assertIsInstance(doc, dict, where)
        for key, want in required.items():
            self.assertIn(key, doc, f'{where}: no {key}')
            want = fill.get(want, want) if isinstance(want, str) else want
            if callable(want):
                self.assertTrue(want(doc[key]), f'{where}: {key} = {doc[key]!r}')
            else:
                self.assertEqual(doc[key], want, f'{where}: {key}')

    def resolve(self, files, prefix, url):
        """The file in the release that an address names, as uploading the
        release folder to the prefix would serve it."""
        self.assertTrue(url.startswith(prefix + '/'), f'{url} is not under {prefix}/')
        name = url[len(prefix) + 1:]
        self.assertIn(name, files, f'{url} names no file of the release')
        self.assertNotIn('/', name)
        return files[name]

    def test_addresses(self):
        for version, prefix, homepage, want_prefix, want_home in ADDRESSES:
            with self.subTest(prefix=prefix, homepage=homepage):
                files = self.pack(version, prefix, homepage)
                fill = {'VERSION': version, 'HOMEPAGE': want_home}

                scoop = load(files, 'tamberlin.json')
                self.check_fields('scoop', scoop, SCOOP, fill)
                archive = self.resolve(files, want_prefix, scoop['url'])
                self.assertEqual(scoop['hash'].lower(), sha256(archive))
                members = {m[0]: m[3] for m in zip_members(archive)}
                self.assertIn(scoop['bin'], members)
                self.assertTrue(members['README.txt'].decode('utf-8-sig').startswith(
                    f'Tamberlin {version}\r\nHomepage: {want_home}\r\n\r\n'), members['README.txt'][:80])

                # What a bucket's update does: read the newest version off
                # the homepage, make its zip's address, and take that zip's
                # hash from the SHA256SUMS beside it.
                self.assertEqual(scoop['checkver']['url'], want_home)
                for v in (version, '10.20.30'):
                    page = f'<a href="files/tamberlin-{v}-win32.zip">tamberlin-{v}-win32.zip</a>'
                    self.assertEqual(re.search(scoop['checkver']['regex'], page).group(1), v)
                auto = scoop['autoupdate']
                self.assertEqual(auto['url'].replace('$version', version), scoop['url'])
                self.assertEqual(auto['url'].replace('$version', '10.20.30'),
                                 scoop['url'].replace(version, '10.20.30'))
                sums = self.resolve(files, want_prefix, auto['hash']['url'].replace(
                    '$baseurl', scoop['url'].rsplit('/', 1)[0])).decode()
                pattern = auto['hash']['regex'].replace('$sha256', SCOOP_SHA256).replace(
                    '$basename', re.escape(scoop['url'].rsplit('/', 1)[1]))
                self.assertEqual(re.search(pattern, sums).group(1), scoop['hash'])

                winget = sorted(n for n in files if n.startswith('winget/'))
                self.assertEqual(len(winget), 3, winget)
                docs = {}
                for name in winget:
                    kind = next((k for k in ('installer', 'locale.en-US') if name.endswith(f'.{k}.yaml')), 'version')
                    self.assertNotIn(kind, docs, winget)
                    docs[kind] = load(files, name)
                    self.check_fields(name, docs[kind], WINGET[kind], fill)
                    self.assertEqual(files[name].decode().split('\n')[0],
                                     SCHEMA_LINE.format(docs[kind]['ManifestType']))
                ident = docs['version']['PackageIdentifier']
                self.assertEqual({d['PackageIdentifier'] for d in docs.values()}, {ident})
                # winget reads a package's manifests by these names.
                self.assertEqual(winget, sorted(f'winget/{ident}{k}.yaml'
                                                for k in ('.installer', '.locale.en-US', '')))
                self.assertEqual(docs['version']['DefaultLocale'], docs['locale.en-US']['PackageLocale'])
                self.assertEqual(docs['locale.en-US'].get('PackageUrl'), want_home)

                for i, installer in enumerate(docs['installer']['Installers']):
                    self.check_fields(f'installer {i}', installer, INSTALLER, fill)
                    target = self.resolve(files, want_prefix, installer['InstallerUrl'])
                    self.assertEqual(installer['InstallerSha256'], sha256(target).upper())
                    # A portable installer is the executable itself.
                    self.assertEqual(target, FAKE_EXE)

    def test_refused(self):
        home = 'https://example.invalid/t'
        cases = [
            ('a prefix that is no web address', dict(prefix='example.invalid/downloads', homepage=home)),
            ('another scheme', dict(prefix='ftp://example.invalid/downloads', homepage=home)),
            ('no host', dict(prefix='https://', homepage=home)),
            ('a blank in the address', dict(prefix='https://example.invalid/my files', homepage=home)),
            ('a quote in the address', dict(prefix='https://example.invalid/a"b', homepage=home)),
            ('a bad homepage', dict(prefix='https://example.invalid/d', homepage='homepage')),
            ('a homepage without a prefix', dict(homepage='https://example.invalid/')),
            ('a prefix without a homepage', dict(prefix='https://example.invalid/d')),
            ('a version of two parts', dict(version='1.0', prefix='https://example.invalid/d', homepage=home)),
            ('a README without the developers\' heading',
             dict(readme=README.replace('## For developers', '## Building'))),
            ('a README with only a deeper developers\' heading',
             dict(readme=README.replace('## For developers', '### For developers'))),
        ]
        for name, kwargs in cases:
            with self.subTest(name):
                packed = Packed(**kwargs)
                self.addCleanup(packed.close)
                self.assertNotEqual(packed.proc.returncode, 0, packed.proc.stdout)
                self.assertIn('package:', packed.proc.stderr)
                self.assertEqual(packed.files(), {}, 'nothing may be written when a call is refused')


if __name__ == '__main__':
    unittest.main()
