#include "TestServerLoop.h"

#include "KorvelStatus.h"

TestServerLoop::TestServerLoop(ResultOf resultOf) : m_resultOf(std::move(resultOf)) {}

TestServerLoop::~TestServerLoop()
{
    Stop();
}

DWORD TestServerLoop::Start(const wchar_t* name)
{
    DWORD status = m_connection.OpenTyped(name, KORVEL_CLIENT_SERVER, true, true);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    m_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_thread = std::thread([this] { Run(); });
    return ERROR_SUCCESS;
}

void TestServerLoop::Stop()
{
    if (m_thread.joinable()) {
        SetEvent(m_stop);
        m_thread.join();
    }
    if (m_stop != nullptr) {
        CloseHandle(m_stop);
        m_stop = nullptr;
    }
    m_connection.CloseAll();
}

void TestServerLoop::Run()
{
    HANDLE waits[2] = {m_connection.MessageEvent(), m_stop};
    while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0) {
        KorvelMessage request;
        while (m_connection.ReceiveMsg(request) == ERROR_SUCCESS) {
            if (request.type != KORVEL_MSG_TYPE_REQUEST) {
                continue;
            }
            KorvelMessage reply;
            reply.InitReply(request, m_resultOf(request));
            ++m_served; // before the reply: a client that has it may count at once
            m_connection.SendMsg(reply);
        }
    }
}
