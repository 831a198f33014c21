#pragma once

#include <windows.h>

// Receiver of the device-interface arrivals and removals that a
// WnPnPNotificator's hidden window gets. `eventType` is the WM_DEVICECHANGE
// wParam (DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE), `eventData` the
// broadcast header. Runs on the notificator's window thread: short,
// thread-safe work only.
class WnPnPNotificatorCallbackInterface
{
public:
    WnPnPNotificatorCallbackInterface() = default;
    virtual ~WnPnPNotificatorCallbackInterface() = default;

    WnPnPNotificatorCallbackInterface(const WnPnPNotificatorCallbackInterface&) = delete;
    WnPnPNotificatorCallbackInterface& operator=(const WnPnPNotificatorCallbackInterface&) = delete;

    virtual void OnDeviceChange(DWORD eventType, void* eventData) = 0;
};

// Routes OnDeviceChange to a member function of an owner. Held as a member of
// the owner and bound in the owner's constructor; unbound it does nothing.
template <class Owner>
class WnPnPNotificatorCallbackForwarderT : public WnPnPNotificatorCallbackInterface
{
public:
    using Member = void (Owner::*)(DWORD eventType, void* eventData);

    WnPnPNotificatorCallbackForwarderT() = default;
    ~WnPnPNotificatorCallbackForwarderT() override = default;

    void Bind(Owner* owner, Member member)
    {
        m_owner = owner;
        m_member = member;
    }

    void OnDeviceChange(DWORD eventType, void* eventData) override
    {
        if (m_owner == nullptr || m_member == nullptr) {
            return;
        }
        (m_owner->*m_member)(eventType, eventData);
    }

private:
    Owner* m_owner = nullptr;
    Member m_member = nullptr;
};
