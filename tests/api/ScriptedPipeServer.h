#pragma once
// A small scripted stand-in for the kernel driver behind the simulator link,
// for the cases a faithful simulator cannot produce: malformed answer frames,
// replies with a foreign sequence number or an unexpected code, and which
// pipe name a connection really opens. It serves the pipe
// \\.\pipe\<namespace>\<name> in this process, one thread per connection,
// answers the basic requests itself and lets a test script the rest.
#include <windows.h>

#include "KorvelMessage.h"
#include "KorvelRecords.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ScriptedPipeServer
{
public:
    struct Call
    {
        uint32_t connection;
        uint32_t code;
        std::vector<uint8_t> in;
        uint32_t outCapacity;
    };

    // Called for every request message a connection sends (under no lock);
    // the script answers with QueueMessage.
    using ReplyScript = std::function<void(uint32_t connection, const KorvelMessage& request)>;

    // Serves \\.\pipe\<nameSpace>\<pipeName>.
    ScriptedPipeServer(const std::wstring& nameSpace, const std::wstring& pipeName);
    ~ScriptedPipeServer();

    ScriptedPipeServer(const ScriptedPipeServer&) = delete;
    ScriptedPipeServer& operator=(const ScriptedPipeServer&) = delete;

    bool Start();
    void Stop();

    // A namespace no other test program uses at the same time.
    static std::wstring UniqueNamespace();

    // --- Script knobs ---------------------------------------------------------
    void SetVersionMajor(uint32_t major);
    // The device list; `reportedCount` is what the count field says.
    void SetDevices(const std::vector<KorvelDeviceInfo>& devices, uint32_t reportedCount);
    void SetDevices(const std::vector<KorvelDeviceInfo>& devices);
    // The next request with `code` completes with `status` and no bytes.
    void FailNext(uint32_t code, uint32_t status);
    // The next answer to `code` is exactly `frame` (header included).
    void SetRawAnswer(uint32_t code, const std::vector<uint8_t>& frame);
    // Every answer to `code` carries `out` (status 0), for every code, the
    // receive requests included (a peer that never runs empty).
    void SetOutput(uint32_t code, const std::vector<uint8_t>& out);
    // Each request is held this long before it is answered.
    void SetAnswerDelay(DWORD milliseconds) { m_answerDelayMs = milliseconds; }
    void SetReplyScript(ReplyScript script);
    // Queues a message for `connection`'s RECEIVE_MESSAGE and, when asked,
    // signals its registered message event.
    void QueueMessage(uint32_t connection, const KorvelMessage& message, bool signal);
    void QueueNotification(uint32_t connection, const KorvelMessage& message, bool signal);

    // --- Observations -----------------------------------------------------------
    std::vector<Call> Calls() const;
    size_t CountCalls(uint32_t code) const;
    uint32_t LastClientType(uint32_t connection) const;
    KorvelEventRegistration LastRegistration(uint32_t connection) const;
    size_t ConnectionsAccepted() const { return m_accepted.load(); }
    size_t ConnectionsClosed() const { return m_closed.load(); }
    // Waits until `count` connections have been closed by their clients.
    bool WaitClosed(size_t count, DWORD timeoutMs) const;
    // Sequence numbers of the requests seen, in order.
    std::vector<uint32_t> RequestSequences() const;

private:
    struct Connection
    {
        uint32_t id = 0;
        uint32_t clientType = 0xFFFFFFFFu;
        KorvelEventRegistration events{};
        std::vector<KorvelMessage> messages;
        std::vector<KorvelMessage> notifications;
    };

    void Listen();
    void Serve(HANDLE pipe, uint32_t id);
    std::vector<uint8_t> Answer(uint32_t id, const uint8_t* frame, DWORD size);
    uint32_t Handle(Connection& connection, uint32_t code, const std::vector<uint8_t>& in,
                    uint32_t outCapacity, std::vector<uint8_t>& out, bool& runScript,
                    KorvelMessage& request);
    static uint32_t Pop(std::vector<KorvelMessage>& queue, std::vector<uint8_t>& out);
    static bool WaitIo(HANDLE handle, OVERLAPPED& overlapped, BOOL started, HANDLE stop,
                       DWORD& bytes, DWORD& error);

    std::wstring m_path;
    HANDLE m_stop = nullptr;
    std::thread m_listener;
    std::vector<std::thread> m_sessions;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    uint32_t m_versionMajor = 2;
    std::vector<KorvelDeviceInfo> m_devices;
    uint32_t m_reportedCount = 0;
    std::map<uint32_t, uint32_t> m_failNext;
    std::map<uint32_t, std::vector<uint8_t>> m_rawAnswers;
    std::map<uint32_t, std::vector<uint8_t>> m_outputs;
    ReplyScript m_script;
    std::map<uint32_t, Connection> m_connections;
    std::vector<Call> m_calls;
    std::vector<uint32_t> m_sequences;
    std::atomic<DWORD> m_answerDelayMs{0};
    std::atomic<size_t> m_accepted{0};
    std::atomic<size_t> m_closed{0};
};
