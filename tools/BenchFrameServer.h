#pragma once
// A minimal stand-in for the kernel driver behind the simulator link, for
// measuring the link itself: it serves \\.\pipe\<namespace>\<name>, one
// thread per connection, answers the version and streaming-state requests
// with fixed records, and routes request messages through an in-program
// server loop that replies at once. No tracing, no checks beyond framing, so
// that what is measured is the link and the wake-ups.
#include <windows.h>

#include "KorvelMessage.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class BenchFrameServer
{
public:
    BenchFrameServer(const std::wstring& nameSpace, const std::wstring& name);
    ~BenchFrameServer();

    BenchFrameServer(const BenchFrameServer&) = delete;
    BenchFrameServer& operator=(const BenchFrameServer&) = delete;

    bool Start();
    void Stop();
    const std::wstring& PipePath() const { return m_path; }

private:
    struct Connection
    {
        std::mutex lock;
        std::deque<KorvelMessage> messages;
        HANDLE messageEvent = nullptr;
    };
    struct Pending
    {
        std::shared_ptr<Connection> connection;
        KorvelMessage request;
    };

    void Listen();
    void Serve(HANDLE pipe, std::shared_ptr<Connection> connection);
    void ServerLoop();
    uint32_t Handle(Connection& connection, const std::shared_ptr<Connection>& self, uint32_t code,
                    const uint8_t* in, uint32_t inLength, uint8_t* out, uint32_t outCapacity,
                    uint32_t& bytesReturned);

    std::wstring m_path;
    std::atomic<bool> m_stopping{false};
    HANDLE m_serverWake = nullptr;
    HANDLE m_firstInstance = INVALID_HANDLE_VALUE;
    std::thread m_listener;
    std::thread m_server;
    std::mutex m_lock;
    std::vector<std::thread> m_sessions;
    std::deque<Pending> m_inbox;
};
