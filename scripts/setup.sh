#!/usr/bin/env bash
# Installs what building and testing Tamberlin needs on Debian 12, as root.
# Does nothing, and prints nothing, when everything is already there.
#
#   setup.sh                    install what is missing; asks for sudo only
#                               when there is something to install
#   setup.sh --check            exit 1 (naming what is missing) if setup.sh
#                               has anything to do, else 0; needs no root
#   setup.sh --backports-source print the apt source that setup would add
#                               for a current qemu where i386 programs cannot
#                               run (nothing when one is there), change nothing
#
# SETUP_APT_DIR (default /etc/apt) and SETUP_OS_RELEASE (default
# /etc/os-release) point the backports source's derivation elsewhere, so
# that it can be tried on sample files.
set -euo pipefail

packages=(cmake make g++ clang libclang-rt-14-dev googletest python3 python3-yaml python3-jsonschema python3-markdown-it
          util-linux
          g++-mingw-w64-i686 binutils-mingw-w64-i686
          wine wine32:i386 wine64 xvfb xdotool x11-utils imagemagick icoutils)
# The checker of .github/workflows against GitHub's published workflow
# schema, from npm (Debian has none), installed for every user.
validator=@action-validator/cli@0.6.0

apt_dir=${SETUP_APT_DIR:-/etc/apt}
os_release=${SETUP_OS_RELEASE:-/etc/os-release}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
say() { echo "setup: $*"; }
die() { echo "setup: $*" >&2; exit 1; }

# Wine's 32-bit loader is an i386 ELF program. Some kernels (sandboxes among
# them) cannot run those; then qemu runs it, registered with binfmt_misc.
runs_i386() { /lib/ld-linux.so.2 --version >/dev/null 2>&1; }

codename() {
    local name
    name=$(sed -n 's/^VERSION_CODENAME=//p' "$os_release" 2>/dev/null | tr -d "\"'" | head -n1)
    [ -n "$name" ] || die "no VERSION_CODENAME in $os_release: cannot tell which backports to use"
    echo "$name"
}

# The apt source files in the order apt reads them.
source_files() {
    local f
    [ -f "$apt_dir/sources.list" ] && echo "$apt_dir/sources.list"
    for f in "$apt_dir"/sources.list.d/*; do
        case $f in *.list|*.sources) [ -f "$f" ] && echo "$f" ;; esac
    done
    return 0
}

# The first active "deb" entry that serves suite $1 with its main
# component, as "URI<TAB>KEYRING" (the keyring only when the entry names one
# by path). Reads both one-line (.list) and deb822 (.sources) files; fails
# when there is none.
find_source() {
    local files=()
    mapfile -t files < <(source_files)
    [ ${#files[@]} -gt 0 ] || return 1
    awk -v want="$1" '
        function has(list, word,   n, a, i) {
            n = split(list, a, /[ \t]+/)
            for (i = 1; i <= n; i++) if (a[i] == word) return 1
            return 0
        }
        function first(list,   a) { split(list, a, /[ \t]+/); return a[1] }
        function trim(s) { sub(/^[ \t]+/, "", s); sub(/[ \t]+$/, "", s); return s }
        # A cdrom carries no backports; skip it even when it is listed.
        function offer(uri, suites, comps, signed) {
            if (done || uri == "" || uri ~ /^cdrom:/) return
            if (!has(suites, want) || !has(comps, "main")) return
            if (signed !~ /^\/[^ \t]*$/) signed = ""
            print uri "\t" signed
            done = 1
        }
        function flush() {
            if (tolower(f["enabled"]) != "no" && has(f["types"], "deb"))
                offer(first(f["uris"]), f["suites"], f["components"], f["signed-by"])
            delete f
            key = ""
        }
        FNR == 1 { if (deb822) flush(); deb822 = FILENAME ~ /\.sources$/ }
        done { next }
        deb822 {
            if ($0 ~ /^#/) next
            if ($0 ~ /^[ \t]*$/) { flush(); next }
            if ($0 ~ /^[ \t]/) { if (key != "") f[key] = f[key] " " trim($0); next }
            colon = index($0, ":")
            if (!colon) next
            key = tolower(trim(substr($0, 1, colon - 1)))
            f[key] = trim(substr($0, colon + 1))
            next
        }
        {
            line = $0
            sub(/#.*/, "", line)
            n = split(line, w, /[ \t]+/)
            i = 1
            if (w[i] == "") i++
            if (w[i] != "deb") next
            i++
            signed = ""
            if (substr(w[i], 1, 1) == "[") {
                opts = ""
                for (; i <= n; i++) { opts = opts " " w[i]; if (w[i] ~ /\]$/) break }
                i++
                gsub(/[\[\]]/, " ", opts)
                m = split(opts, o, /[ \t]+/)
                for (j = 1; j <= m; j++) if (o[j] ~ /^signed-by=/) signed = substr(o[j], 11)
            }
            comps = ""
            for (j = i + 2; j <= n; j++) comps = comps " " w[j]
            offer(w[i], w[i + 1], comps, signed)
        }
        END { if (deb822 && !done) flush(); exit !done }
    ' "${files[@]}"
}

has_backports() { find_source "$1-backports" >/dev/null; }

# The backports source for release $1 on the mirror that already serves the
# release's main suite here: the user's own mirror or proxy, never a host
# chosen for them.
backports_source() {
    local found
    found=$(find_source "$1") || die "no apt source in $apt_dir serves $1 main: add the release's own mirror first"
    printf 'Types: deb\nURIs: %s\nSuites: %s-backports\nComponents: main\n' "${found%%$'\t'*}" "$1"
    [ -z "${found#*$'\t'}" ] || printf 'Signed-By: %s\n' "${found#*$'\t'}"
}

# Bookworm's qemu 7.2 takes about a minute to start each Wine process
# (it ignores MAP_FIXED_NOREPLACE, so Wine's address-space reservation
# crawls); the backported qemu starts one in well under a second.
qemu_current() {
    local version
    version=$(dpkg-query -W -f='${Version}' qemu-user-static 2>/dev/null || true)
    [ -n "$version" ] && dpkg --compare-versions "$version" ge 1:8
}

missing_packages() {
    local p
    for p in "${packages[@]}"; do installed "$p" || echo "$p"; done
    # A Node.js from elsewhere brings its own npm, which Debian's would fight.
    command -v npm >/dev/null || printf '%s\n' nodejs npm
    return 0
}

check() {
    local missing=()
    dpkg --print-foreign-architectures | grep -qx i386 || missing+=("the i386 architecture")
    mapfile -t -O ${#missing[@]} missing < <(missing_packages)
    runs_i386 || missing+=("a way to run i386 programs (qemu)")
    command -v action-validator >/dev/null || missing+=("$validator (npm)")
    [ ${#missing[@]} -eq 0 ] || { say "missing: ${missing[*]}"; return 1; }
}

case ${1:-} in
    --check) check; exit ;;
    --backports-source)
        release=$(codename)
        has_backports "$release" || backports_source "$release"
        exit ;;
    '')
        # Nothing to do needs no root; something to do does, so ask for it.
        check >/dev/null && exit 0
        [ "$(id -u)" -eq 0 ] || exec sudo bash "$0" ;;
    *) echo "usage: $0 [--check | --backports-source]" >&2; exit 2 ;;
esac

export DEBIAN_FRONTEND=noninteractive
updated=
# A mirror caught mid-sync fails one index now and then ("File has unexpected
# size"); apt keeps the lists that did arrive, and the install below says
# plainly if a package it needs is then missing.
update_once() {
    [ -z "$updated" ] || return 0
    local try
    for try in 1 2 3; do
        apt-get update -qq && break
        [ "$try" -lt 3 ] || { say "some package lists could not be read; going on with those that could"; break; }
        sleep 5
    done
    updated=1
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    say "adding the i386 architecture"
    dpkg --add-architecture i386
fi

mapfile -t missing < <(missing_packages)
if [ ${#missing[@]} -gt 0 ]; then
    say "installing ${missing[*]}"
    update_once
    if ! apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
        # With one architecture's security index unread, the other's newer
        # libraries cannot be matched; the release's own suite has both.
        release=$(codename)
        say "install failed; trying once more with every package from $release itself"
        apt-get install -y -qq --no-install-recommends -t "$release" "${missing[@]}" >/dev/null
    fi
fi

if ! runs_i386; then
    if ! qemu_current; then
        release=$(codename)
        if ! has_backports "$release"; then
            say "adding $release-backports for a current qemu"
            source=$(backports_source "$release")
            printf '%s\n' "$source" > "$apt_dir/sources.list.d/$release-backports.sources"
            updated=
        fi
        say "installing qemu-user-static from $release-backports"
        update_once
        apt-get install -y -qq --no-install-recommends -t "$release-backports" qemu-user-static >/dev/null
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

if ! command -v action-validator >/dev/null; then
    say "installing $validator"
    npm install --global --silent --no-fund --no-audit "$validator" >/dev/null
fi
