// korvelcpl.exe: the program the ASIO driver starts from its own directory
// when a host asks for the control panel, and the log-on entry. It opens the
// one installed control panel (see CplLauncher).
#include <windows.h>

#include "CplLauncher.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    return CplLauncher::Run(GetCommandLineW());
}
