#include "SimArrivalAnnouncer.h"

namespace {

constexpr char ARRIVAL[] = "arrival";
constexpr char REMOVAL[] = "removal";

} // namespace

SimArrivalAnnouncer::SimArrivalAnnouncer(SimNotifier& driverNotifications)
    : m_driverNotifications(driverNotifications)
{
    m_writeEvent.Attach(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

void SimArrivalAnnouncer::Broadcast(uint32_t code, const void* payload, uint32_t length)
{
    m_driverNotifications.Broadcast(code, payload, length);
}

void SimArrivalAnnouncer::AnnounceArrival()
{
    Announce(ARRIVAL, sizeof(ARRIVAL) - 1);
}

void SimArrivalAnnouncer::AnnounceRemoval()
{
    Announce(REMOVAL, sizeof(REMOVAL) - 1);
}

void SimArrivalAnnouncer::Announce(const char* text, DWORD length)
{
    std::lock_guard guard(m_lock);
    for (auto it = m_listeners.begin(); it != m_listeners.end();) {
        if (Write(it->GetHandle(), m_writeEvent.GetHandle(), text, length)) {
            ++it;
        } else {
            it = m_listeners.erase(it); // the waiter went away
        }
    }
}

bool SimArrivalAnnouncer::Write(HANDLE pipe, HANDLE event, const char* text, DWORD length)
{
    if (event == nullptr) {
        return false;
    }
    ResetEvent(event);
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    DWORD error = ERROR_SUCCESS;
    if (!WriteFile(pipe, text, length, nullptr, &overlapped)) {
        error = GetLastError();
    }
    if (error != ERROR_SUCCESS && error != ERROR_IO_PENDING) {
        return false;
    }
    if (WaitForSingleObject(event, WRITE_WAIT_MS) != WAIT_OBJECT_0) {
        CancelIo(pipe);
        (void)WaitForSingleObject(event, WRITE_WAIT_MS);
        return false;
    }
    DWORD bytes = 0;
    return GetOverlappedResult(pipe, &overlapped, &bytes, FALSE) != FALSE;
}

void SimArrivalAnnouncer::AddListener(HANDLE pipe)
{
    std::lock_guard guard(m_lock);
    m_listeners.emplace_back(pipe);
}

void SimArrivalAnnouncer::CloseAll()
{
    std::lock_guard guard(m_lock);
    m_listeners.clear();
}

size_t SimArrivalAnnouncer::ListenerCount()
{
    std::lock_guard guard(m_lock);
    return m_listeners.size();
}
