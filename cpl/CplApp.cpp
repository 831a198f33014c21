#include "CplApp.h"

#include <memory>

#include "MainFrame.h"
#include "WtlDpi.h"
#include "WtlMessageLoop.h"

CplApp::CplApp(HINSTANCE instance, const wchar_t* commandLine)
    : m_instance(instance), m_commandLine(commandLine)
{
}

RECT CplApp::InitialFrameRect()
{
    const int cx = WtlDpi::Scale(nullptr, FRAME_CX);
    const int cy = WtlDpi::Scale(nullptr, FRAME_CY);
    RECT desktop{};
    if (!GetWindowRect(GetDesktopWindow(), &desktop)) {
        return {100, 100, 100 + cx, 100 + cy};
    }
    LONG left = desktop.right / 2 - cx / 2;
    LONG top = desktop.bottom / 2 - cy / 2;
    return {left, top, left + cx, top + cy};
}

int CplApp::Run()
{
    if (m_commandLine.IsExit()) {
        return CplSingleInstance::CloseRunning(MainFrame::WINDOW_CLASS_NAME);
    }
    if (!m_instanceClaim.Claim(MainFrame::WINDOW_CLASS_NAME)) {
        // Raised when it has a window; either way this start ends here.
        (void)CplSingleInstance::RaiseRunning(MainFrame::WINDOW_CLASS_NAME);
        return 1;
    }
    WtlMessageLoop loop;
    auto frame = std::make_unique<MainFrame>(m_instance, m_client, m_eventThread, m_commandLine,
                                             &loop);
    if (frame->CreateFrame(InitialFrameRect()) == nullptr) {
        return 1;
    }
    frame->ShowWindow(m_commandLine.IsHide() ? SW_HIDE : SW_SHOW);
    int result = loop.Run();
    frame.reset();
    return result;
}
