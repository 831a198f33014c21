#pragma once
// Where the running test program is: the programs and DLLs that a test starts
// or loads are built beside it.
#include <string>

namespace quillo_test {

// The directory of the running program, with its trailing backslash.
std::wstring ProgramDirectory();

} // namespace quillo_test
