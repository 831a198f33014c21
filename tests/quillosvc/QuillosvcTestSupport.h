#pragma once
// Helpers of the service program's tests: where quillosvc.exe is, running it
// as a child with its output captured, an in-process simulator that the
// children reach, and waiting for conditions.
#include <windows.h>

#include <functional>
#include <string>

#include "ChildPipe.h"
#include "WaitFor.h"
#include "SimServer.h"

namespace quillosvc_test {

using quillo_test::WaitFor;

// The service program's full Windows path (the build passes its Unix path;
// Wine maps the root to drive Z:).
std::wstring ProgramPath();

// Output with the runtime's line-end translation undone ("\r\n" -> "\n").
std::string Normalize(const std::string& text);

// Number of handles `process` holds: GetProcessHandleCount, or where that
// reports nothing (Wine), the system's handle table. False when neither works.
bool CountProcessHandles(HANDLE process, DWORD& count);


// A started child program whose standard output and error go to a pipe.
class Child
{
public:
    Child() = default;
    ~Child(); // terminates a child that still runs
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Starts quillosvc.exe with `arguments`; false when it cannot start.
    bool Start(const std::wstring& arguments);
    // Waits for the end; the exit code (0xFFFFFFFF on time-out). The output
    // is collected without waiting for the pipe to end.
    DWORD Finish(DWORD timeoutMs);
    bool Running() const;
    HANDLE Process() const { return m_process.hProcess; }
    // Everything read so far, normalized.
    std::string Output() const { return Normalize(m_output); }

private:
    PROCESS_INFORMATION m_process = {};
    quillo_test::ChildPipe m_pipe;
    std::string m_output;
};

struct RunResult
{
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;
};

// Runs quillosvc.exe with `arguments` to its end.
RunResult RunProgram(const std::wstring& arguments, DWORD timeoutMs = 30000);

// The simulator in this process under a namespace of its own; this process
// (and the children it starts) reach it through KORVEL_SIMULATOR.
class SimFixture
{
public:
    ~SimFixture();
    // Starts with `devices` default devices: 0 or the simulator's status.
    uint32_t Start(unsigned devices = 1);
    const std::wstring& Namespace() const { return m_namespace; }
    std::string Control(const std::string& line) { return m_sim.Control(line); }
    // A "name=value" field of the stats line, or of a dump-model line.
    std::string Stat(const std::string& name);
    std::string ModelValue(const std::string& key);
    // True once a server connection is registered / none is.
    bool ServerRegistered() { return Stat("server") != "-"; }
    size_t ArrivalListeners() { return m_sim.ArrivalListenerCount(); }

private:
    SimServer m_sim;
    std::wstring m_namespace;
};

} // namespace quillosvc_test
