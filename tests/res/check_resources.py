#!/usr/bin/env python3
"""Read Tamberlin's resources back out of a built executable and check them.

Usage: check_resources.py EXE

Uses icoutils (wrestool, icotool) so the check looks at what actually ended
up in the PE, not at what the .rc file meant to put there. Prints one line
per check and exits non-zero if any failed.
"""
import os
import re
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tools'))
import checklist  # noqa: E402
from checklist import CheckFailed  # noqa: E402
import xml.etree.ElementTree as ET

ASM_NS = '{urn:schemas-microsoft-com:asm.v1}'
EN_US = '1033'

# (type, name, language): every resource the executable may carry. Anything
# more (a version block, a second icon size, a stray dialog) is a fault: it
# costs bytes and means the build picked up something it should not have.
EXPECTED_RESOURCES = {
    ('14', '1', EN_US),  # group icon
    ('3', '1', EN_US),   # the one icon image
    ('24', '1', EN_US),  # manifest
}

OWN_IDENTITY = {
    'version': '1.0.0.0',
    'processorArchitecture': 'X86',
    'name': 'Tamberlin',
    'type': 'win32',
}
COMCTL6_IDENTITY = {
    'type': 'win32',
    'name': 'Microsoft.Windows.Common-Controls',
    'version': '6.0.0.0',
    'processorArchitecture': 'X86',
    'publicKeyToken': '6595b64144ccf1df',
    'language': '*',
}
ASM_V3 = '{urn:schemas-microsoft-com:asm.v3}'
# Windows reads these settings only in their own namespaces: an element in
# any other is silently ignored, as if it were not there.
DPI_2005 = '{http://schemas.microsoft.com/SMI/2005/WindowsSettings}'
DPI_2016 = '{http://schemas.microsoft.com/SMI/2016/WindowsSettings}'


def run(args, binary=False):
    proc = subprocess.run(args, capture_output=True)
    err = proc.stderr.decode(errors='replace').strip()
    if proc.returncode != 0:
        raise CheckFailed(f'{" ".join(args)} failed: {err or proc.returncode}')
    return proc.stdout if binary else proc.stdout.decode(errors='replace'), err


def list_resources(exe):
    out, err = run(['wrestool', '-l', exe])
    # wrestool exits 0 even when it cannot read the file; only "no resources"
    # is a legitimate empty answer.
    if err and 'contains no resources' not in err:
        raise CheckFailed(f'wrestool could not read {exe}: {err}')
    found = []
    for line in out.splitlines():
        m = re.match(r"--type=(\S+)(?: --name=(\S+))?(?: --language=(\S+))?", line)
        if not m:
            raise CheckFailed(f'unexpected wrestool output: {line!r}')
        found.append(tuple(v.strip("'") if v else '' for v in m.groups()))
    return found


def extract(exe, rtype, name, raw=True):
    args = ['wrestool', '-x', f'--type={rtype}', f'--name={name}', exe]
    if raw:
        args.insert(2, '--raw')
    data, err = run(args, binary=True)
    if not data:
        raise CheckFailed(f'resource type {rtype} name {name} could not be extracted: {err}')
    return data


def local(tag):
    return tag.split('}', 1)[-1]


def check_resource_set(exe):
    found = list_resources(exe)
    if len(found) != len(set(found)):
        raise CheckFailed(f'duplicate resources: {found}')
    missing = EXPECTED_RESOURCES - set(found)
    extra = set(found) - EXPECTED_RESOURCES
    if missing or extra:
        raise CheckFailed(f'missing {sorted(missing)}, unexpected {sorted(extra)}')
    return 'resources are exactly group icon 1, icon 1, manifest 1, all language 1033'


def check_no_version(exe):
    versions = [r for r in list_resources(exe) if r[0] == '16']
    if versions:
        raise CheckFailed(f'version resource present: {versions}')
    return 'no version resource'


def check_icon_group(exe):
    # Windows picks an image by what the group entry claims, so the entry has
    # to agree with the image it points at.
    grp = extract(exe, '14', '1')
    if len(grp) < 6:
        raise CheckFailed(f'group icon is only {len(grp)} bytes')
    reserved, kind, count = struct.unpack_from('<HHH', grp)
    if (reserved, kind, count) != (0, 1, 1) or len(grp) != 6 + 14:
        raise CheckFailed(f'group icon header (reserved, type, count) = {(reserved, kind, count)}, '
                          f'{len(grp)} bytes; want (0, 1, 1), 20 bytes')
    entry = struct.unpack_from('<BBBBHHIH', grp, 6)
    image_len = len(extract(exe, '3', '1'))
    want = (32, 32, 16, 0, 1, 4, image_len, 1)
    if entry != want:
        raise CheckFailed('group entry (w, h, colours, reserved, planes, bpp, bytes, id) = '
                          f'{entry}, want {want}')
    return 'group icon entry points at icon 1 as 32x32, 16 colours, 4 bpp'


def check_icon_directory(exe):
    ico = extract(exe, '14', '1', raw=False)
    proc = subprocess.run(['icotool', '-l', '-'], input=ico, capture_output=True)
    err = proc.stderr.decode(errors='replace').strip()
    if proc.returncode != 0 or err:
        raise CheckFailed(f'icotool -l could not read the icon: {err or proc.returncode}')
    lines = proc.stdout.decode().split('\n')
    images = [dict(re.findall(r'--([\w-]+)=(\S+)', l)) for l in lines if l.strip()]
    if len(images) != 1:
        raise CheckFailed(f'icon has {len(images)} images, want 1: {lines}')
    img = images[0]
    want = {'width': '32', 'height': '32', 'bit-depth': '4', 'palette-size': '16'}
    wrong = {k: img.get(k) for k, v in want.items() if img.get(k) != v}
    if wrong:
        raise CheckFailed(f'icon is {img}, want {want}')
    return 'icon group holds one 32x32 image, 16 colours, 4 bits per pixel'


def check_icon_bitmap(exe):
    # The group directory can claim 4 bpp while the image data says otherwise;
    # Windows trusts the DIB header, so read that too.
    dib = extract(exe, '3', '1')
    if len(dib) < 40:
        raise CheckFailed(f'icon image is only {len(dib)} bytes')
    size, width, height, planes, bpp = struct.unpack_from('<IiiHH', dib)
    got = (size, width, height, planes, bpp)
    if got != (40, 32, 64, 1, 4):
        raise CheckFailed(f'icon DIB header (size, w, h, planes, bpp) = {got}, want (40, 32, 64, 1, 4)')
    # header + 16-colour palette + 4bpp colour rows + 1bpp mask rows
    want_len = 40 + 16 * 4 + 32 * 16 + 32 * 4
    if len(dib) != want_len:
        raise CheckFailed(f'icon image is {len(dib)} bytes, want {want_len}')
    return 'icon bitmap is a 32x32 4bpp DIB with a 1bpp mask'


def manifest_root(exe):
    data = extract(exe, '24', '1')
    try:
        return data, ET.fromstring(data)
    except ET.ParseError as e:
        raise CheckFailed(f'manifest is not well-formed XML: {e}')


def check_manifest_declaration(exe):
    data, _ = manifest_root(exe)
    m = re.match(rb'<\?xml ([^?]*)\?>', data)
    if not m:
        raise CheckFailed('manifest does not start with an XML declaration')
    decl = dict(re.findall(rb'(\w+)="([^"]*)"', m.group(1)))
    if decl.get(b'encoding', b'').upper() != b'UTF-8' or decl.get(b'standalone') != b'yes':
        raise CheckFailed(f'manifest declaration is {m.group(0)!r}')
    return 'manifest declares UTF-8, standalone'


def only_child(parent, tag, where):
    kids = [c for c in parent if local(c.tag) == tag]
    if len(kids) != 1:
        raise CheckFailed(f'{where} has {len(kids)} <{tag}> elements, want 1')
    return kids[0]


def same_attrs(elem, want, what):
    if elem.attrib != want:
        raise CheckFailed(f'{what} is {elem.attrib}, want {want}')


def check_manifest_root(exe):
    _, root = manifest_root(exe)
    if root.tag != ASM_NS + 'assembly':
        raise CheckFailed(f'root element is {root.tag}, want {ASM_NS}assembly')
    same_attrs(root, {'manifestVersion': '1.0'}, '<assembly> attributes')
    kids = sorted(c.tag for c in root)
    want = sorted([ASM_NS + 'assemblyIdentity', ASM_NS + 'description', ASM_NS + 'dependency',
                   ASM_V3 + 'trustInfo', ASM_V3 + 'application'])
    if kids != want:
        raise CheckFailed(f'<assembly> children are {kids}, want {want}')
    return 'manifest root is <assembly manifestVersion="1.0"> with exactly identity, description, ' \
           'dependency, trustInfo, application'


def check_manifest_identity(exe):
    _, root = manifest_root(exe)
    same_attrs(only_child(root, 'assemblyIdentity', '<assembly>'), OWN_IDENTITY, 'own assemblyIdentity')
    return 'manifest identity is Tamberlin 1.0.0.0 X86 win32'


def check_manifest_description(exe):
    _, root = manifest_root(exe)
    desc = only_child(root, 'description', '<assembly>')
    if (desc.text or '') != '' or len(desc) or desc.attrib:
        raise CheckFailed(f'<description> is not empty: {ET.tostring(desc)!r}')
    return 'manifest description is empty'


def check_manifest_dependency(exe):
    _, root = manifest_root(exe)
    dep = only_child(root, 'dependency', '<assembly>')
    if len(dep) != 1:
        raise CheckFailed(f'<dependency> has {len(dep)} children, want 1')
    dep_asm = only_child(dep, 'dependentAssembly', '<dependency>')
    if len(dep_asm) != 1:
        raise CheckFailed(f'<dependentAssembly> has {len(dep_asm)} children, want 1')
    same_attrs(only_child(dep_asm, 'assemblyIdentity', '<dependentAssembly>'),
               COMCTL6_IDENTITY, 'dependent assemblyIdentity')
    return 'manifest depends on Common-Controls 6.0.0.0 X86 only'


def only_path(root, tags):
    """The one element down a chain of tags (namespace included): the first
    is the root's only child with its tag, each later one the only child of
    the one before."""
    first = [c for c in root if c.tag == tags[0]]
    if len(first) != 1:
        raise CheckFailed(f'<assembly> has {len(first)} {tags[0]} elements, want 1')
    parent = first[0]
    for tag in tags[1:]:
        kids = list(parent)
        if [k.tag for k in kids] != [tag]:
            raise CheckFailed(f'<{local(parent.tag)}> holds {[k.tag for k in kids]}, want only {tag}')
        parent = kids[0]
    return parent


def check_manifest_execution_level(exe):
    # Without a requested level, Windows virtualizes the file system for this
    # 32-bit program, and the dialog may list files the script cannot see.
    _, root = manifest_root(exe)
    level = only_path(root, [ASM_V3 + 'trustInfo', ASM_V3 + 'security', ASM_V3 + 'requestedPrivileges',
                              ASM_V3 + 'requestedExecutionLevel'])
    same_attrs(level, {'level': 'asInvoker', 'uiAccess': 'false'}, 'requestedExecutionLevel')
    if len(level):
        raise CheckFailed('requestedExecutionLevel has children')
    return 'manifest requests asInvoker without uiAccess'


def check_manifest_dpi(exe):
    _, root = manifest_root(exe)
    settings = only_path(root, [ASM_V3 + 'application', ASM_V3 + 'windowsSettings'])
    got = [(c.tag, (c.text or '').strip(), len(c), c.attrib) for c in settings]
    want = [(DPI_2005 + 'dpiAware', 'true/pm', 0, {}), (DPI_2016 + 'dpiAwareness', 'PerMonitorV2', 0, {})]
    if got != want:
        raise CheckFailed(f'<windowsSettings> holds {got}, want {want}')
    return 'manifest declares dpiAware true/pm and dpiAwareness PerMonitorV2'


CHECKS = [
    ('resource set', check_resource_set),
    ('version resource', check_no_version),
    ('icon group', check_icon_group),
    ('icon directory', check_icon_directory),
    ('icon bitmap', check_icon_bitmap),
    ('manifest declaration', check_manifest_declaration),
    ('manifest root', check_manifest_root),
    ('manifest identity', check_manifest_identity),
    ('manifest description', check_manifest_description),
    ('manifest dependency', check_manifest_dependency),
    ('manifest execution level', check_manifest_execution_level),
    ('manifest DPI awareness', check_manifest_dpi),
]


if __name__ == '__main__':
    sys.exit(checklist.main('resource', CHECKS, [('wrestool', 'icoutils'), ('icotool', 'icoutils')]))
