#!/usr/bin/env bash
# Sets up the machine, builds tamberlin.exe and runs it under Wine for real.
# With a reachable X display the dialog is yours to answer; without one the
# script answers it on a private Xvfb and saves a screenshot of it.
set -euo pipefail
cd "$(dirname "$0")/.."
say() { echo "run: $*"; }

say "checking the tools"
bash scripts/setup.sh

say "building build/win32/tamberlin.exe"
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target tamberlin

build=$PWD/build/win32
export WINEPREFIX=$build/wineprefix-demo WINEDEBUG=-all
unset WINEDLLOVERRIDES
if [ ! -f "$WINEPREFIX/.made" ]; then
    say "making the Wine prefix $WINEPREFIX (about 20 s, once)"
    rm -rf "$WINEPREFIX"
    (unset DISPLAY; wineboot -i >/dev/null 2>&1; wineserver -w)
    touch "$WINEPREFIX/.made"
fi

demo=$build/demo-files
mkdir -p "$demo"
for name in notes.txt "read me.txt" report.log data.csv; do echo "$name" > "$demo/$name"; done
windemo="Z:$(echo "$demo" | tr / '\\')"
say "under Wine the Linux root is disk Z:, so $demo is $windemo"
out=$build/demo-out.txt
err=$build/demo-err.txt

xvfb=
cleanup() {
    wineserver -k 2>/dev/null || true
    if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
}
trap cleanup EXIT

headless=
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    headless=1
    say "no display: starting Xvfb"
    exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp -r 2>/dev/null)
    xvfb=$!
    read -r -t 30 number <&3 || { say "Xvfb did not start"; exit 1; }
    export DISPLAY=:$number
fi
# A server from an earlier run keeps the display it started with.
wineserver -k 2>/dev/null || true
wineserver -w
# Wine's background services inherit the first program's handles: not ours.
wine cmd /c exit </dev/null >/dev/null 2>&1

title="Tamberlin demo"
say "running: tamberlin \"set f=\" \"$windemo\\*.txt;*.log\" \"$title\""
[ -n "$headless" ] || say "answer the dialog on your screen"
wine "$build/tamberlin.exe" "set f=" "$windemo\\*.txt;*.log" "$title" >"$out" 2>"$err" </dev/null &
program=$!

if [ -n "$headless" ]; then
    wid=
    for _ in $(seq 300); do
        wid=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n1) && [ -n "$wid" ] && break
        sleep 0.1
    done
    [ -n "$wid" ] || { say "the dialog did not show"; kill "$program"; exit 1; }
    say "the dialog is showing (window $wid)"
    # The dialog's window alone, not the screen around it. Shown is not
    # painted yet: wait until the picture is mostly light.
    for _ in $(seq 100); do
        import -window "$wid" "$build/demo.png"
        [ "$(convert "$build/demo.png" -format '%[fx:mean>0.9]' info:)" = 1 ] && break
        sleep 0.1
    done
    say "screenshot saved: build/win32/demo.png"
    say "typing notes.txt and Return"
    xdotool windowfocus --sync "$wid"
    xdotool type --delay 20 notes.txt
    xdotool key Return
fi

status=0
wait "$program" || status=$?
if [ -s "$out" ]; then
    say "tamberlin wrote (cat -A: ^M is CR, \$ is LF):"
    cat -A "$out"
else
    say "tamberlin wrote nothing"
fi
grep -v '^wine: ' "$err" | sed 's/^/run: stderr: /' || true
say "exit status: $status"
