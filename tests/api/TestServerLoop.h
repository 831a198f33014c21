#pragma once
// The server end of the messaging for tests: a driver connection of client
// type 0 and a thread that drains its requests and replies to each with the
// result a test function computes (as the device control service would).
#include "KorvelDriver.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

class TestServerLoop
{
public:
    using ResultOf = std::function<uint32_t(const KorvelMessage& request)>;

    explicit TestServerLoop(ResultOf resultOf);
    ~TestServerLoop();

    // Registers as the server on control device `name` and starts serving.
    DWORD Start(const wchar_t* name);
    void Stop();

    uint32_t Served() const { return m_served.load(); }

private:
    void Run();

    ResultOf m_resultOf;
    KorvelDriver m_connection;
    HANDLE m_stop = nullptr;
    std::thread m_thread;
    std::atomic<uint32_t> m_served{0};
};
