// archprobe.exe: prints the bitness it was built for. The test command starts
// it under a build tree's Wine prefix before that tree's suite runs, so that a
// machine that cannot run such programs is told apart from a failing suite.
#include <cstdio>

int main()
{
    std::printf("archprobe: %u-bit\n", static_cast<unsigned>(sizeof(void*) * 8));
    return 0;
}
