#pragma once
// Test bed of quilloctl's commands: the in-process simulator with two
// devices of one layout, the device server on it, and quilloctl's commands
// run in this process with their output caught.
#include "CtlStopSignal.h"
#include "CustomServer.h"
#include "ServerHarness.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <mutex>
#include <sstream>
#include <string>
#include <vector>

struct CtlRun
{
    int exitCode = -1;
    std::string out;
    std::string err;

    nlohmann::json Json() const { return nlohmann::json::parse(out, nullptr, false); }
    // The "status" of a --json error.
    std::string Status() const;
};

// An output stream that a command writes on one thread while the test reads
// what has arrived so far on another.
class CtlSharedStream : public std::stringbuf
{
public:
    std::string Snapshot();

protected:
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int_type overflow(int_type c) override;
    int sync() override;

private:
    std::recursive_mutex m_lock; // xsputn may call overflow
};

class CtlTestBed : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    CtlRun Run(const std::vector<std::string>& arguments);
    // A file of this test in the temporary folder, removed at the end.
    std::string TempFile(const std::string& name);
    void WriteText(const std::string& path, const std::string& text);
    std::string ReadText(const std::string& path);

    ServerHarness harness;
    CustomServer server;
    CtlStopSignal stop;

private:
    std::vector<std::string> m_files;
};
