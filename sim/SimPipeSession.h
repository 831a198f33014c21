#pragma once
// One connected pipe instance served on a thread of its own: it reads one
// request message at a time, lets the handler build the answer and writes
// it back, until the client closes its end, the pipe fails, or the
// simulator stops. All I/O is overlapped and waits on the stop event too, so
// stopping never hangs on a client that does nothing.
#include "SimHandle.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

class SimPipeSession
{
public:
    // Builds the answer for one request message; `tooLong` says the message
    // was larger than the buffer (its bytes are then not all present).
    using Handler =
        std::function<void(const uint8_t* data, size_t size, bool tooLong, std::vector<uint8_t>&)>;
    // Runs once on the session's thread when the session ends.
    using CloseHandler = std::function<void()>;

    // Takes ownership of `pipe`. `stopEvent` is a manual-reset event owned by
    // the caller that outlives the session.
    SimPipeSession(HANDLE pipe, HANDLE stopEvent, size_t maxMessage, Handler handler,
                   CloseHandler onClose);
    ~SimPipeSession();

    SimPipeSession(const SimPipeSession&) = delete;
    SimPipeSession& operator=(const SimPipeSession&) = delete;

    // Starts the thread; false when it could not be started (the close
    // handler then runs on the caller's thread).
    bool Start();
    bool Finished() const { return m_finished.load(); }
    void Join();

private:
    void Run();
    bool ReadMessage(size_t& size, bool& tooLong);
    bool Drain();
    bool WriteMessage(const std::vector<uint8_t>& message);
    // Waits for the overlapped operation; false when it failed or the
    // simulator stops (the operation is then cancelled). `error` receives the
    // failure (ERROR_MORE_DATA is a success with more bytes to come).
    bool Complete(OVERLAPPED& overlapped, BOOL started, DWORD& bytes, DWORD& error);

    SimHandle m_pipe;
    HANDLE m_stopEvent;
    SimHandle m_ioEvent;
    std::vector<uint8_t> m_buffer;
    Handler m_handler;
    CloseHandler m_onClose;
    std::thread m_thread;
    std::atomic<bool> m_finished{false};
};
