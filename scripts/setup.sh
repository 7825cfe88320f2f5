#!/usr/bin/env bash
# Installs what building and testing Tamberlin needs on Debian 12, as root.
# Does nothing when everything is already there.
set -euo pipefail

packages=(cmake make g++ clang libclang-rt-14-dev googletest python3 util-linux
          g++-mingw-w64-i686 binutils-mingw-w64-i686
          wine wine32:i386 wine64 xvfb xdotool x11-utils imagemagick icoutils)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
say() { echo "setup: $*"; }
export DEBIAN_FRONTEND=noninteractive
updated=
update_once() { [ -n "$updated" ] || { apt-get update -qq; updated=1; }; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    say "adding the i386 architecture"
    dpkg --add-architecture i386
fi

missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
    say "installing ${missing[*]}"
    update_once
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine's 32-bit loader is an i386 ELF program. Some kernels (sandboxes among
# them) cannot run those; then qemu runs it, registered with binfmt_misc.
# Bookworm's qemu 7.2 takes about a minute to start each Wine process
# (it ignores MAP_FIXED_NOREPLACE, so Wine's address-space reservation
# crawls); the backported qemu starts one in well under a second.
runs_i386() { /lib/ld-linux.so.2 --version >/dev/null 2>&1; }
if ! runs_i386; then
    qemu_version=$(dpkg-query -W -f='${Version}' qemu-user-static 2>/dev/null || true)
    if [ -z "$qemu_version" ] || dpkg --compare-versions "$qemu_version" lt 1:8; then
        backports=/etc/apt/sources.list.d/bookworm-backports.sources
        if ! grep -rqs bookworm-backports /etc/apt/sources.list /etc/apt/sources.list.d/; then
            say "adding Debian's bookworm-backports for a current qemu"
            cat > "$backports" <<'SRC'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
            updated=
        fi
        say "installing qemu-user-static from bookworm-backports"
        update_once
        apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user-static >/dev/null
    fi
    mountpoint -q /proc/sys/fs/binfmt_misc || mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
    entry=/proc/sys/fs/binfmt_misc/qemu-i386
    # The F flag holds the interpreter open, so an entry made before qemu
    # was upgraded still runs the old one: make it afresh.
    [ -e "$entry" ] && echo -1 > "$entry"
    say "registering qemu-i386 for i386 programs"
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
        > /proc/sys/fs/binfmt_misc/register
    runs_i386 || { say "32-bit programs still cannot run here"; exit 1; }
fi
