#pragma once
// Time stamps and percentiles shared by the benchmark programs.
#include <vector>

// Microseconds from the performance counter.
double NowUs();

// The sample at the given fraction (0.5 = median) of the sorted samples; 0 when empty.
double Percentile(std::vector<double> samples, double fraction);
