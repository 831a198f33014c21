#pragma once
// What the level meters cost to paint at the mixer's tick rate: a window
// with as many vertical meters as two default mixer windows carry, every
// meter set to a new position fifty times a second and painted; beside the
// same window whose controls paint the same fill straight to the screen
// (no meter class, no memory bitmap). CPU time of the painting thread and
// GDI objects alive afterwards.
#include <cstddef>
#include <string>

class BenchMeterPaint
{
public:
    struct Figures
    {
        double seconds = 0;
        size_t meters = 0;
        double paints = 0;     // meter paints counted (WM_PAINT handled)
        double ticks = 0;      // ticks taken, of fifty a second
        double bareTicks = 0;
        double meterCpuMs = 0; // the meters
        double bareCpuMs = 0;  // the bare fills
        double barePaints = 0;
        long gdiGrowth = 0; // GDI objects of the process after the run minus before
    };

    static bool Measure(size_t meters, double seconds, Figures& figures, std::string& error);
};
