#pragma once
// Faults that tests inject through the control protocol: fail the next
// request of a control code with a given status, delay or drop the replies
// that the server sends. Accessed under the simulator lock.
#include <cstdint>
#include <map>
#include <string>

class SimFaults
{
public:
    // The next request with `code` (from any connection) is answered with
    // `status` and no bytes, without being carried out. One pending failure
    // per code; a second call replaces the status.
    void FailNext(uint32_t code, uint32_t status);

    // True (and the failure consumed) when a failure is pending for `code`.
    bool TakeFailure(uint32_t code, uint32_t& status);

    // Replies (type 2) reach their sender this many milliseconds after the
    // server sent them; 0 delivers at once.
    void SetReplyDelay(uint32_t milliseconds) { m_replyDelayMs = milliseconds; }
    uint32_t ReplyDelayMs() const { return m_replyDelayMs; }

    // The next `count` replies are accepted from the server and discarded.
    void DropReplies(uint32_t count) { m_dropReplies = count; }
    // True (and one drop consumed) when this reply is to be discarded.
    bool TakeReplyDrop();

    void Clear();

    // "fail=0x...:0x...,... delayReplies=<ms> dropReplies=<n>".
    std::string Describe() const;

private:
    std::map<uint32_t, uint32_t> m_failNext;
    uint32_t m_replyDelayMs = 0;
    uint32_t m_dropReplies = 0;
};
