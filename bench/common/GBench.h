#pragma once

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using BenchRun = benchmark::BenchmarkReporter::Run;

// Runs the benchmarks registered in this executable, with Google Benchmark's
// own table on standard error and trace lines sent to $TOLVANE_BENCH_TRACE
// (else dropped), and returns every run.
std::vector<BenchRun> runBenchmarks(int argc, char** argv);

// The run of the benchmark named `name` (as registered), or nullptr.
const BenchRun* findRun(const std::vector<BenchRun>& runs, const std::string& name);

// A user counter of `run`, 0 when absent.
double counter(const BenchRun& run, const std::string& name);
