#!/usr/bin/env python3
"""Check the shape of a built Tamberlin executable.

Usage: check_binary.py EXE

Tamberlin must stay a small 32-bit console program that needs nothing beyond
the three system DLLs every Windows install has: a stray C runtime or
libstdc++ import, a GUI subsystem flag, a lost hardening flag or size creep
all show up here before they reach a user. Prints one line per check and exits non-zero if any failed.
"""
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tools'))
import checklist  # noqa: E402
from checklist import CheckFailed  # noqa: E402

OBJDUMP = 'i686-w64-mingw32-objdump'
ALLOWED_DLLS = {'kernel32.dll', 'user32.dll', 'comdlg32.dll'}
# bytes: 16 KiB, and the one 512-byte step of file alignment past it that
# the common item dialog's binding took; a further step is creep.
MAX_SIZE = 16384 + 512
WINDOWS_CUI = 3
# DllCharacteristics bits the build asks the linker for by name.
HARDENING = {
    0x0040: 'DYNAMIC_BASE',
    0x0100: 'NX_COMPAT',
    0x0400: 'NO_SEH',
    0x8000: 'TERMINAL_SERVER_AWARE',
}


def objdump(flag, exe):
    proc = subprocess.run([OBJDUMP, flag, exe], capture_output=True, text=True)
    if proc.returncode != 0:
        raise CheckFailed(f'{OBJDUMP} {flag} failed: {proc.stderr.strip() or proc.returncode}')
    return proc.stdout


def check_format(exe):
    out = objdump('-f', exe)
    fmt = re.search(r'file format (\S+)', out)
    arch = re.search(r'^architecture: ([^,\s]+)', out, re.M)
    got = (fmt and fmt.group(1), arch and arch.group(1))
    if got != ('pei-i386', 'i386'):
        raise CheckFailed(f'file format / architecture is {got}, want (pei-i386, i386)')
    magic = re.search(r'^Magic\s+(\S+)', objdump('-p', exe), re.M)
    if not magic or magic.group(1) != '010b':
        raise CheckFailed(f'optional header magic is {magic and magic.group(1)}, want 010b (PE32)')
    return 'PE32 for i386'


def check_subsystem(exe):
    m = re.search(r'^Subsystem\s+([0-9a-fA-F]+)', objdump('-p', exe), re.M)
    if not m:
        raise CheckFailed('no Subsystem field in objdump -p output')
    value = int(m.group(1), 16)
    if value != WINDOWS_CUI:
        raise CheckFailed(f'subsystem is {value}, want {WINDOWS_CUI} (Windows CUI)')
    return 'subsystem is Windows CUI'


def check_hardening(exe):
    m = re.search(r'^DllCharacteristics\s+([0-9a-fA-F]+)', objdump('-p', exe), re.M)
    if not m:
        raise CheckFailed('no DllCharacteristics field in objdump -p output')
    value = int(m.group(1), 16)
    missing = [name for bit, name in HARDENING.items() if not value & bit]
    if missing:
        raise CheckFailed(f'DllCharacteristics 0x{value:04x} lacks {missing}')
    return f'DllCharacteristics 0x{value:04x} has {sorted(HARDENING.values())}'


def check_relocations(exe):
    # DYNAMIC_BASE without relocations leaves the loader nothing to move the
    # image with.
    m = re.search(r'^Entry 5 ([0-9a-fA-F]+) ([0-9a-fA-F]+) Base Relocation', objdump('-p', exe), re.M)
    if not m or int(m.group(2), 16) == 0:
        raise CheckFailed('no base relocations')
    return f'base relocations kept ({int(m.group(2), 16)} bytes)'


def check_imports(exe):
    dlls = re.findall(r'^\s*DLL Name:\s*(\S+)', objdump('-p', exe), re.M)
    extra = sorted({d for d in dlls if d.lower() not in ALLOWED_DLLS})
    if extra:
        raise CheckFailed(f'imports {extra}; only {sorted(ALLOWED_DLLS)} are allowed')
    return f'imports only {sorted(set(dlls), key=str.lower)}'


def check_size(exe):
    size = os.path.getsize(exe)
    if size > MAX_SIZE:
        raise CheckFailed(f'{size} bytes, limit {MAX_SIZE}')
    return f'size {size} bytes <= {MAX_SIZE}'


CHECKS = [
    ('format', check_format),
    ('subsystem', check_subsystem),
    ('hardening', check_hardening),
    ('relocations', check_relocations),
    ('imports', check_imports),
    ('size', check_size),
]


if __name__ == '__main__':
    sys.exit(checklist.main('binary', CHECKS, [(OBJDUMP, 'binutils-mingw-w64-i686')]))
