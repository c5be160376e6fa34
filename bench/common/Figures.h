#pragma once

#include <optional>
#include <string>
#include <vector>

// One row of the results table: what was measured, the value, the target and
// whether the value meets it (no verdict for rows that only inform).
struct Figure {
    std::string name;
    std::string measured;
    std::string target;
    std::optional<bool> met;
};

// Prints the figure as one Markdown table row on the results stream
// (standard output unless sendTraceTo moved the trace there).
void report(const Figure& figure);

// The panel traces on standard output. This keeps the results stream on the
// original standard output and sends everything else written there to `file`.
void sendTraceTo(const std::string& file);

// Nearest-rank percentile (p in 0..100) of `values`; 0 for none.
double percentile(std::vector<double> values, double p);
double median(std::vector<double> values);

// 1234567.8 -> "1,234,568"
std::string grouped(double value);
// value with `decimals` digits after the point.
std::string fixed(double value, int decimals);
