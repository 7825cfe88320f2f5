#!/usr/bin/env python3
"""Packs a built tamberlin.exe into the release files (scripts/release.sh
builds the executable and calls this).

Usage:
  package.py --version V --epoch SECONDS --exe EXE --readme README.md
             --license LICENSE --out DIR [--url-prefix URL --homepage URL]
  package.py --check-url URL

Writes into DIR:
  tamberlin-V-win32.zip   tamberlin.exe, README.txt (the product, version
                          and homepage, then README.md's part for users),
                          LICENSE.txt
  tamberlin.exe           the bare executable, as winget installs it
  SHA256SUMS              both, in sha256sum's format
and, with --url-prefix (the address of the folder DIR's files are uploaded
to) and --homepage (the project's own page, which package reviewers
require to be more than a download folder), the package managers'
manifests for those addresses:
  tamberlin.json          Scoop, installing the zip
  winget/*.yaml           winget, installing the bare executable as a
                          portable package

Every byte follows from the inputs: the zip's times are SECONDS (the last
commit's time), its order and file modes are fixed, and nothing is read from
the clock, the time zone, the umask or the files' own times.
"""
import argparse
import hashlib
import json
import os
import re
import sys
import time
import zipfile

EXE_NAME = 'tamberlin.exe'
COMMAND = 'tamberlin'
PACKAGE_ID = 'Tamberlin.Tamberlin'
PACKAGE_NAME = 'Tamberlin'
PUBLISHER = 'The Tamberlin developers'
LICENSE = 'MIT'
DESCRIPTION = ("Shows Windows' file-open dialog and prints the chosen file name after "
               "a command of your choosing, for a batch file's for /f to run.")
MONIKER = 'tamberlin'
TAGS = ['batch', 'cmd', 'console', 'file-dialog', 'open-file', 'script']
WINGET_MANIFEST_VERSION = '1.10.0'
WINGET_LOCALE = 'en-US'
# The line that editors (and reviewers' tools) read to find the schema.
WINGET_SCHEMA = ('# yaml-language-server: $schema=https://aka.ms/winget-manifest.'
                 '{kind}.' + WINGET_MANIFEST_VERSION + '.schema.json')
# How Scoop's checkver finds the newest version on the homepage.
CHECKVER_REGEX = r'tamberlin-([\d.]+)-win32\.zip'
# Where README.md stops speaking to users.
DEVELOPER_HEADING = '## For developers'

URL_PATTERN = re.compile(r'https?://[^\s/"\'<>\\]+(/[^\s"\'<>\\]*)?')


class PackError(Exception):
    pass


def check_url(url):
    """The address as the manifests will carry it, without a final slash."""
    if not URL_PATTERN.fullmatch(url):
        raise PackError(f'not an http(s) address: {url!r}')
    return url.rstrip('/')


def zip_name(version):
    return f'tamberlin-{version}-win32.zip'


def user_readme(markdown, version, homepage):
    """The product, its version and (when there is one) the homepage, then
    the part of README.md before the developers' part, with CR LF ends, as
    Notepad on older Windows needs."""
    at = re.search(r'^' + re.escape(DEVELOPER_HEADING) + r'\s*$', markdown, re.M)
    if not at:
        raise PackError(f'README.md has no "{DEVELOPER_HEADING}" heading to end the users\' part at')
    head = f'{PACKAGE_NAME} {version}\n' + (f'Homepage: {homepage}\n' if homepage else '')
    return crlf(head + '\n' + markdown[:at.start()].rstrip() + '\n')


def crlf(text):
    # Read in text mode, every line already ends in a bare \n.
    return text.replace('\n', '\r\n')


def zip_time(epoch):
    # A zip stores local date and time fields with no zone; write the UTC
    # ones so that the build machine's zone cannot show. 1980 is the
    # format's first year.
    return max(time.gmtime(epoch)[:6], (1980, 1, 1, 0, 0, 0))


def write_zip(path, members, epoch):
    """members: (name, bytes, mode), written in the given order."""
    with zipfile.ZipFile(path, 'w') as z:
        for name, data, mode in members:
            info = zipfile.ZipInfo(name, date_time=zip_time(epoch))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3  # Unix, so that the modes below mean what they say
            info.external_attr = (0o100000 | mode) << 16
            z.writestr(info, data, compresslevel=9)


def sha256(path):
    with open(path, 'rb') as f:
        return hashlib.sha256(f.read()).hexdigest()


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


def scoop_manifest(version, homepage, prefix, zip_hash):
    """Scoop's manifest, with what a bucket needs to update it: checkver
    reads the newest zip's name off the homepage, and autoupdate takes the
    new zip's hash from the SHA256SUMS published beside it."""
    return json.dumps({
        'version': version,
        'description': DESCRIPTION,
        'homepage': homepage,
        'license': LICENSE,
        'url': f'{prefix}/{zip_name(version)}',
        'hash': zip_hash,
        'bin': EXE_NAME,
        'checkver': {'url': homepage, 'regex': CHECKVER_REGEX},
        'autoupdate': {
            # A prefix that names the version (.../v1.0.0) names the new one.
            'url': f'{prefix.replace(version, "$version")}/{zip_name("$version")}',
            'hash': {'url': '$baseurl/SHA256SUMS', 'regex': r'$sha256\s+\*?$basename'},
        },
    }, indent=4) + '\n'


def winget_manifests(version, homepage, exe_url, exe_hash, epoch):
    """{file name: text} for the installer, default locale and version."""
    head = [('PackageIdentifier', PACKAGE_ID), ('PackageVersion', version)]
    tail = [('ManifestVersion', WINGET_MANIFEST_VERSION)]
    installer = head + [
        ('InstallerType', 'portable'),
        ('Commands', [COMMAND]),
        ('ReleaseDate', release_date(epoch)),
        ('Installers', [[
            ('Architecture', 'x86'),
            ('InstallerUrl', exe_url),
            ('InstallerSha256', exe_hash.upper()),
        ]]),
        ('ManifestType', 'installer'),
    ] + tail
    locale = head + [
        ('PackageLocale', WINGET_LOCALE),
        ('Publisher', PUBLISHER),
        ('PackageName', PACKAGE_NAME),
        ('PackageUrl', homepage),
        ('License', LICENSE),
        ('ShortDescription', DESCRIPTION),
        ('Moniker', MONIKER),
        ('Tags', TAGS),
        ('ManifestType', 'defaultLocale'),
    ] + tail
    version_manifest = head + [
        ('DefaultLocale', WINGET_LOCALE),
        ('ManifestType', 'version'),
    ] + tail
    return {
        f'{PACKAGE_ID}.installer.yaml': WINGET_SCHEMA.format(kind='installer') + '\n' + yaml_text(installer),
        f'{PACKAGE_ID}.locale.{WINGET_LOCALE}.yaml':
            WINGET_SCHEMA.format(kind='defaultLocale') + '\n' + yaml_text(locale),
        f'{PACKAGE_ID}.yaml': WINGET_SCHEMA.format(kind='version') + '\n' + yaml_text(version_manifest),
    }


def write(path, data):
    with open(path, 'wb') as f:
        f.write(data.encode() if isinstance(data, str) else data)


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
        licence = crlf(f.read())

    os.makedirs(args.out, exist_ok=True)
    archive = os.path.join(args.out, zip_name(args.version))
    write_zip(archive, [
        (EXE_NAME, exe, 0o755),
        # The byte order mark tells Notepad the text is UTF-8 (the README
        # has a few characters beyond ASCII).
        ('README.txt', readme.encode('utf-8-sig'), 0o644),
        ('LICENSE.txt', licence.encode('utf-8'), 0o644),
    ], args.epoch)
    bare = os.path.join(args.out, EXE_NAME)
    write(bare, exe)
    sums = ''.join(f'{sha256(p)}  {os.path.basename(p)}\n' for p in (archive, bare))
    write(os.path.join(args.out, 'SHA256SUMS'), sums)
    written = [archive, bare, os.path.join(args.out, 'SHA256SUMS')]

    if prefix:
        scoop = os.path.join(args.out, 'tamberlin.json')
        write(scoop, scoop_manifest(args.version, homepage, prefix, sha256(archive)))
        written.append(scoop)
        winget = os.path.join(args.out, 'winget')
        os.makedirs(winget, exist_ok=True)
        for name, text in winget_manifests(args.version, homepage, f'{prefix}/{EXE_NAME}', sha256(bare),
                                           args.epoch).items():
            write(os.path.join(winget, name), text)
            written.append(os.path.join(winget, name))
    return written


def main(argv):
    parser = argparse.ArgumentParser(description='Packs a built tamberlin.exe into the release files.')
    parser.add_argument('--check-url', metavar='URL', help='only check an address, and exit')
    parser.add_argument('--version')
    parser.add_argument('--epoch', type=int)
    parser.add_argument('--exe')
    parser.add_argument('--readme')
    parser.add_argument('--license')
    parser.add_argument('--out')
    parser.add_argument('--url-prefix')
    parser.add_argument('--homepage')
    args = parser.parse_args(argv)
    try:
        if args.check_url is not None:
            check_url(args.check_url)
            return 0
        needed = ('version', 'epoch', 'exe', 'readme', 'license', 'out')
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
