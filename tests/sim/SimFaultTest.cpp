// Fault injection, cleanup after clients that die, the control pipe and the
// protocol trace.
#include "SimCoreFixture.h"

#include "KorvelIoctl.h"
#include "KorvelMessage.h"
#include "KorvelRecords.h"
#include "KorvelStatus.h"
#include "ChildPipe.h"
#include "ProgramDirectory.h"
#include "SimConfigFile.h"
#include "SimControlClient.h"
#include "SimTestEvent.h"
#include "SimTrace.h"

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

// Starts sim_test_client.exe (built beside this test) and waits for READY.
class ChildClient
{
public:
    bool Start(const std::wstring& nameSpace, const std::wstring& arguments)
    {
        std::wstring path = quillo_test::ProgramDirectory() + L"sim_test_client.exe";
        std::wstring command = L"\"" + path + L"\" " + nameSpace + L" " + arguments;

        quillo_test::ChildPipe pipe;
        if (!pipe.Create()) {
            return false;
        }
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = pipe.WriteEnd();
        startup.hStdError = pipe.WriteEnd();
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        BOOL created = CreateProcessW(path.c_str(), command.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &m_process);
        pipe.CloseWriteEnd();
        std::string output;
        return created && pipe.ReadUntil("READY", output, 15000);
    }

    void Kill()
    {
        if (m_process.hProcess != nullptr) {
            TerminateProcess(m_process.hProcess, 9);
            WaitForSingleObject(m_process.hProcess, 5000);
            CloseHandle(m_process.hProcess);
            CloseHandle(m_process.hThread);
            m_process = {};
        }
    }

    ~ChildClient() { Kill(); }

private:
    PROCESS_INFORMATION m_process{};
};

} // namespace

using SimFaultTest = SimCoreFixture;

TEST_F(SimFaultTest, InjectedFailureHitsOnlyTheNextRequestOfItsCode)
{
    SimTestLink link;
    OpenLink(link);
    std::string answer = m_sim.Control("fault fail 80882004 E0000005");
    EXPECT_EQ(answer.rfind("OK", 0), 0u) << answer;
    SimTestAnswer version = link.Request(IOCTL_KORVEL_GET_VERSION, nullptr, 0, 24);
    EXPECT_EQ(version.status, KORVEL_STATUS_TIMEOUT);
    EXPECT_EQ(version.bytesReturned, 0u);
    EXPECT_EQ(link.Request(IOCTL_KORVEL_GET_VERSION, nullptr, 0, 24).status, 0u);

    EXPECT_EQ(m_sim.Control("fault fail 0x80882064 0xE0000011").rfind("OK", 0), 0u);
    EXPECT_EQ(m_sim.Control("fault clear").rfind("OK", 0), 0u);
    EXPECT_EQ(link.SetClientType(KORVEL_CLIENT_PANEL), 0u);

    EXPECT_EQ(m_sim.Control("fault fail xyz 1").rfind("ERR", 0), 0u);
    EXPECT_EQ(m_sim.Control("fault fail 80882004").rfind("ERR", 0), 0u);
    EXPECT_EQ(m_sim.Control("fault drop-replies -1").rfind("ERR", 0), 0u);
}

TEST_F(SimFaultTest, RepliesCanBeDroppedAndDelayed)
{
    SimTestLink server;
    SimTestLink panel;
    OpenLink(server);
    OpenLink(panel);
    SimTestEvent replies;
    ASSERT_EQ(panel.RegisterEvents(replies.handle, nullptr), 0u);
    ASSERT_EQ(server.SetClientType(KORVEL_CLIENT_SERVER), 0u);
    ASSERT_EQ(panel.SetClientType(KORVEL_CLIENT_PANEL), 0u);
    auto exchange = [&](uint32_t sequence) {
        uint32_t rate = 44100;
        EXPECT_EQ(panel.SendMsg(KORVEL_MSG_TYPE_REQUEST, 1001, sequence, &rate, 4), 0u);
        std::vector<uint8_t> request;
        EXPECT_EQ(server.Receive(false, request), 0u);
        return server.SendMsg(KORVEL_MSG_TYPE_REPLY, KORVEL_MSG_REPLY, sequence, nullptr, 0,
                              Word(request, 20), Word(request, 24));
    };
    std::vector<uint8_t> reply;

    ASSERT_EQ(m_sim.Control("fault drop-replies 1").rfind("OK", 0), 0u);
    EXPECT_EQ(exchange(1), 0u); // the server cannot tell
    EXPECT_EQ(panel.Receive(false, reply), KORVEL_STATUS_NO_MORE_ITEMS);
    EXPECT_EQ(exchange(2), 0u);
    EXPECT_EQ(panel.Receive(false, reply), 0u);
    EXPECT_EQ(Word(reply, 16), 2u);

    ASSERT_EQ(m_sim.Control("fault delay-replies 300").rfind("OK", 0), 0u);
    DWORD start = GetTickCount();
    EXPECT_EQ(exchange(3), 0u);
    EXPECT_EQ(panel.Receive(false, reply), KORVEL_STATUS_NO_MORE_ITEMS);
    while (panel.Receive(false, reply) == KORVEL_STATUS_NO_MORE_ITEMS &&
           GetTickCount() - start < 5000) {
        Sleep(5);
    }
    EXPECT_GE(GetTickCount() - start, 250u);
    EXPECT_EQ(Word(reply, 16), 3u);
    EXPECT_NE(m_sim.Control("stats").find("repliesDropped=1"), std::string::npos);
}

TEST_F(SimFaultTest, KilledClientsLeaveNoRegistrationBehind)
{
    // A server that dies frees the server slot.
    ChildClient deadServer;
    ASSERT_TRUE(deadServer.Start(m_ns, L"0"));
    ASSERT_TRUE(WaitForStats("connections=1 server=1 "));
    SimTestLink server;
    OpenLink(server);
    EXPECT_EQ(server.SetClientType(KORVEL_CLIENT_SERVER), KORVEL_STATUS_ALREADY_DONE);
    deadServer.Kill();
    ASSERT_TRUE(WaitForStats("connections=1 server=-"));
    ASSERT_EQ(server.SetClientType(KORVEL_CLIENT_SERVER), 0u);

    // A client that dies with its request in flight: the late reply is
    // accepted and goes nowhere.
    ChildClient deadClient;
    ASSERT_TRUE(deadClient.Start(m_ns, L"2 request"));
    std::vector<uint8_t> request;
    ASSERT_EQ(server.Receive(false, request), 0u);
    EXPECT_EQ(Word(request, 16), 77u);
    deadClient.Kill();
    ASSERT_TRUE(WaitForStats("connections=1 "));
    EXPECT_EQ(server.SendMsg(KORVEL_MSG_TYPE_REPLY, KORVEL_MSG_REPLY, 77, nullptr, 0,
                             Word(request, 20), Word(request, 24)),
              0u);
    EXPECT_NE(m_sim.Control("stats").find("pending=0 "), std::string::npos);
    EXPECT_NE(m_sim.Control("stats").find("repliesOrphaned=1 "), std::string::npos);
}

TEST_F(SimFaultTest, RequestsForADeadServerAreDropped)
{
    SimTestLink server;
    SimTestLink panel;
    OpenLink(server);
    OpenLink(panel);
    SimTestEvent replies;
    ASSERT_EQ(panel.RegisterEvents(replies.handle, nullptr), 0u);
    ASSERT_EQ(server.SetClientType(KORVEL_CLIENT_SERVER), 0u);
    ASSERT_EQ(panel.SetClientType(KORVEL_CLIENT_PANEL), 0u);
    ASSERT_EQ(panel.SendMsg(KORVEL_MSG_TYPE_REQUEST, 1005, 1, "\0\0\0\0", 4), 0u);
    server.Close();
    ASSERT_TRUE(WaitForStats("connections=1 server=- pending=0 requestsRouted=1 requestsLost=1"));
    EXPECT_EQ(panel.SendMsg(KORVEL_MSG_TYPE_REQUEST, 1005, 2, "\0\0\0\0", 4),
              KORVEL_STATUS_NO_SERVER);
}

TEST_F(SimFaultTest, ControlPipeAnswersCommands)
{
    std::string answer;
    ASSERT_EQ(SimControlClient::Send(m_ns, "ping", answer), 0u);
    EXPECT_EQ(answer, "OK");
    ASSERT_EQ(SimControlClient::Send(m_ns, "no-such-command 1", answer), 0u);
    EXPECT_EQ(answer.rfind("ERR", 0), 0u);
    ASSERT_EQ(SimControlClient::Send(m_ns, "version 3 0", answer), 0u);
    EXPECT_NE(answer.find("interface=3.0"), std::string::npos);
    ASSERT_EQ(SimControlClient::Send(m_ns, std::string(5000, 'x'), answer), 0u);
    EXPECT_EQ(answer, "ERR command too long");

    EXPECT_EQ(WaitForSingleObject(m_sim.StopRequestedEvent(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    ASSERT_EQ(SimControlClient::Send(m_ns, "stop", answer), 0u);
    EXPECT_EQ(WaitForSingleObject(m_sim.StopRequestedEvent(), 0), WAIT_OBJECT_0);
    EXPECT_NE(SimControlClient::Send(L"simcore-nobody-serves-this", "ping", answer), 0u);

    // Stopping does not wait for clients that still hold connections.
    SimTestLink idle;
    OpenLink(idle);
    m_sim.Stop();
    EXPECT_NE(idle.Request(IOCTL_KORVEL_GET_VERSION, nullptr, 0, 24).transport, 0u);
}

// The control pipe and the config file read one word syntax: quotes hold
// blanks, numbers are decimal or 0x-hex, codes and statuses hex.
TEST_F(SimFaultTest, ControlPipeReadsWordsLikeTheConfigFile)
{
    std::string answer;
    ASSERT_EQ(SimControlClient::Send(m_ns, "plug 4b56 0010 QX1 \"quillo 16\" flags=0x100", answer),
              0u);
    EXPECT_EQ(answer.rfind("OK", 0), 0u) << answer;
    ASSERT_EQ(SimControlClient::Send(m_ns, "dump-model", answer), 0u);
    EXPECT_NE(answer.find("name=quillo 16\n"), std::string::npos) << answer;
    std::vector<SimDeviceConfig> fromFile;
    std::string error;
    ASSERT_EQ(SimConfigFile::Parse("4b56 0010 QX1 \"quillo 16\" flags=0x100\n", fromFile, error),
              0u);
    ASSERT_EQ(fromFile.size(), 1u);
    EXPECT_EQ(fromFile[0].name, "quillo 16");

    ASSERT_EQ(SimControlClient::Send(m_ns, "plug \"unterminated", answer), 0u);
    EXPECT_EQ(answer, "ERR unterminated quote");
    ASSERT_EQ(SimControlClient::Send(m_ns, "fault fail 0x80882004 E0000004", answer), 0u);
    EXPECT_EQ(answer.rfind("OK", 0), 0u) << answer;
    SimTestLink link;
    OpenLink(link);
    EXPECT_EQ(link.Request(IOCTL_KORVEL_GET_VERSION, nullptr, 0, 24).status,
              KORVEL_STATUS_NO_RESOURCES);
}

TEST(SimTraceTest, LineFormat)
{
    SimTraceEntry entry;
    entry.connection = 3;
    entry.processId = 120;
    entry.code = 0x80882004;
    entry.outCapacity = 24;
    entry.bytesReturned = 24;
    EXPECT_EQ(SimTrace::FormatLine(1, 15, entry),
              "seq=1 t_ms=15 conn=3 pid=120 type=- dev=- code=0x80882004 in=0 out=24 "
              "status=0x00000000 ret=24");
    entry.clientType = 2;
    entry.bound = true;
    entry.keyWord0 = 17;
    entry.keyWord1 = 4;
    entry.status = 0xE0000035;
    entry.bytesReturned = 0;
    EXPECT_EQ(SimTrace::FormatLine(12, 0, entry),
              "seq=12 t_ms=0 conn=3 pid=120 type=2 dev=17:4 code=0x80882004 in=0 out=24 "
              "status=0xE0000035 ret=0");
}

TEST_F(SimFaultTest, TraceHasOneLinePerRequestInOrder)
{
    wchar_t directory[MAX_PATH];
    GetTempPathW(MAX_PATH, directory);
    std::wstring path = std::wstring(directory) + m_ns + L".trace";
    SimServerOptions options;
    options.tracePath = path;
    ASSERT_EQ(StartSim(options), 0u);
    {
        SimTestLink link;
        OpenLink(link);
        link.Request(IOCTL_KORVEL_GET_VERSION, nullptr, 0, 24);
        link.SetClientType(KORVEL_CLIENT_PANEL);
        link.Raw({1, 2, 3});
    }
    m_sim.Stop();

    std::ifstream file{std::filesystem::path(path)};
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        lines.push_back(line);
    }
    file.close();
    DeleteFileW(path.c_str());
    ASSERT_EQ(lines.size(), 3u);
    std::string pid = std::to_string(GetCurrentProcessId());
    std::regex format(
        "seq=(\\d+) t_ms=\\d+ conn=(\\d+) pid=(\\d+) type=(-|\\d+) dev=(-|\\d+:\\d+) "
        "code=0x([0-9A-F]{8}) in=(\\d+) out=(\\d+) status=0x([0-9A-F]{8}) ret=(\\d+)");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[0], match, format)) << lines[0];
    EXPECT_EQ(match[1], "1");
    EXPECT_EQ(match[3], pid);
    EXPECT_EQ(match[4], "-");
    EXPECT_EQ(match[6], "80882004");
    EXPECT_EQ(match[8], "24");
    EXPECT_EQ(match[10], "24");
    ASSERT_TRUE(std::regex_match(lines[1], match, format)) << lines[1];
    EXPECT_EQ(match[1], "2");
    EXPECT_EQ(match[4], "2");
    EXPECT_EQ(match[6], "80882064");
    EXPECT_EQ(match[7], "4");
    ASSERT_TRUE(std::regex_match(lines[2], match, format)) << lines[2];
    EXPECT_EQ(match[9], "E0000030");
}
