#pragma once
// quilloctl as a whole: reads the command line, runs the command and returns
// the exit code. The program's main and the tests both call Run, the tests
// with their own streams and stop signal.
#include "CtlStopSignal.h"

#include <ostream>
#include <string>
#include <vector>

class CtlApp
{
public:
    static int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                   CtlStopSignal& stop);
};
