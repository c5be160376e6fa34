#!/usr/bin/env bash
# Configures and builds one build folder: scripts/build.sh <folder> [cmake options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
folder=$1
shift
cmake -S "$root" -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
cmake --build "$folder" -j "$(nproc)"
