#pragma once
// The output pipe of a child program that a test starts, read without ever
// blocking on it. A plain ReadFile until the pipe ends can wait for ever under
// Wine: a system process (explorer.exe, for one) that the child starts when it
// first creates a window inherits the pipe's write end and keeps it open long
// after the child has ended.
#include <windows.h>

#include <string>

namespace quillo_test {

class ChildPipe
{
public:
    ChildPipe() = default;
    ~ChildPipe();
    ChildPipe(const ChildPipe&) = delete;
    ChildPipe& operator=(const ChildPipe&) = delete;

    // Creates the pipe; WriteEnd() is inheritable, to be handed to the child
    // as its standard output and error and closed with CloseWriteEnd() once
    // the child has started.
    bool Create();
    HANDLE WriteEnd() const { return m_write; }
    void CloseWriteEnd();

    // Appends what can be read now; false once the pipe has ended.
    bool ReadAvailable(std::string& out);
    // Reads until `text` has appeared (true), the pipe has ended or `timeoutMs`
    // has passed (false).
    bool ReadUntil(const std::string& text, std::string& seen, DWORD timeoutMs);

private:
    HANDLE m_read = nullptr;
    HANDLE m_write = nullptr;
};

} // namespace quillo_test
