#!/usr/bin/env bash
# Builds the release files of the version in VERSION into dist/.
#
#   bash scripts/release.sh [DOWNLOAD_URL_PREFIX HOMEPAGE_URL]
#
# Always writes the files to publish, each named with the version so that a
# later release, uploaded beside them, replaces none of them:
# dist/tamberlin-VERSION-win32.zip (tamberlin.exe, README.txt, LICENSE.txt,
# and BUILDINFO.txt: the commit, its time, and the versions of the tools that
# made the bytes) and dist/tamberlin-VERSION-SHA256SUMS.txt.
#
# DOWNLOAD_URL_PREFIX is the http(s) address of the folder that those files
# will be uploaded to, and HOMEPAGE_URL the project's own page. With both,
# the script also writes the package managers' manifests for those
# addresses, carrying the zip's real hash: dist/scoop/tamberlin.json and
# dist/winget/ (tamberlin.exe from the zip, as a portable command), and
# README.txt names the homepage. For a GitHub project, the prefix is the
# release's download folder (HOMEPAGE_URL/releases/download/vVERSION).
# A prefix alone is refused: the download folder is no homepage, and Scoop's
# and winget's reviewers reject it as one. So is an address that a later
# release could replace or break (another version's folder, "latest").
# Without addresses no manifests are written: they would name an address
# that nobody chose.
#
# The files are the same bytes on every machine and in every folder for one
# commit and the same tools: the PE time stamp and the zip's times are
# SOURCE_DATE_EPOCH, taken from the last commit unless it is set already.
set -euo pipefail
cd "$(dirname "$0")/.."
say() { echo "release: $*"; }
die() { echo "release: $*" >&2; exit 2; }

usage="usage: bash scripts/release.sh [DOWNLOAD_URL_PREFIX HOMEPAGE_URL]"
[ $# -le 2 ] || die "$usage"
prefix=${1:-}
homepage=${2:-}
[ -z "$prefix$homepage" ] || { [ -n "$prefix" ] && [ -n "$homepage" ]; } ||
    die "give a download address and a homepage, or neither (the download folder is no homepage): $usage"
for url in "$prefix" "$homepage"; do
    [ -z "$url" ] || python3 scripts/package.py --check-url "$url" || exit 2
done

# The tree may belong to another user than the one releasing it (root in a
# CI container over the runner's workspace), which git refuses to read
# unless told to trust it; this script is the tree's own code already.
git() { command git -c safe.directory='*' "$@"; }

version=$(head -n1 VERSION)
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || die "VERSION holds '$version', not MAJOR.MINOR.PATCH"

if [ -z "${SOURCE_DATE_EPOCH+set}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) || die "not a git checkout: set SOURCE_DATE_EPOCH"
fi
# 0 is what a linker writes when told to leave the stamp out, and scanners
# take it for a packer's mark.
[[ $SOURCE_DATE_EPOCH =~ ^[1-9][0-9]*$ ]] || die "SOURCE_DATE_EPOCH='$SOURCE_DATE_EPOCH': want seconds since 1970, not 0"
export SOURCE_DATE_EPOCH

[ -z "$(git status --porcelain --untracked-files=no 2>/dev/null)" ] ||
    say "warning: uncommitted changes; the files will not match the commit's"

bash scripts/setup.sh

say "building tamberlin $version (time stamp $SOURCE_DATE_EPOCH)"
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target tamberlin >/dev/null

# What made the bytes, so that they can be made again: the commit and, for
# each tool CMake used, its own first --version line and, where dpkg knows
# the file, its package (GCC's line says only "12-win32").
describe() {
    local path line pkg
    path=$(readlink -f "$(command -v "$1")")
    line=$("$path" --version | sed -n 1p)
    pkg=$(dpkg -S "$path" 2>/dev/null | sed -n '1s/[:,].*//p') || true
    [ -z "$pkg" ] || line+=" (Debian package $pkg $(dpkg-query -W -f='${Version}' "$pkg"))"
    echo "$line"
}
mapfile -t tools < build/win32/tools.txt
changes=
[ -z "$(git status --porcelain --untracked-files=no 2>/dev/null)" ] || changes=" with uncommitted changes"
buildinfo=build/win32/BUILDINFO.txt
{
    echo "Tamberlin $version, built by scripts/release.sh"
    echo "Commit: $(git rev-parse HEAD 2>/dev/null || echo none)$changes"
    echo "SOURCE_DATE_EPOCH: $SOURCE_DATE_EPOCH"
    echo "Compiler: $(describe "${tools[0]}")"
    echo "Linker: $(describe "${tools[1]}")"
    echo "Resource compiler: $(describe "${tools[2]}")"
    echo "CMake: $(cmake --version | sed -n 1p)"
} > "$buildinfo"

rm -rf dist
args=(--version "$version" --epoch "$SOURCE_DATE_EPOCH" --exe build/win32/tamberlin.exe
      --readme README.md --license LICENSE --buildinfo "$buildinfo" --out dist)
[ -z "$prefix" ] || args+=(--url-prefix "$prefix")
[ -z "$homepage" ] || args+=(--homepage "$homepage")
python3 scripts/package.py "${args[@]}" | sed 's/^/release: wrote /'
[ -n "$prefix" ] || say "no DOWNLOAD_URL_PREFIX and HOMEPAGE_URL given: no manifests written"
