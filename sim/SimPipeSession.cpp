#include "SimPipeSession.h"

#include <system_error>

SimPipeSession::SimPipeSession(HANDLE pipe, HANDLE stopEvent, size_t maxMessage, Handler handler,
                               CloseHandler onClose)
    : m_pipe(pipe), m_stopEvent(stopEvent), m_buffer(maxMessage), m_handler(std::move(handler)),
      m_onClose(std::move(onClose))
{
    m_ioEvent.Attach(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

SimPipeSession::~SimPipeSession()
{
    Join();
}

bool SimPipeSession::Start()
{
    bool started = false;
    if (m_ioEvent.IsValid() && m_pipe.IsValid()) {
        try {
            m_thread = std::thread(&SimPipeSession::Run, this);
            started = true;
        } catch (const std::system_error&) {
        }
    }
    if (!started) {
        m_pipe.Close();
        m_onClose();
        m_finished = true;
    }
    return started;
}

void SimPipeSession::Join()
{
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void SimPipeSession::Run()
{
    std::vector<uint8_t> answer;
    while (WaitForSingleObject(m_stopEvent, 0) != WAIT_OBJECT_0) {
        size_t size = 0;
        bool tooLong = false;
        if (!ReadMessage(size, tooLong)) {
            break;
        }
        answer.clear();
        m_handler(m_buffer.data(), size, tooLong, answer);
        if (!WriteMessage(answer)) {
            break;
        }
    }
    // The client's end is gone or the simulator stops: this instance is done.
    DisconnectNamedPipe(m_pipe.GetHandle());
    m_pipe.Close();
    m_onClose();
    m_finished = true;
}

bool SimPipeSession::Complete(OVERLAPPED& overlapped, BOOL started, DWORD& bytes, DWORD& error)
{
    error = started ? ERROR_SUCCESS : GetLastError();
    if (!started && error == ERROR_IO_PENDING) {
        HANDLE waits[2] = {overlapped.hEvent, m_stopEvent};
        DWORD which = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (which != WAIT_OBJECT_0) {
            CancelIoEx(m_pipe.GetHandle(), &overlapped);
            GetOverlappedResult(m_pipe.GetHandle(), &overlapped, &bytes, TRUE);
            error = ERROR_OPERATION_ABORTED;
            return false;
        }
        error = ERROR_SUCCESS;
    } else if (!started && error != ERROR_MORE_DATA) {
        return false;
    }
    if (!GetOverlappedResult(m_pipe.GetHandle(), &overlapped, &bytes, FALSE)) {
        error = GetLastError();
        return error == ERROR_MORE_DATA;
    }
    return true;
}

bool SimPipeSession::ReadMessage(size_t& size, bool& tooLong)
{
    OVERLAPPED overlapped{};
    overlapped.hEvent = m_ioEvent.GetHandle();
    ResetEvent(overlapped.hEvent);
    DWORD bytes = 0;
    DWORD error = 0;
    BOOL started = ReadFile(m_pipe.GetHandle(), m_buffer.data(),
                            static_cast<DWORD>(m_buffer.size()), nullptr, &overlapped);
    if (!Complete(overlapped, started, bytes, error)) {
        return false;
    }
    size = bytes;
    tooLong = error == ERROR_MORE_DATA;
    // The rest of an oversized message is read and thrown away so that the
    // next message starts clean.
    return !tooLong || Drain();
}

bool SimPipeSession::Drain()
{
    std::vector<uint8_t> scratch(4096);
    for (;;) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = m_ioEvent.GetHandle();
        ResetEvent(overlapped.hEvent);
        DWORD bytes = 0;
        DWORD error = 0;
        BOOL started = ReadFile(m_pipe.GetHandle(), scratch.data(),
                                static_cast<DWORD>(scratch.size()), nullptr, &overlapped);
        if (!Complete(overlapped, started, bytes, error)) {
            return false;
        }
        if (error != ERROR_MORE_DATA) {
            return true;
        }
    }
}

bool SimPipeSession::WriteMessage(const std::vector<uint8_t>& message)
{
    OVERLAPPED overlapped{};
    overlapped.hEvent = m_ioEvent.GetHandle();
    ResetEvent(overlapped.hEvent);
    DWORD bytes = 0;
    DWORD error = 0;
    BOOL started = WriteFile(m_pipe.GetHandle(), message.data(), static_cast<DWORD>(message.size()),
                             nullptr, &overlapped);
    return Complete(overlapped, started, bytes, error) && bytes == message.size();
}
