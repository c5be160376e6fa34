#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz and runs each one for a while:
#   scripts/fuzz.sh [seconds per target, default 20]
# The targets work on a scratch copy of fuzz/corpus, so the repository is not
# changed, except that a crashing input is kept as
# fuzz/corpus/<target>/regression-<sha1> (commit it with the fix). Exits non-zero
# when any target crashed. Installs nothing: scripts/setup.sh brings clang and
# its fuzzer runtime.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 [seconds per target]" >&2
  exit 2
fi
build=$root/build-fuzz
targets=(fuzz_inbound fuzz_settings fuzz_ports fuzz_label)
# Inputs longer than the 1023-byte chunk still reach the parser's field cuts;
# a settings file a few kilobytes long; 16 port names; a label template of a
# few kilobytes, its sample values behind it.
declare -A max_len=([fuzz_inbound]=2048 [fuzz_settings]=4096 [fuzz_ports]=512 [fuzz_label]=4096)

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DTOLVANE_BUILD_FUZZERS=ON -DTOLVANE_WERROR=ON \
  -DTOLVANE_BUILD_TESTS=OFF -DTOLVANE_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}" -j2

# The settings target writes and fsyncs a file per input: keep its scratch in
# memory when the machine offers a tmpfs.
scratch_base=${TMPDIR:-/tmp}
if [[ -d /dev/shm && -w /dev/shm ]]; then
  scratch_base=/dev/shm
fi
scratch=$(mktemp -d "$scratch_base/tolvane-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

failed=()
summary=()
for target in "${targets[@]}"; do
  corpus=$scratch/corpus/$target
  artifacts=$scratch/artifacts/$target
  mkdir -p "$corpus" "$artifacts" "$scratch/tmp/$target"
  cp -R "$root/fuzz/corpus/$target/." "$corpus/"
  seeds=$(find "$corpus" -type f | wc -l)
  echo "== $target: ${seconds}s from $seeds seeds"
  rc=0
  # -close_fd_mask=1: the settings store traces to stdout; findings go to stderr.
  TMPDIR=$scratch/tmp/$target "$build/fuzz/$target" "$corpus" \
    -max_total_time="$seconds" -max_len="${max_len[$target]}" \
    -dict="$root/fuzz/dict/$target.dict" -artifact_prefix="$artifacts/" \
    -timeout=10 -rss_limit_mb=2048 -close_fd_mask=1 -print_final_stats=1 \
    >"$scratch/$target.log" 2>&1 || rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$scratch/$target.log")
  size=$(find "$corpus" -type f | wc -l)
  summary+=("$(printf '%-14s executions %10s   corpus %5s files (%s seeds)   exit %s' \
    "$target" "${execs:-n/a}" "$size" "$seeds" "$rc")")
  echo "${summary[-1]}"
  if ((rc != 0)); then
    failed+=("$target")
    tail -n 60 "$scratch/$target.log"
    echo "$target: finding:"
    grep -m 5 -E 'property broken|ERROR:|runtime error:|SUMMARY:' "$scratch/$target.log" || true
    shopt -s nullglob
    for input in "$artifacts"/*; do
      kept=$root/fuzz/corpus/$target/regression-$(sha1sum "$input" | cut -d' ' -f1)
      cp "$input" "$kept"
      echo "$target: $(basename "$input") kept as ${kept#"$root"/}: commit it with the fix."
      echo "  reproduce: $build/fuzz/$target $kept"
    done
    shopt -u nullglob
  fi
done

echo "== summary"
printf '%s\n' "${summary[@]}"
if ((${#failed[@]} > 0)); then
  echo "crashed: ${failed[*]}" >&2
  exit 1
fi
