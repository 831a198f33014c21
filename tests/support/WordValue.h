#pragma once
// The simulator's stats and dump lines are words of the form name=value;
// tests read one value out of such a line.
#include <string>

namespace quillo_test {

// The value of the first word "name=…" of `line`; empty when there is none.
std::string WordValue(const std::string& line, const std::string& name);

} // namespace quillo_test
