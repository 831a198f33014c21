// The pages' message boxes: the error text with the status name and the
// explanation line, and the boxes as a user sees them (owner, caption, icon).
#include "FormErrorBox.h"
#include "KorvelStatus.h"
#include "MessageBoxWatcher.h"
#include "WtlTestHost.h"

#include <gtest/gtest.h>

#include <string>

using cpl_test::MessageBoxWatcher;

TEST(FormErrorBoxTest, TextNamesTheStatusAndExplainsTheOnesAUserCanActOn)
{
    EXPECT_EQ(FormErrorBox::Text(L"Changing the sample rate failed.", KORVEL_STATUS_INTERNAL_ERROR),
              L"Changing the sample rate failed. (Status=KORVEL_STATUS_INTERNAL_ERROR).");
    EXPECT_EQ(FormErrorBox::Text(L"Changing the policy failed.", 0xE00000FE),
              L"Changing the policy failed. (Status=?\?\?).");
    EXPECT_EQ(FormErrorBox::Text(L"Set Bypass volume failed.", KORVEL_STATUS_NO_DEVICES),
              L"Set Bypass volume failed. (Status=KORVEL_STATUS_NO_DEVICES).\n"
              L"There are no devices connected.");
    EXPECT_EQ(FormErrorBox::Text(L"x", KORVEL_STATUS_NOT_IN_HIGH_SPEED_MODE),
              L"x (Status=KORVEL_STATUS_NOT_IN_HIGH_SPEED_MODE).\n"
              L"The device is not connected to a USB high-speed port.");
    EXPECT_EQ(FormErrorBox::Text(L"x", KORVEL_STATUS_NO_STREAMING_DEVICE),
              L"x (Status=KORVEL_STATUS_NO_STREAMING_DEVICE).\n"
              L"There is no device selected for streaming.");
    // The service's two failures say what happened and what to do; the
    // status name stays for support.
    const std::wstring noServer = FormErrorBox::Text(L"x", KORVEL_STATUS_NO_SERVER);
    EXPECT_EQ(noServer.rfind(L"x (Status=KORVEL_STATUS_NO_SERVER).\nThe quillo service is not "
                             L"running. Start \"quillo control\"",
                             0),
              0u)
        << std::string(noServer.begin(), noServer.end());
    const std::wstring timeout = FormErrorBox::Text(L"x", KORVEL_STATUS_TIMEOUT);
    EXPECT_EQ(timeout.rfind(L"x (Status=KORVEL_STATUS_TIMEOUT).\nThe quillo service does not answer.",
                            0),
              0u)
        << std::string(timeout.begin(), timeout.end());
}

TEST(FormErrorBoxTest, BoxesAreOwnedCaptionedAndIconed)
{
    cpl_test::TestInstance();
    cpl_test::WtlTestHost host;
    ASSERT_TRUE(host.CreateHost());
    MessageBoxWatcher watcher;
    FormErrorBox::Show(host.m_hWnd, L"Get the buffer sizes failed.", KORVEL_STATUS_TIMEOUT);
    FormErrorBox::ShowWarning(host.m_hWnd, L"refused");
    const auto boxes = watcher.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].owner, host.m_hWnd);
    EXPECT_EQ(boxes[0].caption, L"Quillo Control Panel");
    EXPECT_EQ(boxes[0].text, FormErrorBox::Text(L"Get the buffer sizes failed.", KORVEL_STATUS_TIMEOUT));
    EXPECT_EQ(boxes[0].icon, MessageBoxWatcher::ErrorIcon());
    EXPECT_EQ(boxes[1].text, L"refused");
    EXPECT_EQ(boxes[1].icon, MessageBoxWatcher::WarningIcon());
    host.DestroyWindow();
}
