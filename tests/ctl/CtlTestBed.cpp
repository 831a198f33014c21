#include "CtlTestBed.h"

#include "CtlApp.h"
#include "CtlFile.h"
#include "CtlText.h"
#include "KorvelMessage.h"

std::string CtlRun::Status() const
{
    const nlohmann::json error = nlohmann::json::parse(err, nullptr, false);
    return error.is_object() && error.contains("status") ? error["status"].get<std::string>() : "";
}

std::string CtlSharedStream::Snapshot()
{
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    return str();
}

std::streamsize CtlSharedStream::xsputn(const char* text, std::streamsize count)
{
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    return std::stringbuf::xsputn(text, count);
}

CtlSharedStream::int_type CtlSharedStream::overflow(int_type c)
{
    std::lock_guard<std::recursive_mutex> hold(m_lock);
    return std::stringbuf::overflow(c);
}

int CtlSharedStream::sync()
{
    return 0;
}

void CtlTestBed::SetUp()
{
    ASSERT_EQ(harness.StartSim(0), 0u);
    ASSERT_EQ(harness.Control("plug serial=AAA1").rfind("OK", 0), 0u);
    ASSERT_EQ(harness.Control("plug serial=BBB2").rfind("OK", 0), 0u);
    harness.Client();
    harness.StartServe(server);
    ASSERT_TRUE(harness.WaitNotification(KORVEL_NOTIFY_DEVICES_CHANGED))
        << "the server did not announce its devices";
}

void CtlTestBed::TearDown()
{
    harness.StopServe();
    for (const std::string& file : m_files) {
        DeleteFileW(CtlText::Wide(file).c_str());
    }
}

CtlRun CtlTestBed::Run(const std::vector<std::string>& arguments)
{
    std::ostringstream out;
    std::ostringstream err;
    CtlRun run;
    run.exitCode = CtlApp::Run(arguments, out, err, stop);
    run.out = out.str();
    run.err = err.str();
    return run;
}

std::string CtlTestBed::TempFile(const std::string& name)
{
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::string path = CtlText::Utf8(folder) + "ctltest-" +
                             std::to_string(GetCurrentProcessId()) + "-" + name;
    m_files.push_back(path);
    return path;
}

void CtlTestBed::WriteText(const std::string& path, const std::string& text)
{
    ASSERT_EQ(CtlFile::Write(CtlText::Wide(path), text), 0u) << path;
}

std::string CtlTestBed::ReadText(const std::string& path)
{
    std::string text;
    EXPECT_EQ(CtlFile::Read(CtlText::Wide(path), text), 0u) << path;
    return text;
}
