"""Runs a Windows program under Wine with an exact command line.

The launcher (TAMBERLIN_LAUNCH) hands the program the raw bytes, which
`wine prog args` cannot do.  With `stub`, the program gets the test
comdlg32.dll (TAMBERLIN_STUB_DLL) instead of the real dialog; with `item`,
it runs in a prefix whose item dialog classes are the test server
(TAMBERLIN_ITEMSTUB_DLL).
"""
import filecmp
import os
import selectors
import shlex
import shutil
import signal
import subprocess
import tempfile
import time
import unittest
from typing import NamedTuple, Optional

TIMEOUT = 60


class Result(NamedTuple):
    out: bytes
    err: bytes
    status: int
    request: Optional[dict]
    # With `item`: the item dialog's record, one tuple per call, its texts
    # decoded (tests/tools/itemstub.c).
    calls: Optional[list] = None


class Item(NamedTuple):
    """What the stand-in item dialog answers (tests/tools/itemstub.c).
    answer: the chosen items' names, "?" before one outside the file
    system; None is a cancel. show: an HRESULT that Show fails with.
    refuse: neither class can be created."""
    answer: Optional[list] = None
    show: Optional[int] = None
    refuse: bool = False


def winpath(path: str) -> str:
    return 'Z:' + os.path.abspath(path).replace('/', '\\')


def unixpath(path: str) -> str:
    """Where a Windows name (an 8.3 alias too) leads, as Wine resolves it."""
    done = subprocess.run(['winepath', '-u', path], capture_output=True, stdin=subprocess.DEVNULL,
                          env=dict(os.environ, WINEDEBUG='-all'), timeout=TIMEOUT, check=True)
    return done.stdout.decode().rstrip('\n')


def hexs(text: bytes) -> str:
    """The stub's rendering of a text, for comparing with `request` values."""
    return text.hex()


def make_prefix(env: dict, setup=()):
    """Makes the Wine prefix env['WINEPREFIX'] once, as env describes it
    (WINEARCH, say), and runs each command of `setup` in it; a marker file
    says that all of it was done, so that an interrupted start is made
    again."""
    prefix = env['WINEPREFIX']
    if os.path.exists(os.path.join(prefix, '.made')):
        return
    shutil.rmtree(prefix, ignore_errors=True)
    # The server keeps the registry in memory until it ends: the wait is
    # what puts the setup's keys on disk before the marker says so.
    for argv in (['wineboot', '-i'], *setup, ['wineserver', '-w']):
        subprocess.run(argv, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=300, check=True)
    open(os.path.join(prefix, '.made'), 'w').close()


ITEM_CLASSES = {'FileOpenDialog': '{DC1C5A9C-E88A-4DDE-A5A1-60F82A20AEF7}',
                'FileSaveDialog': '{C0B4E2F3-BA21-4773-8DBA-335EC946EB8B}'}
ITEM_DLL = 'C:\\itemstub\\itemstub.dll'
_item_env = {}


def item_stub_prefix() -> dict:
    """The environment of a prefix beside the suite's whose two item dialog
    classes are the stand-in server, for a 32-bit process; comdlg32 stays
    Wine's own there. Made once; its copy of the server is refreshed when
    the build's differs, and a server kept for the prefix a while."""
    if _item_env:
        return dict(_item_env)
    env = dict(os.environ, WINEPREFIX=os.environ['WINEPREFIX'] + '-itemstub', WINEDEBUG='-all')
    # Wine's combase reads in-process servers from HKLM only, and a 32-bit
    # process in a 64-bit prefix from its 32-bit view (Wow6432Node), which
    # /reg:32 writes.
    setup = []
    for clsid in ITEM_CLASSES.values():
        key = 'HKLM\\Software\\Classes\\CLSID\\%s\\InprocServer32' % clsid
        setup += [['wine', 'reg', 'add', key, '/ve', '/d', ITEM_DLL, '/f', '/reg:32'],
                  ['wine', 'reg', 'add', key, '/v', 'ThreadingModel', '/d', 'Apartment', '/f', '/reg:32']]
    make_prefix(env, setup)
    built = os.environ['TAMBERLIN_ITEMSTUB_DLL']
    target = os.path.join(env['WINEPREFIX'], 'drive_c', 'itemstub', 'itemstub.dll')
    os.makedirs(os.path.dirname(target), exist_ok=True)
    if not os.path.exists(target) or not filecmp.cmp(built, target, shallow=False):
        # A new file in its place, never one rewritten under a process that
        # has the old one mapped.
        shutil.copy(built, target + '.new')
        os.replace(target + '.new', target)
    # A server that outlives each test's program a minute, so that the runs
    # do not each pay for its start, and that ends by itself; one already
    # serving the prefix refuses, and serves. The first program of a server
    # session starts Wine's services: a throwaway one takes that hit.
    for argv in (['wineserver', '-p60'], ['wine', 'cmd', '/c', 'exit']):
        subprocess.run(argv, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=300)
    _item_env.update(env)
    return dict(env)


def require_continued_fault():
    """Skips the calling module unless this machine continues a write that
    faulted in a reserved page once a vectored handler has committed the
    page (TAMBERLIN_PROBE). The skip's reason starts "needs ", by which
    CTest counts the module as skipped (cmake/windows.cmake). Only the probe
    decides, never the machine's name; its control run, which faults
    nowhere, must pass, or the probe itself is broken and this fails."""
    def probe(*args):
        return subprocess.run(['wine', os.environ['TAMBERLIN_PROBE'], *args], stdin=subprocess.DEVNULL,
                              capture_output=True, env=dict(os.environ, WINEDEBUG='-all'),
                              timeout=TIMEOUT).returncode
    control = probe('plain')
    if control:
        raise AssertionError('the fault probe failed without a fault: status %d' % control)
    status = probe()
    if status:
        raise unittest.SkipTest('needs a write continued after a vectored handler committed its page; '
                                'the probe here ended with status %d' % status)


def _parse(path: str) -> Optional[dict]:
    if not os.path.exists(path):
        return None
    with open(path, 'rb') as f:
        lines = f.read().decode('ascii').split('\n')
    return dict(line.split('=', 1) for line in lines if line)


def _parse_calls(path: str) -> Optional[list]:
    """The item dialog's record, with "u:" texts decoded from UTF-16LE."""
    if not os.path.exists(path):
        return None
    with open(path, 'rb') as f:
        lines = f.read().decode('ascii').split('\n')
    return [tuple(bytes.fromhex(w[2:]).decode('utf-16-le', 'surrogatepass') if w.startswith('u:') else w
                  for w in line.split(' '))
            for line in lines if line]


def _collect(proc, timeout=TIMEOUT):
    """Reads both pipes until the launcher has exited and they are drained,
    for at most `timeout` seconds.

    Waiting for end-of-file is not enough: Wine's services, started by the
    first program of a wineserver session, inherit the pipes and keep them
    open long after the program under test has finished."""
    fds = proc.stdout.fileno(), proc.stderr.fileno()
    chunks = {fd: [] for fd in fds}
    deadline = time.monotonic() + timeout
    with selectors.DefaultSelector() as sel:
        for fd in chunks:
            sel.register(fd, selectors.EVENT_READ)
        while sel.get_map():
            # Everything the program wrote precedes its exit, so once it has
            # exited, an empty poll means nothing more is coming.
            exited = proc.poll() is not None
            ready = sel.select(0 if exited else 0.05)
            if exited and not ready:
                break
            if time.monotonic() > deadline:
                # The program under test is a separate unix process in our group.
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()
                raise subprocess.TimeoutExpired(proc.args, timeout)
            for key, _ in ready:
                data = os.read(key.fd, 65536)
                if data:
                    chunks[key.fd].append(data)
                else:
                    sel.unregister(key.fd)
    proc.wait()
    proc.stdout.close()
    proc.stderr.close()
    return tuple(b''.join(chunks[fd]) for fd in fds)


def run(cmdline, exe: str = None, stub: tuple = None,
        env: dict = None, options=(), cwd: str = None, terminal: bool = False,
        to_files: bool = False, item: Item = None) -> Result:
    """cmdline: bytes for the ANSI command line as it is, a str for a
    UTF-16 one.
    stub: (answer,); answer None means cancel, bytes are the ANSI
    answer, a str the wide one.
    item: run in item_stub_prefix(), the item dialog answering as it says.
    env entries override the inherited environment; None removes one.
    terminal: run on a pseudo-terminal (through `script`), so that both
    streams are consoles; `out` is then everything the terminal received
    and `err` is empty.
    to_files: send the streams to files instead of pipes."""
    exe = exe or os.environ['TAMBERLIN_EXE']
    full_env = dict(os.environ, WINEDEBUG='-all')
    if item is not None:
        full_env.update(item_stub_prefix())
    for key, value in (env or {}).items():
        if value is None:
            full_env.pop(key, None)
        else:
            full_env[key] = value
    with tempfile.TemporaryDirectory(prefix='tamberlin-') as tmp:
        cmdfile = os.path.join(tmp, 'cmdline')
        with open(cmdfile, 'wb') as f:
            f.write(cmdline.encode() if isinstance(cmdline, str) else cmdline)
        if isinstance(cmdline, str):
            options = [*options, 'wide']
        prefix = os.path.join(tmp, 'dlg')
        if stub is not None:
            # A private copy: the override only finds comdlg32.dll beside
            # the program, and other tests must keep the real dialog.
            exe = shutil.copy(exe, tmp)
            shutil.copy(os.environ['TAMBERLIN_STUB_DLL'],
                        os.path.join(tmp, 'comdlg32.dll'))
            # Any library will do for the stub's probe: it loads this one
            # by its bare name, which only the program's folder holds.
            shutil.copy(os.environ['TAMBERLIN_STUB_DLL'],
                        os.path.join(tmp, 'tamberlin-probe.dll'))
            full_env['WINEDLLOVERRIDES'] = 'comdlg32=n'
            full_env['TAMBERLIN_STUB'] = winpath(prefix)
            if isinstance(stub[0], str):
                # Text: the dialog's wide answer, as UTF-16 units.
                with open(prefix + '.wanswer', 'wb') as f:
                    f.write(stub[0].encode('utf-16-le', 'surrogatepass'))
            elif stub[0] is not None:
                with open(prefix + '.answer', 'wb') as f:
                    f.write(stub[0])
        items = os.path.join(tmp, 'item')
        if item is not None:
            full_env['TAMBERLIN_ITEMSTUB'] = winpath(items)
            if item.answer is not None:
                with open(items + '.answer', 'wb') as f:
                    f.write(''.join(name + '\0' for name in item.answer).encode('utf-16-le', 'surrogatepass'))
            if item.show is not None:
                with open(items + '.show', 'w') as f:
                    f.write('%08X' % item.show)
            if item.refuse:
                open(items + '.refuse', 'w').close()
        argv = ['wine', os.environ['TAMBERLIN_LAUNCH'], winpath(exe),
                winpath(cmdfile), *options]
        if terminal:
            argv = ['script', '-qec', shlex.join(argv), '/dev/null']
        if to_files:
            with open(os.path.join(tmp, 'out'), 'w+b') as fout, open(os.path.join(tmp, 'err'), 'w+b') as ferr:
                proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=fout, stderr=ferr,
                                        env=full_env, cwd=cwd, start_new_session=True)
                proc.wait(timeout=TIMEOUT)
                fout.seek(0)
                ferr.seek(0)
                out, err = fout.read(), ferr.read()
        else:
            proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                    env=full_env, cwd=cwd, start_new_session=True)
            out, err = _collect(proc)
        request = _parse(prefix + '.request') if stub is not None else None
        calls = _parse_calls(items + '.calls') if item is not None else None
        return Result(out, err, proc.returncode, request, calls)
