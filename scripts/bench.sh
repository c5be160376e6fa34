#!/usr/bin/env bash
# Builds the benchmarks (Release, in build-bench) and runs them, printing one
# table: every figure with its measured value, its target and MET or MISSED.
# Details of each run go to build-bench/bench.log, the panel's trace lines to
# build-bench/bench-trace.log. Benchmarks are not tests: nothing here fails a
# build. Runs for about a minute once built.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
# In the order of the figures they give.
benches=(parse_bench flood_bench serial_bench idle_bench command_bench record_bench
  settings_bench startup_bench)

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
for bench in "${benches[@]}"; do
  echo "== $bench" >>"$log"
  if ! "$build/bench/$bench" 2>>"$log" | tee -a "$table"; then
    echo "| $bench | did not finish, see $log | | MISSED |" | tee -a "$table"
  fi
done
echo
echo "Table saved in $table; details in $log"
