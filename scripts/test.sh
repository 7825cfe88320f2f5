#!/usr/bin/env bash
# Sets up the machine, builds every tree and runs every test: the whole
# program on the host against the fake Windows, the Windows build with its
# tests under Wine, then the host tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer, with a bounded fuzzing run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

for preset in host win32 sanitize; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done
