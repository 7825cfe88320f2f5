#!/usr/bin/env python3
"""Packs a built tamberlin.exe into the release files (scripts/release.sh
builds the executable and calls this).

Usage:
  package.py --version V --epoch SECONDS --exe EXE --readme README.md
             --license LICENSE --buildinfo FILE --out DIR
             [--url-prefix URL --homepage URL]
  package.py --check-url URL

Writes into DIR the files to publish, each named with the version, so that
the next release's files sit beside them and replace none:
  tamberlin-V-win32.zip          tamberlin.exe, README.txt (the product,
                                 version and homepage, then README.md's part
                                 for users), LICENSE.txt, and BUILDINFO.txt
                                 (FILE's lines on the commit and the tools,
                                 and the zip writer's own)
  tamberlin-V-SHA256SUMS.txt     the zip's hash, in sha256sum's format
and, with --url-prefix (the address of the folder those files are uploaded
to) and --homepage (the project's own page, which package reviewers require
to be more than a download folder), the package managers' manifests for
those addresses, in folders of their own since they are not published there:
  scoop/tamberlin.json           Scoop, installing the zip
  winget/*.yaml                  winget, installing tamberlin.exe from the
                                 zip as a portable command named tamberlin
An address that a later release could replace or break (one that names no
version, another version, or a folder such as "latest") is refused, and no
manifest is written.

Every byte follows from the inputs: the zip's times are SECONDS (the last
commit's time), its order and file modes are fixed, and nothing is read from
the clock, the time zone, the umask or the files' own times.
"""
import argparse
import hashlib
import io
import json
import os
import re
import sys
import time
import urllib.parse
import zipfile
import zlib

EXE_NAME = 'tamberlin.exe'
COMMAND = 'tamberlin'
PACKAGE_ID = 'Tamberlin.Tamberlin'
PACKAGE_NAME = 'Tamberlin'
PUBLISHER = 'The Tamberlin developers'
LICENSE = 'MIT'
DESCRIPTION = ("Shows Windows' file-open dialog and prints the chosen file name after "
               "a command of your choosing, for a batch file's for /f to run.")
LONG_DESCRIPTION = ("Tamberlin lets a batch file ask the person at the screen for a file. It shows "
                    "Windows' standard Open dialog and prints one line: a command of the caller's "
                    "choosing followed by the chosen file's full, quoted name, for the script's "
                    "for /f to run. Its exit status tells a choice (0) from a cancel (1) and a bad "
                    "call (255).")
# Installed by a package manager, the program is on PATH under its command
# name, not beside the scripts that call it.
PATH_NOTES = [
    f'Tamberlin is on PATH as {COMMAND} (where {COMMAND} shows where): scripts call it by that name, '
    'not as "%~dp0tamberlin.exe". For example, in a batch file:',
    f'for /f "tokens=1* delims==" %%A in (\'{COMMAND} "f=" "%USERPROFILE%\\Documents\\*.txt" '
    '"Pick a file" /consolecp\') do echo You chose %%~B',
]
MONIKER = 'tamberlin'
TAGS = ['batch', 'cmd', 'console', 'file-dialog', 'open-file', 'script']
WINGET_MANIFEST_VERSION = '1.12.0'
WINGET_LOCALE = 'en-US'
# The line that editors (and reviewers' tools) read to find the schema: each
# schema's own $id.
WINGET_SCHEMA = ('# yaml-language-server: $schema=https://aka.ms/winget-manifest.'
                 '{kind}.' + WINGET_MANIFEST_VERSION + '.schema.json')
# How Scoop's checkver finds the newest version on a homepage that is not a
# GitHub project's (there, "github" reads the newest release's tag).
CHECKVER_REGEX = r'tamberlin-([\d.]+)-win32\.zip'
GITHUB_PROJECT = re.compile(r'https://github\.com/[^/]+/[^/]+')
# Where README.md stops speaking to users.
DEVELOPER_HEADING = '## For developers'

URL_PATTERN = re.compile(r'https?://[^\s/"\'<>\\]+(/[^\s"\'<>\\]*)?')
# A version in an address: three numbers, not part of a longer one.
VERSION_IN_TEXT = re.compile(r'(?<![\d.])\d+\.\d+\.\d+(?![\d]|\.\d)')


class PackError(Exception):
    pass


def check_url(url):
    """The address as the manifests will carry it, without a final slash."""
    if not URL_PATTERN.fullmatch(url):
        raise PackError(f'not an http(s) address: {url!r}')
    return url.rstrip('/')


def zip_name(version):
    return f'tamberlin-{version}-win32.zip'


def sums_name(version):
    return f'tamberlin-{version}-SHA256SUMS.txt'


def overwritable(url, version):
    """Why a later release could replace or break what url names, or None:
    its file name must carry the version, and its folder must not be one
    that moves to each new release or belongs to another version."""
    parts = urllib.parse.urlsplit(url)
    if parts.query or parts.fragment:
        return 'it has a query or a fragment, which a folder of files has not'
    folders, name = parts.path.rsplit('/', 1)
    if version not in VERSION_IN_TEXT.findall(name):
        return f'its file name {name!r} does not carry the version {version}'
    if 'latest' in folders.lower().split('/'):
        return 'its folder "latest" names whichever release is newest'
    others = sorted(set(VERSION_IN_TEXT.findall(parts.path)) - {version})
    if others:
        return f'it names the version {others[0]}, not {version}'
    return None


def release_address(prefix, name, version):
    url = f'{prefix}/{name}'
    why = overwritable(url, version)
    if why:
        raise PackError(f'{url} could be replaced by a later release: {why}')
    return url


def github_fields(homepage, prefix, version):
    """What a GitHub project's addresses give beyond the homepage: the
    owner's page and the issues, and, when the files are the assets of the
    release tagged for this version, the release's own page and the licence
    as tagged. Empty for any other homepage."""
    if not GITHUB_PROJECT.fullmatch(homepage):
        return {}
    fields = {'PublisherUrl': homepage.rsplit('/', 1)[0], 'PublisherSupportUrl': f'{homepage}/issues'}
    folder, _, tag = prefix.rpartition('/')
    if folder == f'{homepage}/releases/download':
        # Scoop's "github" checkver takes the version from the newest tag,
        # with or without a v.
        if tag not in (version, f'v{version}'):
            raise PackError(f'the release tag {tag!r} is not {version} or v{version}, '
                            'which Scoop\'s checkver reads as the version')
        fields['ReleaseNotesUrl'] = f'{homepage}/releases/tag/{tag}'
        fields['LicenseUrl'] = f'{homepage}/blob/{tag}/LICENSE'
    return fields


def user_readme(markdown, version, homepage):
    """The product, its version and (when there is one) the homepage, then
    the part of README.md before the developers' part, with CR LF ends, as
    Notepad on older Windows needs."""
    at = re.search(r'^' + re.escape(DEVELOPER_HEADING) + r'\s*$', markdown, re.M)
    if not at:
        raise PackError(f'README.md has no "{DEVELOPER_HEADING}" heading to end the users\' part at')
    head = f'{PACKAGE_NAME} {version}\n' + (f'Homepage: {homepage}\n' if homepage else '')
    return crlf(head + '\n' + markdown[:at.start()].rstrip() + '\n')


def copyright_line(licence):
    m = re.search(r'^\s*(Copyright .+?)\s*$', licence, re.M)
    if not m:
        raise PackError('the licence has no Copyright line')
    return m.group(1)


def crlf(text):
    # Read in text mode, every line already ends in a bare \n.
    return text.replace('\n', '\r\n')


def zip_time(epoch):
    # A zip stores local date and time fields with no zone; write the UTC
    # ones so that the build machine's zone cannot show. 1980 is the
    # format's first year.
    return max(time.gmtime(epoch)[:6], (1980, 1, 1, 0, 0, 0))


def zip_bytes(members, epoch):
    """members: (name, bytes, mode), stored in the given order."""
    out = io.BytesIO()
    with zipfile.ZipFile(out, 'w') as z:
        for name, data, mode in members:
            info = zipfile.ZipInfo(name, date_time=zip_time(epoch))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3  # Unix, so that the modes below mean what they say
            info.external_attr = (0o100000 | mode) << 16
            z.writestr(info, data, compresslevel=9)
    return out.getvalue()


def release_date(epoch):
    # The commit's day in UTC, so that the build machine's zone cannot show.
    return time.strftime('%Y-%m-%d', time.gmtime(epoch))


def yaml_text(fields):
    """Flat keys, lists of scalars and lists of flat mappings: all that the
    winget manifests use. Every scalar is double-quoted (JSON's quoting is
    YAML's), so that no version or hash can be read as a number."""
    lines = []
    for key, value in fields:
        if isinstance(value, list):
            lines.append(f'{key}:')
            for item in value:
                if isinstance(item, list):
                    for i, (k, v) in enumerate(item):
                        lines.append(f'{"  - " if i == 0 else "    "}{k}: {json.dumps(v)}')
                else:
                    lines.append(f'  - {json.dumps(item)}')
        else:
            lines.append(f'{key}: {json.dumps(value)}')
    return '\n'.join(lines) + '\n'


def scoop_manifest(version, homepage, prefix, zip_url, zip_hash):
    """Scoop's manifest, with what a bucket needs to update it: checkver
    finds the newest version (on GitHub, from its releases), and autoupdate
    takes the new zip's hash from the checksums published beside it."""
    github = GITHUB_PROJECT.fullmatch(homepage)
    return json.dumps({
        'version': version,
        'description': DESCRIPTION,
        'homepage': homepage,
        'license': LICENSE,
        'notes': PATH_NOTES,
        'url': zip_url,
        'hash': zip_hash,
        'bin': EXE_NAME,
        'checkver': 'github' if github else {'url': homepage, 'regex': CHECKVER_REGEX},
        'autoupdate': {
            # A prefix that names the version (.../v1.0.0) names the new one.
            'url': f'{prefix.replace(version, "$version")}/{zip_name("$version")}',
            'hash': {'url': f'$baseurl/{sums_name("$version")}', 'regex': r'$sha256\s+\*?$basename'},
        },
    }, indent=4) + '\n'


def winget_manifests(version, homepage, prefix, zip_url, zip_hash, epoch, copyright):
    """{file name: text} for the installer, default locale and version."""
    head = [('PackageIdentifier', PACKAGE_ID), ('PackageVersion', version)]
    tail = [('ManifestVersion', WINGET_MANIFEST_VERSION)]
    installer = head + [
        ('InstallerType', 'zip'),
        ('NestedInstallerType', 'portable'),
        ('NestedInstallerFiles', [[('RelativeFilePath', EXE_NAME), ('PortableCommandAlias', COMMAND)]]),
        ('Commands', [COMMAND]),
        ('ReleaseDate', release_date(epoch)),
        ('Installers', [[
            ('Architecture', 'x86'),
            ('InstallerUrl', zip_url),
            ('InstallerSha256', zip_hash.upper()),
        ]]),
        ('ManifestType', 'installer'),
    ] + tail
    github = github_fields(homepage, prefix, version)
    locale = head + [
        ('PackageLocale', WINGET_LOCALE),
        ('Publisher', PUBLISHER),
        *[(k, github[k]) for k in ('PublisherUrl', 'PublisherSupportUrl') if k in github],
        ('PackageName', PACKAGE_NAME),
        ('PackageUrl', homepage),
        ('License', LICENSE),
        *[(k, github[k]) for k in ('LicenseUrl',) if k in github],
        ('Copyright', copyright),
        ('ShortDescription', DESCRIPTION),
        ('Description', LONG_DESCRIPTION),
        ('Moniker', MONIKER),
        ('Tags', TAGS),
        *[(k, github[k]) for k in ('ReleaseNotesUrl',) if k in github],
        ('InstallationNotes', '\n'.join(PATH_NOTES)),
        ('ManifestType', 'defaultLocale'),
    ] + tail
    version_manifest = head + [
        ('DefaultLocale', WINGET_LOCALE),
        ('ManifestType', 'version'),
    ] + tail
    return {
        f'{PACKAGE_ID}.installer.yaml': WINGET_SCHEMA.format(kind='installer') + '\n' + yaml_text(installer),
        f'{PACKAGE_ID}.locale.{WINGET_LOCALE}.yaml':
            WINGET_SCHEMA.format(kind='defaultlocale') + '\n' + yaml_text(locale),
        f'{PACKAGE_ID}.yaml': WINGET_SCHEMA.format(kind='version') + '\n' + yaml_text(version_manifest),
    }


def write(path, data):
    with open(path, 'wb') as f:
        f.write(data.encode() if isinstance(data, str) else data)


def build_info(text):
    """The caller's lines on the commit and the tools, and the zip
    writer's own: the deflate stream is zlib's, and could change with it."""
    return crlf(text.rstrip('\n') + f'\nZip: Python {sys.version.split()[0]}, zlib {zlib.ZLIB_RUNTIME_VERSION}\n')


def pack(args):
    if not re.fullmatch(r'\d+\.\d+\.\d+', args.version):
        raise PackError(f'version {args.version!r} is not MAJOR.MINOR.PATCH')
    if args.epoch <= 0:
        raise PackError('the time stamp must be a time after 1970, not 0')
    prefix = check_url(args.url_prefix) if args.url_prefix else None
    homepage = check_url(args.homepage) if args.homepage else None
    if bool(prefix) != bool(homepage):
        # A download folder is no homepage: package reviewers refuse it.
        raise PackError('--url-prefix and --homepage go together')

    with open(args.exe, 'rb') as f:
        exe = f.read()
    with open(args.readme, encoding='utf-8') as f:
        readme = user_readme(f.read(), args.version, homepage)
    with open(args.license, encoding='utf-8') as f:
        licence = f.read()
    with open(args.buildinfo, encoding='utf-8') as f:
        info = build_info(f.read())
    archive = zip_name(args.version)
    members = [
        (EXE_NAME, exe, 0o755),
        # The byte order mark tells Notepad the text is UTF-8 (the README
        # has a few characters beyond ASCII).
        ('README.txt', readme.encode('utf-8-sig'), 0o644),
        ('LICENSE.txt', crlf(licence).encode('utf-8'), 0o644),
        ('BUILDINFO.txt', info.encode('utf-8'), 0o644),
    ]
    published = {archive: zip_bytes(members, args.epoch)}
    zip_hash = hashlib.sha256(published[archive]).hexdigest()
    published[sums_name(args.version)] = f'{zip_hash}  {archive}\n'
    manifests = {}
    if prefix:
        # Made before anything is written, so that a refused address
        # leaves no release behind.
        zip_url = release_address(prefix, archive, args.version)
        release_address(prefix, sums_name(args.version), args.version)
        manifests['scoop/tamberlin.json'] = scoop_manifest(args.version, homepage, prefix, zip_url, zip_hash)
        for name, text in winget_manifests(args.version, homepage, prefix, zip_url, zip_hash, args.epoch,
                                           copyright_line(licence)).items():
            manifests[f'winget/{name}'] = text

    written = []
    for name, data in {**published, **manifests}.items():
        path = os.path.join(args.out, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        write(path, data)
        written.append(path)
    return written


def main(argv):
    parser = argparse.ArgumentParser(description='Packs a built tamberlin.exe into the release files.')
    parser.add_argument('--check-url', metavar='URL', help='only check an address, and exit')
    parser.add_argument('--version')
    parser.add_argument('--epoch', type=int)
    parser.add_argument('--exe')
    parser.add_argument('--readme')
    parser.add_argument('--license')
    parser.add_argument('--buildinfo')
    parser.add_argument('--out')
    parser.add_argument('--url-prefix')
    parser.add_argument('--homepage')
    args = parser.parse_args(argv)
    try:
        if args.check_url is not None:
            check_url(args.check_url)
            return 0
        needed = ('version', 'epoch', 'exe', 'readme', 'license', 'buildinfo', 'out')
        absent = [f'--{n}' for n in needed if getattr(args, n) is None]
        if absent:
            parser.error(f'missing {" ".join(absent)}')
        for path in pack(args):
            print(os.path.relpath(path))
        return 0
    except (PackError, OSError) as e:
        print(f'package: {e}', file=sys.stderr)
        return 1


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
