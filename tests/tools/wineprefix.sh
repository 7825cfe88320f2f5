#!/bin/sh
# wineprefix.sh start PREFIX: makes the Wine prefix once per build tree and
#   keeps a wineserver running for it, so each test pays only for its own
#   process.
# wineprefix.sh stop PREFIX: ends that wineserver.
set -eu
command=$1
export WINEPREFIX="$2"
export WINEDEBUG=-all

case $command in
start)
    if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
        echo "32-bit programs cannot run on this machine yet: run scripts/setup.sh as root" >&2
        exit 1
    fi
    if [ ! -f "$WINEPREFIX/.made" ]; then
        rm -rf "$WINEPREFIX"
        wineboot -i </dev/null >/dev/null 2>&1
        wineserver -w
        touch "$WINEPREFIX/.made"
    fi
    # Detached from our pipes, or CTest would wait for the server to end.
    # It refuses to start when one already serves the prefix; that one will do.
    wineserver -p </dev/null >/dev/null 2>&1 || true
    # The first program of a server session starts Wine's background
    # services, which inherit its standard handles: let a throwaway program
    # take that hit, so no test's pipes are held open by them.
    wine cmd /c exit </dev/null >/dev/null 2>&1
    ;;
stop)
    wineserver -k 2>/dev/null || true
    ;;
esac
