#pragma once

#include <windows.h>

// Receiver of the service control manager's control requests. The result is
// what the control handler returns to the SCM (0 = NO_ERROR).
class WnServiceCallbackInterface
{
public:
    WnServiceCallbackInterface() = default;
    virtual ~WnServiceCallbackInterface() = default;

    WnServiceCallbackInterface(const WnServiceCallbackInterface&) = delete;
    WnServiceCallbackInterface& operator=(const WnServiceCallbackInterface&) = delete;

    virtual DWORD OnControl(DWORD control, DWORD eventType, void* eventData) = 0;
};

// Routes OnControl to a member function of an owner. Held as a member of the
// owner and bound in the owner's constructor.
template <class Owner> class WnServiceCallbackForwarderT : public WnServiceCallbackInterface
{
public:
    using Member = DWORD (Owner::*)(DWORD control, DWORD eventType, void* eventData);

    WnServiceCallbackForwarderT() = default;
    ~WnServiceCallbackForwarderT() override = default;

    void Bind(Owner* owner, Member member)
    {
        m_owner = owner;
        m_member = member;
    }

    // An unbound forwarder tells the SCM the control is not handled.
    DWORD OnControl(DWORD control, DWORD eventType, void* eventData) override
    {
        if (m_owner == nullptr || m_member == nullptr) {
            return ERROR_CALL_NOT_IMPLEMENTED;
        }
        return (m_owner->*m_member)(control, eventType, eventData);
    }

private:
    Owner* m_owner = nullptr;
    Member m_member = nullptr;
};
