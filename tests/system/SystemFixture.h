#pragma once
// Test bed of the end-to-end tests: real processes under one prefix - the
// simulator (korvelsim.exe serve), the service (quillosvc.exe -console) and
// ASIO hosts (asiohost.exe) loading brindleasio.dll - reached through the
// simulator's namespace, with every wait bounded.
#include "HostChildProcess.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct HostRun
{
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;
};

class SystemFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the simulator with `devices` devices and the service, and waits
    // until the service has set the first device up.
    void StartSimulatorAndService(unsigned devices);
    // One control command to the simulator; its answer ("" when unreachable).
    std::string Control(const std::string& line);
    // A field "name=value" of the simulator's stats line or dump-model lines.
    std::string Stat(const std::string& name);
    std::string ModelValue(const std::string& key);
    // The simulator's "ASIO Error Count" (false when it cannot be read).
    bool AsioErrorCount(uint32_t& count);
    // A field of the first running ASIO stream's dump line ("" when none runs).
    std::string RunningStreamField(const std::string& field);
    // Waits until an ASIO stream runs and has signalled `signals` times.
    bool WaitForRunningStream(uint64_t signals, DWORD timeoutMs);

    // asiohost with `arguments` after the driver (--dll brindleasio.dll).
    std::wstring HostCommand(const std::wstring& command, const std::wstring& arguments) const;
    HostRun RunHost(const std::wstring& command, const std::wstring& arguments, DWORD timeoutMs);
    std::unique_ptr<HostChildProcess> StartHost(const std::wstring& command,
                                                const std::wstring& arguments);
    // A file of this test's own directory, as a Windows path.
    std::wstring TempFile(const std::wstring& name) const;

    HostChildProcess simulator;
    HostChildProcess service;
    std::wstring nameSpace;

private:
    std::wstring m_directory;
    unsigned m_hosts = 0;
};

// A number after "\"key\":" in a JSON text; -1 when missing.
double JsonNumber(const std::string& json, const std::string& key);
// The last such number (the last opening's rate, for one).
double LastJsonNumber(const std::string& json, const std::string& key);
