#pragma once
// What the ASIO benchmark streams through: the simulator (korvelsim.exe
// serve) and the service (quillosvc.exe -console) as processes of their own
// under a namespace of this run, found by this process through
// KORVEL_SIMULATOR, and brindleasio.dll loaded by path.
#include "HostChildProcess.h"

#include <string>

class BenchRig
{
public:
    ~BenchRig();
    // Starts both and waits until the service has set the devices up; false
    // with `error` when either does not come up in time.
    bool Start(std::string& error);
    // One control command to the simulator; its answer ("" when unreachable).
    std::string Control(const std::string& line) const;
    // A file in the run's directory, as a Windows path.
    std::wstring File(const std::wstring& name) const { return m_directory + name; }
    static std::wstring DllPath();

private:
    bool WaitUntilReady(std::string& error) const;

    HostChildProcess m_simulator;
    HostChildProcess m_service;
    std::wstring m_namespace;
    std::wstring m_directory;
};
