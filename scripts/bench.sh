#!/usr/bin/env bash
# Builds the benchmarks (Release, in build-bench) and runs them, printing one
# table: every figure with its measured value, its target and MET or MISSED.
# Details of each run go to build-bench/bench.log, the panel's trace lines to
# build-bench/bench-trace.log. Benchmarks are not tests: nothing here fails a
# build. Runs for about five minutes once built. Runs marked --slow-sync give
# the panel's disk writer 50 ms more per sync; --busy-disk runs another
# process that keeps the disk busy meanwhile.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
# In the order of the figures they give; a bench's options follow its name.
runs=("parse_bench" "flood_bench" "flood_bench --slow-sync --runs 3" "flood_bench --plant --runs 3"
  "serial_bench" "idle_bench" "command_bench" "command_bench --busy-disk"
  "command_bench --slow-sync" "command_bench --plant" "record_bench" "settings_bench"
  "startup_bench" "label_bench" "label_typing_bench" "template_typing_bench" "journal_bench"
  "records_view_bench" "plant_bench")
benches=(parse_bench flood_bench serial_bench idle_bench command_bench record_bench
  settings_bench startup_bench label_bench label_typing_bench template_typing_bench journal_bench
  records_view_bench plant_bench)

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${benches[@]}" startup_probe TolvaneApp

log="$build/bench.log"
export TOLVANE_BENCH_TRACE="$build/bench-trace.log"
export QT_QPA_PLATFORM=offscreen
: >"$log"
: >"$TOLVANE_BENCH_TRACE"
table="$build/bench-results.md"

{
  echo "Machine: $(nproc) cores, $(uname -r); load before the run:$(uptime | sed 's/.*load average://')"
  echo
  echo "| Figure | Measured | Target | Verdict |"
  echo "|---|---|---|---|"
} | tee "$table"
for run in "${runs[@]}"; do
  read -r -a words <<<"$run"
  printf '\n== %s (load:%s)\n' "$run" "$(uptime | sed 's/.*load average://')" >>"$log"
  if ! "$build/bench/${words[0]}" "${words[@]:1}" 2>>"$log" | tee -a "$table"; then
    echo "| $run | did not finish, see $log | | MISSED |" | tee -a "$table"
  fi
done
echo
echo "Load after the run:$(uptime | sed 's/.*load average://')" | tee -a "$table"
echo "Table saved in $table; details in $log"
