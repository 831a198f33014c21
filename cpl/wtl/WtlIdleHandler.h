#pragma once

// Called when the message queue has become empty; true = call again while
// it stays empty, false = wait for the next message.
class WtlIdleHandler
{
public:
    virtual bool OnIdle() = 0;

protected:
    ~WtlIdleHandler() = default;
};
