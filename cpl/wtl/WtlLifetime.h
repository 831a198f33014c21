#pragma once
// The life of an object as a flag that outlives it. A handler that runs a
// modal loop (a message box, a dialog, a menu) dispatches messages while it
// waits, and one of them may delete the handler's own object (the page of a
// device that left, say). The handler takes a watch before the loop and
// asks it afterwards whether it may still touch its object:
//
//     const WtlLifetime::Watch alive = m_lifetime.Observe();
//     ::MessageBoxW(...);
//     if (!alive) return; // deleted meanwhile: touch nothing
#include <memory>
#include <utility>

class WtlLifetime
{
public:
    class Watch
    {
    public:
        explicit operator bool() const { return *m_alive; }

    private:
        friend class WtlLifetime;
        explicit Watch(std::shared_ptr<const bool> alive) : m_alive(std::move(alive)) {}
        std::shared_ptr<const bool> m_alive;
    };

    WtlLifetime() : m_alive(std::make_shared<bool>(true)) {}
    ~WtlLifetime() { *m_alive = false; }
    WtlLifetime(const WtlLifetime&) = delete;
    WtlLifetime& operator=(const WtlLifetime&) = delete;

    Watch Observe() const { return Watch(m_alive); }

private:
    std::shared_ptr<bool> m_alive;
};
