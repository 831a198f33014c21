#pragma once
// What every command works with: its command line, where its results go,
// the stop signal of the commands that run until stopped, and the
// connection, opened only once the command's words have been checked (a
// usage error is told even where no driver is).
#include "CtlCommandLine.h"
#include "CtlConnection.h"
#include "CtlReport.h"
#include "CtlStopSignal.h"
#include "KorvelLog.h"

class CtlContext
{
public:
    CtlContext(const CtlCommandLine& line, CtlReport& report, CtlStopSignal& stop)
        : m_line(line), m_report(report), m_stop(stop)
    {
    }

    const CtlCommandLine& Line() const { return m_line; }
    CtlReport& Report() { return m_report; }
    CtlStopSignal& Stop() { return m_stop; }
    CtlConnection& Connection() { return m_connection; }
    KorvelCplClient& Client() { return m_connection.Client(); }

    // Opens the connection: CTL_EXIT_OK, or the reported exit code.
    int Connect();
    // Connects and finds the device of `serial`: null with `exitCode` set
    // when either fails.
    KorvelDevice* ConnectDevice(const std::string& serial, int& exitCode);

private:
    const CtlCommandLine& m_line;
    CtlReport& m_report;
    CtlStopSignal& m_stop;
    CtlConnection m_connection;
};
