#pragma once
// Time stamps and percentiles shared by the benchmark programs.
#include <vector>

// Microseconds from the performance counter.
double NowUs();

// The CPU time (kernel and user) the calling thread has used, in milliseconds.
double ThreadCpuMs();

// The sample at the given fraction (0.5 = median) of the sorted samples; 0 when empty.
double Percentile(std::vector<double> samples, double fraction);
