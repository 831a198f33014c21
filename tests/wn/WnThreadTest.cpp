#include "WnEvent.h"
#include "WnThread.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

// Owner of a thread body bound through the forwarder, as owners in the
// product do: the body reports that it runs, then waits to be released.
class ThreadOwner
{
public:
    ThreadOwner()
    {
        m_forwarder.Bind(this, &ThreadOwner::Body);
        m_running.Create(TRUE, FALSE);
        m_release.Create(TRUE, FALSE);
    }

    DWORD Body()
    {
        m_runs++;
        m_seenThreadId = GetCurrentThreadId();
        m_running.Set();
        WaitForSingleObject(m_release.GetHandle(), 10000);
        return 42;
    }

    WnThreadCallbackForwarderT<ThreadOwner> m_forwarder;
    WnEvent m_running;
    WnEvent m_release;
    std::atomic<int> m_runs{0};
    std::atomic<DWORD> m_seenThreadId{0};
};

} // namespace

TEST(WnThread, SecondStartIsRefusedAndWaitKeepsHandleUntilTheThreadEnds)
{
    ThreadOwner owner;
    WnThread thread;
    ASSERT_EQ(thread.Start(&owner.m_forwarder), 0u);
    HANDLE handle = thread.GetHandle();
    DWORD id = thread.ThreadId();
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(WaitForSingleObject(owner.m_running.GetHandle(), 5000), WAIT_OBJECT_0);
    EXPECT_EQ(owner.m_seenThreadId.load(), id);

    EXPECT_EQ(thread.Start(&owner.m_forwarder), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(thread.Wait(0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(thread.GetHandle(), handle);
    EXPECT_EQ(thread.ThreadId(), id);
    EXPECT_EQ(thread.Start(&owner.m_forwarder), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

    owner.m_release.Set();
    ASSERT_EQ(WaitForSingleObject(handle, 5000), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    ASSERT_TRUE(GetExitCodeThread(handle, &exitCode));
    EXPECT_EQ(exitCode, 42u);
    EXPECT_EQ(owner.m_runs.load(), 1);

    EXPECT_EQ(thread.Wait(0), 0u);
    EXPECT_EQ(thread.GetHandle(), nullptr);
    EXPECT_EQ(thread.ThreadId(), 0u);
    EXPECT_EQ(thread.Wait(0), 0u); // empty

    // Once seen to end, the wrapper starts a thread again.
    ASSERT_EQ(thread.Start(&owner.m_forwarder), 0u);
    EXPECT_EQ(thread.Wait(5000), 0u);
    EXPECT_EQ(owner.m_runs.load(), 2);
}

TEST(WnThread, CreationFlagsArePassedThrough)
{
    ThreadOwner owner;
    owner.m_release.Set();
    WnThread thread;
    ASSERT_EQ(thread.Start(&owner.m_forwarder, 64 * 1024, CREATE_SUSPENDED), 0u);
    EXPECT_EQ(thread.Wait(100), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(owner.m_runs.load(), 0);
    ResumeThread(thread.GetHandle());
    EXPECT_EQ(thread.Wait(5000), 0u);
    EXPECT_EQ(owner.m_runs.load(), 1);
}

TEST(WnThread, NullCallbackAndUnboundForwarder)
{
    WnThread thread;
    EXPECT_EQ(thread.Start(nullptr), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(thread.GetHandle(), nullptr);

    WnThreadCallbackForwarderT<ThreadOwner> unbound;
    ASSERT_EQ(thread.Start(&unbound), 0u);
    HANDLE handle = thread.GetHandle();
    ASSERT_EQ(WaitForSingleObject(handle, 5000), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    GetExitCodeThread(handle, &exitCode);
    EXPECT_EQ(exitCode, static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    EXPECT_EQ(thread.Wait(), 0u);
}

// The thread id belongs to the handle: closing through the base class
// forgets both, and a later Start is not refused by a stale id.
TEST(WnThread, ClosingThroughTheBaseForgetsTheThreadId)
{
    ThreadOwner owner;
    WnThread thread;
    ASSERT_EQ(thread.Start(&owner.m_forwarder), 0u);
    ASSERT_NE(thread.ThreadId(), 0u);
    ASSERT_EQ(WaitForSingleObject(owner.m_running.GetHandle(), 10000), WAIT_OBJECT_0);
    WnHandle& handle = thread;
    handle.Close();
    EXPECT_EQ(thread.ThreadId(), 0u);
    owner.m_release.Set();
    // The body still runs to its end; a second thread can be started.
    owner.m_running.Reset();
    ASSERT_EQ(thread.Start(&owner.m_forwarder), 0u);
    EXPECT_EQ(WaitForSingleObject(owner.m_running.GetHandle(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(thread.ThreadId(), owner.m_seenThreadId.load());
    EXPECT_EQ(thread.Wait(10000), 0u);
}
