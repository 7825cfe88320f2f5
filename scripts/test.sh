#!/usr/bin/env bash
# Sets up the machine, builds both trees and runs every test: the native
# unit tests, then the Windows build with its tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

# Root is needed only to install; the check says whether there is anything to.
if ! bash scripts/setup.sh --check; then
    if [ "$(id -u)" -eq 0 ]; then bash scripts/setup.sh; else sudo bash scripts/setup.sh; fi
fi

cmake --preset host >/dev/null
cmake --build --preset host
ctest --preset host

cmake --preset win32 >/dev/null
cmake --build --preset win32
ctest --preset win32
