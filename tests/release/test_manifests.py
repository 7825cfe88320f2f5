#!/usr/bin/env python3
"""The release files that scripts/package.py writes around an executable:
the zip's contents and stability, the checksums, and the Scoop and winget
manifests, validated against the package managers' own published schemas
(schemas/) and then read back as the package managers would read them,
with every address resolved to the file it names and hashed afresh.

The executable here is a stand-in; test_reproducible builds the real one.
"""
import functools
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
import zlib

import jsonschema
import yaml

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, '..', '..'))
PACKAGE = os.path.join(ROOT, 'scripts', 'package.py')
sys.path.insert(0, os.path.dirname(PACKAGE))
import package  # noqa: E402

EPOCH = 1796755477  # 2026-12-08 18:44:37 UTC; 2026-12-09 east of +05:16
FAKE_EXE = b'MZ' + bytes(range(256)) * 8
README = ('# Tool\r\n\r\nFor users: \u2026 works.\n\n## Usage\n\nrun it\n\n'
          '## For developers\n\nbuild it\n')
LICENSE = 'MIT License\n\nCopyright (c) 2026 Someone\n'
BUILDINFO = 'Tamberlin 1.0.0\nCommit: 0123abc\nCompiler: some g++ 12\n'
GITHUB = 'https://github.com/someone/tamberlin'


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def no_bare_lf(data):
    return re.search(rb'(?<!\r)\n', data) is None and b'\r\r' not in data


class Packed:
    """One run of package.py on the stand-in inputs, in a fresh folder (or
    into the dist folder of an earlier run, as a later release would be)."""

    def __init__(self, version='1.0.0', prefix=None, homepage=None, readme=README, licence=LICENSE, env=None,
                 umask=None, mtime=None, out=None):
        # The umask is in force for the inputs too, as it would be in a
        # checkout made under it.
        old = os.umask(umask) if umask is not None else None
        try:
            self.run(version, prefix, homepage, readme, licence, env, mtime, out)
        finally:
            if old is not None:
                os.umask(old)

    def run(self, version, prefix, homepage, readme, licence, env, mtime, out):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = self.tmp.name
        self.out = out or os.path.join(self.dir, 'dist')
        inputs = {'tamberlin.exe': FAKE_EXE, 'README.md': readme.encode(), 'LICENSE': licence.encode(),
                  'BUILDINFO': BUILDINFO.encode()}
        for name, data in inputs.items():
            with open(os.path.join(self.dir, name), 'wb') as f:
                f.write(data)
            if mtime is not None:
                os.utime(os.path.join(self.dir, name), (mtime, mtime))
        args = [sys.executable, PACKAGE, '--version', version, '--epoch', str(EPOCH), '--out', self.out]
        for option, name in [('--exe', 'tamberlin.exe'), ('--readme', 'README.md'), ('--license', 'LICENSE'),
                             ('--buildinfo', 'BUILDINFO')]:
            args += [option, os.path.join(self.dir, name)]
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
        self.assertEqual(sorted(self.files), ['tamberlin-1.0.0-SHA256SUMS.txt', 'tamberlin-1.0.0-win32.zip'])

    def test_zip_order_times_and_modes(self):
        members = zip_members(self.files['tamberlin-1.0.0-win32.zip'])
        # The commit's time in UTC, to the two seconds a zip can hold.
        t = time.gmtime(EPOCH)
        stamp = tuple(t[:5]) + (t.tm_sec - t.tm_sec % 2,)
        self.assertEqual([(n, t, m) for n, t, m, _ in members], [
            ('tamberlin.exe', stamp, 0o100755),
            ('README.txt', stamp, 0o100644),
            ('LICENSE.txt', stamp, 0o100644),
            ('BUILDINFO.txt', stamp, 0o100644),
        ])

    def test_zip_contents(self):
        got = {n: data for n, _, _, data in zip_members(self.files['tamberlin-1.0.0-win32.zip'])}
        self.assertEqual(got['tamberlin.exe'], FAKE_EXE)
        texts = {
            'README.txt': 'Tamberlin 1.0.0\n\n# Tool\n\nFor users: \u2026 works.\n\n## Usage\n\nrun it\n',
            'LICENSE.txt': LICENSE,
            # What wrote the deflate stream, after what built the program.
            'BUILDINFO.txt': BUILDINFO + f'Zip: Python {sys.version.split()[0]}, zlib {zlib.ZLIB_RUNTIME_VERSION}\n',
        }
        for name, want in texts.items():
            with self.subTest(name):
                self.assertTrue(no_bare_lf(got[name]), got[name])
                self.assertEqual(got[name].decode('utf-8-sig').replace('\r\n', '\n'), want)

    def test_checksums(self):
        zip_name = 'tamberlin-1.0.0-win32.zip'
        self.assertEqual(self.files['tamberlin-1.0.0-SHA256SUMS.txt'].decode(),
                         f'{sha256(self.files[zip_name])}  {zip_name}\n')
        proc = subprocess.run(['sha256sum', '--check', '--strict', 'tamberlin-1.0.0-SHA256SUMS.txt'],
                              cwd=self.packed.out, capture_output=True, text=True)
        self.assertEqual(proc.returncode, 0, proc.stdout + proc.stderr)

    def test_same_bytes_whatever_the_zone_umask_and_input_times(self):
        # With addresses, so that the manifests (and their dates) are compared too.
        addresses = dict(prefix='https://example.invalid/d', homepage='https://example.invalid/t')
        runs = [Packed(**addresses, env={'TZ': 'UTC'}),
                Packed(**addresses, env={'TZ': 'Pacific/Kiritimati'}, umask=0o077, mtime=400000000)]
        for run in runs:
            self.addCleanup(run.close)
            self.assertEqual(run.proc.returncode, 0, run.proc.stderr)
        self.assertIn('scoop/tamberlin.json', runs[0].files())
        self.assertEqual(runs[1].files(), runs[0].files())


@functools.lru_cache(maxsize=None)
def schema(name):
    with open(os.path.join(HERE, 'schemas', name), encoding='utf-8') as f:
        return json.load(f)


# What each manifest is validated against, by its name in dist/ (winget's
# ManifestType names its schema too).
SCHEMA_OF = {
    'scoop/tamberlin.json': 'scoop/schema.json',
    f'winget/{package.PACKAGE_ID}.installer.yaml': 'winget/manifest.installer.1.12.0.json',
    f'winget/{package.PACKAGE_ID}.locale.en-US.yaml': 'winget/manifest.defaultLocale.1.12.0.json',
    f'winget/{package.PACKAGE_ID}.yaml': 'winget/manifest.version.1.12.0.json',
}


def schema_errors(name, doc):
    validator = jsonschema.Draft7Validator(schema(SCHEMA_OF[name]), format_checker=jsonschema.FormatChecker())
    return [f'{"/".join(map(str, e.path))}: {e.message}' for e in validator.iter_errors(doc)]


def load(files, name):
    text = files[name].decode('utf-8')
    return json.loads(text) if name.endswith('.json') else yaml.safe_load(text)


# version, prefix as given, homepage as given, prefix as it must appear,
# homepage as it must appear.
ADDRESSES = [
    ('1.0.0', f'{GITHUB}/releases/download/v1.0.0', GITHUB, f'{GITHUB}/releases/download/v1.0.0', GITHUB),
    ('2.13.0', f'{GITHUB}/releases/download/2.13.0/', f'{GITHUB}/', f'{GITHUB}/releases/download/2.13.0', GITHUB),
    ('1.0.0', 'https://example.invalid/downloads', GITHUB, 'https://example.invalid/downloads', GITHUB),
    ('1.0.0', 'https://example.invalid/downloads/', 'https://example.invalid/tamberlin/',
     'https://example.invalid/downloads', 'https://example.invalid/tamberlin'),
    ('2.13.0', 'http://files.example.invalid:8080/a/b', 'http://example.invalid',
     'http://files.example.invalid:8080/a/b', 'http://example.invalid'),
]
# Scoop's own names for a hash in a regex, and what its "github" checkver
# reads off the newest release's address.
SCOOP_SHA256 = '([a-fA-F0-9]{64})'
SCOOP_GITHUB_TAG = r'/releases/tag/(?:v|V)?([\d.]+)'


class YamlScalars(unittest.TestCase):
    """The winget manifests' writer, read back by a YAML parser: values
    that a careless writer would let turn into numbers, booleans, nulls,
    dates or comments must come back as the same text."""

    VALUES = ['1.10', '2.0.0', '0123', '1e3', '12E45', 'yes', 'off', 'null', '~', '', '2026-12-08',
              'a: b', '#not a comment', '- item', "it's", 'say "hi"', '[x]', '{y}',
              'back\\slash', 'caf\u00e9', '@at', '*star', '&amp', '!tag', '%percent', '> folded', 'two\nlines']

    def test_round_trip(self):
        for value in self.VALUES:
            with self.subTest(value=value):
                doc = yaml.safe_load(package.yaml_text([
                    ('Key', value), ('List', [value]), ('Maps', [[('A', value), ('B', value)]])]))
                self.assertEqual(doc, {'Key': value, 'List': [value], 'Maps': [{'A': value, 'B': value}]})


class Manifests(unittest.TestCase):
    def pack(self, version, prefix, homepage, out=None):
        packed = Packed(version=version, prefix=prefix, homepage=homepage, out=out)
        self.addCleanup(packed.close)
        self.assertEqual(packed.proc.returncode, 0, packed.proc.stderr)
        return packed

    def resolve(self, files, prefix, url):
        """The file in the release that an address names, as uploading the
        release folder's files to the prefix would serve it."""
        self.assertTrue(url.startswith(prefix + '/'), f'{url} is not under {prefix}/')
        name = url[len(prefix) + 1:]
        self.assertIn(name, files, f'{url} names no file of the release')
        self.assertNotIn('/', name)
        return files[name]

    def test_addresses(self):
        for version, prefix, homepage, want_prefix, want_home in ADDRESSES:
            with self.subTest(prefix=prefix, homepage=homepage):
                files = self.pack(version, prefix, homepage).files()
                self.assertEqual(sorted(files), sorted([f'tamberlin-{version}-win32.zip',
                                                        f'tamberlin-{version}-SHA256SUMS.txt', *SCHEMA_OF]))
                docs = {name: load(files, name) for name in SCHEMA_OF}
                for name, doc in docs.items():
                    self.assertEqual(schema_errors(name, doc), [], name)

                scoop = docs['scoop/tamberlin.json']
                self.assertEqual((scoop['version'], scoop['homepage']), (version, want_home))
                archive = self.resolve(files, want_prefix, scoop['url'])
                self.assertEqual(scoop['hash'].lower(), sha256(archive))
                members = {m[0]: m[3] for m in zip_members(archive)}
                self.assertIn(scoop['bin'], members)
                self.assertTrue(members['README.txt'].decode('utf-8-sig').startswith(
                    f'Tamberlin {version}\r\nHomepage: {want_home}\r\n\r\n'), members['README.txt'][:80])

                # What a bucket's update does: find the newest version, make
                # its zip's address, and take that zip's hash from the
                # checksums beside it.
                if want_home == GITHUB:
                    self.assertEqual(scoop['checkver'], 'github')
                else:
                    self.assertEqual(scoop['checkver']['url'], want_home)
                    for v in (version, '10.20.30'):
                        page = f'<a href="files/tamberlin-{v}-win32.zip">tamberlin-{v}-win32.zip</a>'
                        self.assertEqual(re.search(scoop['checkver']['regex'], page).group(1), v)
                auto = scoop['autoupdate']
                self.assertEqual(auto['url'].replace('$version', version), scoop['url'])
                self.assertEqual(auto['url'].replace('$version', '10.20.30'),
                                 scoop['url'].replace(version, '10.20.30'))
                sums = self.resolve(files, want_prefix, auto['hash']['url'].replace(
                    '$baseurl', scoop['url'].rsplit('/', 1)[0]).replace('$version', version)).decode()
                pattern = auto['hash']['regex'].replace('$sha256', SCOOP_SHA256).replace(
                    '$basename', re.escape(scoop['url'].rsplit('/', 1)[1]))
                self.assertEqual(re.search(pattern, sums).group(1), scoop['hash'])

                installer, locale, version_doc = (docs[n] for n in list(SCHEMA_OF)[1:])
                for name, doc in zip(list(SCHEMA_OF)[1:], (installer, locale, version_doc)):
                    self.assertEqual((doc['PackageIdentifier'], doc['PackageVersion'], doc['ManifestVersion']),
                                     (package.PACKAGE_ID, version, '1.12.0'), name)
                    # Editors and reviewers' tools find the schema by this line.
                    self.assertEqual(files[name].decode().split('\n')[0],
                                     f'# yaml-language-server: $schema={schema(SCHEMA_OF[name])["$id"]}')
                self.assertEqual(version_doc['DefaultLocale'], locale['PackageLocale'])
                self.assertEqual(locale['PackageUrl'], want_home)
                self.assertEqual(installer['ReleaseDate'], '2026-12-08')
                # The command is the program inside the zip, named tamberlin.
                self.assertEqual([(f['RelativeFilePath'] in members, f['PortableCommandAlias'])
                                  for f in installer['NestedInstallerFiles']], [(True, 'tamberlin')])
                for entry in installer['Installers']:
                    target = self.resolve(files, want_prefix, entry['InstallerUrl'])
                    self.assertEqual(entry['InstallerSha256'], sha256(target).upper())
                    self.assertEqual(target, archive)
                # A GitHub project's release gives its tag's page, which
                # must be the tag that Scoop's checkver reads the version
                # from, and the licence as tagged.
                tag_page = want_prefix.replace('/releases/download/', '/releases/tag/')
                if tag_page != want_prefix:
                    self.assertEqual(locale['ReleaseNotesUrl'], tag_page)
                    self.assertEqual(re.search(SCOOP_GITHUB_TAG, tag_page).group(1), version)
                    self.assertEqual(locale['LicenseUrl'], tag_page.replace('/releases/tag/', '/blob/') + '/LICENSE')
                else:
                    self.assertNotIn('ReleaseNotesUrl', locale)
                self.assertEqual(locale.get('PublisherUrl'), 'https://github.com/someone' if want_home == GITHUB
                                 else None)

    def test_the_next_release_replaces_nothing(self):
        # Both uploaded to one folder, the first release's addresses still
        # name the bytes its manifests were made for.
        prefix = 'https://example.invalid/downloads'
        first = self.pack('1.0.0', prefix, 'https://example.invalid/t')
        before = first.files()
        self.pack('1.0.1', prefix, 'https://example.invalid/t', out=first.out)
        after = {n: d for n, d in first.files().items() if '/' not in n}
        scoop = load(before, 'scoop/tamberlin.json')
        installer = load(before, f'winget/{package.PACKAGE_ID}.installer.yaml')
        self.assertEqual(sha256(self.resolve(after, prefix, scoop['url'])), scoop['hash'])
        self.assertEqual(sha256(self.resolve(after, prefix, installer['Installers'][0]['InstallerUrl'])).upper(),
                         installer['Installers'][0]['InstallerSha256'])
        self.assertEqual(len(after), 4, sorted(after))
        for name, data in before.items():
            if '/' not in name:
                self.assertEqual(after[name], data, name)

    def test_schemas_reject(self):
        # The schemas are live: a field that their package manager would
        # refuse fails validation.
        files = self.pack('1.0.0', 'https://example.invalid/d', 'https://example.invalid/t').files()
        installer, locale, version = list(SCHEMA_OF)[1:]
        cases = [
            ('scoop/tamberlin.json', 'a field Scoop does not know', lambda d: d.update(bin_dir='x')),
            (installer, 'a date that is no date', lambda d: d.update(ReleaseDate='2026-12-32')),
            (installer, 'an unknown nested installer type', lambda d: d.update(NestedInstallerType='tar')),
            (locale, 'no ShortDescription', lambda d: d.pop('ShortDescription')),
            (version, 'the wrong manifest type', lambda d: d.update(ManifestType='installer')),
        ]
        for name, what, change in cases:
            with self.subTest(what):
                doc = load(files, name)
                change(doc)
                self.assertNotEqual(schema_errors(name, doc), [])

    def test_overwritable(self):
        # What a later release could replace or break, for version 1.0.0.
        cases = [
            ('https://x.invalid/d/tamberlin-1.0.0-win32.zip', None),
            ('https://x.invalid/d/v1.0.0/tamberlin-1.0.0-win32.zip', None),
            ('https://x.invalid/d/tamberlin-win32.zip', 'does not carry the version'),
            ('https://x.invalid/d/tamberlin-11.0.0-win32.zip', 'does not carry the version'),
            ('https://x.invalid/d/tamberlin-1.0.0.1-win32.zip', 'does not carry the version'),
            ('https://x.invalid/1.0.0/tamberlin.zip', 'does not carry the version'),
            ('https://x.invalid/releases/latest/download/tamberlin-1.0.0-win32.zip', '"latest"'),
            ('https://x.invalid/d/v0.9.0/tamberlin-1.0.0-win32.zip', 'the version 0.9.0'),
            ('https://x.invalid/get?f=/tamberlin-1.0.0-win32.zip', 'query'),
        ]
        for url, want in cases:
            with self.subTest(url):
                why = package.overwritable(url, '1.0.0')
                if want is None:
                    self.assertIsNone(why)
                else:
                    self.assertIn(want, why or '')

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
            ('a download folder that moves', dict(prefix=f'{GITHUB}/releases/latest/download', homepage=GITHUB)),
            ('a tag Scoop reads no version from',
             dict(prefix=f'{GITHUB}/releases/download/release-1.0.0', homepage=GITHUB)),
            ('a licence without a Copyright line',
             dict(prefix='https://example.invalid/d', homepage=home, licence='MIT License\n\nPermission...\n')),
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
