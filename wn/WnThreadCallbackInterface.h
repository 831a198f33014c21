#pragma once

#include <windows.h>

// Body of a thread started by WnThread. The result of Run becomes the
// thread's exit code. Not owned by the thread: the owner keeps it alive for
// as long as the thread runs.
class WnThreadCallbackInterface
{
public:
    WnThreadCallbackInterface() = default;
    virtual ~WnThreadCallbackInterface() = default;

    WnThreadCallbackInterface(const WnThreadCallbackInterface&) = delete;
    WnThreadCallbackInterface& operator=(const WnThreadCallbackInterface&) = delete;

    virtual DWORD Run() = 0;
};

// Routes Run to a member function of an owner, so that the owner can run a
// thread on one of its members without deriving from the interface. Held as
// a member of the owner and bound in the owner's constructor.
template <class Owner> class WnThreadCallbackForwarderT : public WnThreadCallbackInterface
{
public:
    using Member = DWORD (Owner::*)();

    WnThreadCallbackForwarderT() = default;
    ~WnThreadCallbackForwarderT() override = default;

    void Bind(Owner* owner, Member member)
    {
        m_owner = owner;
        m_member = member;
    }

    // An unbound forwarder ends the thread with ERROR_INVALID_FUNCTION rather
    // than calling through a null member pointer.
    DWORD Run() override
    {
        if (m_owner == nullptr || m_member == nullptr) {
            return ERROR_INVALID_FUNCTION;
        }
        return (m_owner->*m_member)();
    }

private:
    Owner* m_owner = nullptr;
    Member m_member = nullptr;
};
