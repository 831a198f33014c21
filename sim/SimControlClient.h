#pragma once
// Client side of the control pipe: sends one command line to the simulator
// serving a namespace and reads its answer (used by "korvelsim ctl" and by
// tests and demos that drive a simulator in another process).
#include <windows.h>

#include <cstdint>
#include <string>

class SimControlClient
{
public:
    // How long a send waits for a free control pipe instance.
    static constexpr DWORD BUSY_WAIT_MS = 5000;
    // Largest answer accepted (a dump of a busy simulator fits easily).
    static constexpr size_t MAX_ANSWER = 4 * 1024 * 1024;

    // 0 and the answer text, or the Win32 error of connecting or of the exchange.
    static uint32_t Send(const std::wstring& nameSpace, const std::string& line,
                         std::string& answer);
};
