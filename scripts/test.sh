#!/usr/bin/env bash
# Sets up, builds and runs every test. Window tests run offscreen: no display
# is needed. Arguments go to CMake, e.g. scripts/test.sh -DTOLVANE_WERROR=ON.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build" "$@"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$root/build" --output-on-failure -j "$(nproc)" --timeout 300
