#include "ServerHarness.h"

#include "KorvelIoctl.h"
#include "KorvelLinkFrame.h"
#include "KorvelStatus.h"

#include <atomic>
#include <sstream>

namespace {
std::atomic<unsigned> g_instance{0};
}

ServerHarness::ServerHarness()
{
    m_namespace =
        L"srvtest-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++g_instance);
    m_stop.Create(TRUE, FALSE);
    m_arrival.Create(FALSE, FALSE);
    m_serveDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

ServerHarness::~ServerHarness()
{
    if (m_serveThread.joinable()) {
        StopServe();
    }
    m_client.CloseAll();
    m_sim.Stop();
    CloseHandle(m_serveDone);
    SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, nullptr);
}

uint32_t ServerHarness::StartSim(unsigned devices, const std::wstring& tracePath)
{
    SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, m_namespace.c_str());
    SimServerOptions options;
    options.nameSpace = m_namespace;
    options.devices = devices;
    options.tracePath = tracePath;
    return m_sim.Start(options);
}

std::string ServerHarness::ModelValue(const std::string& key)
{
    std::istringstream lines(Control("dump-model"));
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.compare(0, key.size() + 1, key + "=") == 0) {
            return line.substr(key.size() + 1);
        }
    }
    return "";
}

void ServerHarness::StartServe(KorvelServer& server)
{
    Client(); // so that the server's first notifications reach it
    ResetEvent(m_serveDone);
    m_serveThread = std::thread([this, &server] {
        m_serveResult = server.Serve(m_stop.GetHandle(), m_arrival.GetHandle());
        SetEvent(m_serveDone);
    });
}

bool ServerHarness::ServeEnded(DWORD timeoutMs)
{
    return WaitForSingleObject(m_serveDone, timeoutMs) == WAIT_OBJECT_0;
}

DWORD ServerHarness::StopServe()
{
    m_stop.Set();
    if (m_serveThread.joinable()) {
        m_serveThread.join();
    }
    m_stop.Reset();
    return m_serveResult;
}

KorvelClient& ServerHarness::Client()
{
    if (!m_client.IsOpen()) {
        m_client.OpenPanel(KORVEL_CONTROL_DEVICE_NAME);
    }
    return m_client;
}

DWORD ServerHarness::Exchange(uint32_t code, const void* payload, uint32_t length,
                              KorvelMessage& reply)
{
    KorvelMessage request;
    request.Init(KORVEL_MSG_TYPE_REQUEST, code);
    DWORD status = request.SetPayload(payload, length);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return Client().Exchange(request, reply, WAIT_MS);
}

void ServerHarness::Collect()
{
    KorvelMessage message;
    while (Client().ReceiveNextNotification(message) == ERROR_SUCCESS) {
        m_received.push_back(message.code);
    }
}

bool ServerHarness::WaitNotification(uint32_t code, DWORD timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        Collect();
        while (!m_received.empty()) {
            uint32_t next = m_received.front();
            m_received.pop_front();
            if (next == code) {
                return true;
            }
        }
        ULONGLONG now = GetTickCount64();
        if (now >= end) {
            return false;
        }
        WaitForSingleObject(Client().NotificationEvent(), static_cast<DWORD>(end - now));
    }
}

std::deque<uint32_t> ServerHarness::TakeNotifications()
{
    Collect();
    std::deque<uint32_t> taken;
    taken.swap(m_received);
    return taken;
}

bool ServerHarness::SyncWithServer()
{
    // A 3030 already queued would end the wait too early.
    Collect();
    m_received.clear();
    Control("notify 3020");
    return WaitNotification(KORVEL_NOTIFY_DEVICES_CHANGED);
}

bool ServerHarness::WaitFor(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() >= end) {
            return false;
        }
        Sleep(5);
    }
    return true;
}
