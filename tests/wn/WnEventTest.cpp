#include "WnEvent.h"

#include <gtest/gtest.h>

TEST(WnEvent, ManualAndAutoResetSignalling)
{
    WnEvent manual;
    ASSERT_EQ(manual.Create(TRUE, TRUE), 0u);
    EXPECT_EQ(WaitForSingleObject(manual.GetHandle(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual.GetHandle(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(manual.Reset(), 0u);
    EXPECT_EQ(WaitForSingleObject(manual.GetHandle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

    WnEvent automatic;
    ASSERT_EQ(automatic.Create(FALSE, FALSE), 0u);
    EXPECT_EQ(WaitForSingleObject(automatic.GetHandle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(automatic.Set(), 0u);
    EXPECT_EQ(WaitForSingleObject(automatic.GetHandle(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic.GetHandle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(WnEvent, EmptyWrapperReportsInvalidHandle)
{
    WnEvent event;
    EXPECT_EQ(event.GetHandle(), nullptr);
    EXPECT_EQ(event.Set(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    ASSERT_EQ(event.Create(TRUE, FALSE), 0u);
    event.Close();
    event.Close();
    EXPECT_EQ(event.GetHandle(), nullptr);
    EXPECT_EQ(event.Reset(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}
