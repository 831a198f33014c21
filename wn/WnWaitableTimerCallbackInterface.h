#pragma once

#include <windows.h>

// Receiver of the completions of a WnWaitableTimer. `low` and `high` are the
// halves of the timer value the system passes to the completion routine. Not
// owned by the timer: the owner keeps it alive for as long as the timer is armed.
class WnWaitableTimerCallbackInterface
{
public:
    WnWaitableTimerCallbackInterface() = default;
    virtual ~WnWaitableTimerCallbackInterface() = default;

    WnWaitableTimerCallbackInterface(const WnWaitableTimerCallbackInterface&) = delete;
    WnWaitableTimerCallbackInterface& operator=(const WnWaitableTimerCallbackInterface&) = delete;

    virtual void OnTimer(DWORD low, DWORD high) = 0;
};

// Routes OnTimer to a member function of an owner. Held as a member of the
// owner and bound in the owner's constructor.
template <class Owner>
class WnWaitableTimerCallbackForwarderT : public WnWaitableTimerCallbackInterface
{
public:
    using Member = void (Owner::*)(DWORD low, DWORD high);

    WnWaitableTimerCallbackForwarderT() = default;
    ~WnWaitableTimerCallbackForwarderT() override = default;

    void Bind(Owner* owner, Member member)
    {
        m_owner = owner;
        m_member = member;
    }

    // A completion reaching an unbound forwarder is ignored.
    void OnTimer(DWORD low, DWORD high) override
    {
        if (m_owner == nullptr || m_member == nullptr) {
            return;
        }
        (m_owner->*m_member)(low, high);
    }

private:
    Owner* m_owner = nullptr;
    Member m_member = nullptr;
};
