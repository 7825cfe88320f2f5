"""Fails when a source file includes from a folder above its own.

The folders of src/ in their order: each may include from itself and from
those before it, never from one after it, and only src/win32 may include
Windows' own headers."""
import pathlib
import re
import sys

LAYERS = ['base', 'os', 'console', 'paths', 'cmdline', 'dialog', 'app', 'win32']
WINDOWS_HEADERS = {'windows.h', 'commdlg.h', 'winbase.h', 'winuser.h', 'wincon.h'}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def problems(src: pathlib.Path):
    for path in sorted(src.rglob('*')):
        if path.suffix not in ('.h', '.cpp'):
            continue
        folder = path.relative_to(src).parts[0]
        if folder not in LAYERS:
            yield f'{path}: {folder}/ is not a known layer'
            continue
        rank = LAYERS.index(folder)
        for kind, name in INCLUDE.findall(path.read_text()):
            if kind == '<':
                if name.lower() in WINDOWS_HEADERS and folder != 'win32':
                    yield f'{path}: includes <{name}> outside src/win32'
                continue
            target = name.split('/')[0]
            if target not in LAYERS:
                yield f'{path}: includes "{name}" from outside src/'
            elif LAYERS.index(target) > rank:
                yield f'{path}: includes "{name}" from {target}/, above {folder}/'


def main():
    found = list(problems(pathlib.Path(sys.argv[1])))
    for line in found:
        print(f'FAIL: {line}')
    print(f'{len(found)} layering problems' if found else 'PASS: every include points down')
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main())
