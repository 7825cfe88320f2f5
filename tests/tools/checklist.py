"""Runs a table of checks on one built file: a PASS or FAIL line for each,
and a non-zero exit status when any failed."""
import os
import shutil
import sys


class CheckFailed(Exception):
    pass


def main(what, checks, tools):
    """checks: (label, function taking the file's path and returning what it
    proved); tools: (program, Debian package) pairs that must be on PATH."""
    name = os.path.basename(sys.argv[0])
    if len(sys.argv) != 2:
        print(f'usage: {name} FILE', file=sys.stderr)
        return 2
    for tool, package in tools:
        if not shutil.which(tool):
            print(f'FAIL: {tool} not found (install {package})')
            return 2
    path = sys.argv[1]
    if not os.path.isfile(path):
        print(f'FAIL: {path} does not exist')
        return 1
    failed = 0
    for label, check in checks:
        try:
            print(f'PASS: {check(path)}')
        except CheckFailed as e:
            failed += 1
            print(f'FAIL: {label}: {e}')
    if failed:
        print(f'{failed} of {len(checks)} {what} checks failed')
        return 1
    return 0
