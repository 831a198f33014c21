#pragma once
// How long a mixer window takes to open: the device's hardware inputs mixer
// shown first, then its software outputs mixer while the first stays open,
// each from the call of Show to the window painted with every message
// handled; beside bare top-level windows of the same size with the same
// number of child windows (plain static controls), the second likewise
// opened while the first is shown. The window counts show what Wine's window manager carries.
#include "KorvelCplClient.h"

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

class BenchMixerOpen
{
public:
    struct Figures
    {
        std::vector<double> firstMs;      // the inputs mixer, nothing else open
        std::vector<double> secondMs;     // the outputs mixer, the inputs mixer open
        std::vector<double> bareFirstMs;  // bare window with the inputs mixer's child count
        std::vector<double> bareSecondMs; // bare window with the outputs mixer's, the first open
        size_t firstWindows = 0;          // child windows of each (all levels)
        size_t secondWindows = 0;
        SIZE firstSize{};                 // window sizes, which the bare windows take
        SIZE secondSize{};
        unsigned columns = 0; // output columns and input rows of the outputs mixer
        unsigned rows = 0;
    };

    // Opens and closes the mixers of `device` (an index into the client's
    // devices) `runs` times, each run followed by the bare windows.
    static bool Measure(KorvelCplClient& client, size_t device, size_t runs, Figures& figures,
                        std::string& error);
};
