#pragma once
// Where a command's result goes: one JSON document on stdout with --json,
// else readable lines; every failure one error on stderr, as a sentence with
// the status name or as {"error": ..., "status": ...}, and the exit code that
// tells a script what happened.
#include <windows.h>

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>

enum CtlExitCode : int
{
    CTL_EXIT_OK = 0,
    CTL_EXIT_REFUSED = 1, // the driver or the service said no
    CTL_EXIT_USAGE = 2,   // the command line is wrong
    CTL_EXIT_ABSENT = 3,  // no driver, or no service to ask
};

class CtlReport
{
public:
    CtlReport(std::ostream& out, std::ostream& err, bool json) : m_out(out), m_err(err), m_json(json)
    {
    }

    bool IsJson() const { return m_json; }

    // The result: `document` with --json, else `text` (nothing when empty).
    int Done(const nlohmann::json& document, const std::string& text);
    // One line of a stream of results (watch, levels --watch), flushed at once.
    void Line(const nlohmann::json& document, const std::string& text);

    // `what` failed with `status`: exit 3 when no driver or service
    // answered, else 1. The sentence reads "<what>: <why> (Status=<name>)."
    int Failed(const std::string& what, DWORD status);
    int Absent(const std::string& what, DWORD status);
    int Refused(const std::string& what, DWORD status);
    // A refusal of the tool's own (a bad file, a pin that is not there).
    int Refused(const std::string& sentence);
    int Usage(const std::string& sentence);

    // Whether a status means that nobody is there to answer.
    static bool IsAbsence(DWORD status);
    // The plain reason for a status ("audio is in use").
    static const char* Reason(DWORD status);

private:
    int Error(int code, const std::string& sentence, const std::string& statusName);

    std::ostream& m_out;
    std::ostream& m_err;
    const bool m_json;
};
