#include "FormErrorBox.h"

#include "KorvelStatus.h"
#include "resource.h"

namespace {

const wchar_t* Explanation(uint32_t status)
{
    switch (status) {
    case KORVEL_STATUS_NOT_IN_HIGH_SPEED_MODE:
        return L"The device is not connected to a USB high-speed port.";
    case KORVEL_STATUS_NO_DEVICES:
        return L"There are no devices connected.";
    case KORVEL_STATUS_NO_STREAMING_DEVICE:
        return L"There is no device selected for streaming.";
    case KORVEL_STATUS_NO_SERVER:
        return L"The quillo service is not running. Start \"quillo control\" in Services "
               L"(services.msc) and try again.";
    case KORVEL_STATUS_TIMEOUT:
        return L"The quillo service does not answer. It may be busy: try again in a moment. "
               L"If it keeps happening, restart \"quillo control\" in Services (services.msc).";
    default:
        return nullptr;
    }
}

} // namespace

std::wstring FormErrorBox::Text(const wchar_t* message, uint32_t status)
{
    std::wstring text = message != nullptr ? message : L"";
    text += L" (Status=";
    for (const char* name = StatusName(status); *name != '\0'; ++name) {
        text += static_cast<wchar_t>(static_cast<unsigned char>(*name));
    }
    text += L").";
    if (const wchar_t* explanation = Explanation(status)) {
        text += L"\n";
        text += explanation;
    }
    return text;
}

std::wstring FormErrorBox::Caption()
{
    wchar_t caption[128] = {};
    if (::LoadStringW(::GetModuleHandleW(nullptr), IDR_MAINFRAME, caption, 128) <= 0) {
        return L"Quillo Control Panel";
    }
    return caption;
}

void FormErrorBox::Show(HWND owner, const wchar_t* message, uint32_t status)
{
    (void)::MessageBoxW(owner, Text(message, status).c_str(), Caption().c_str(),
                        MB_OK | MB_ICONERROR);
}

void FormErrorBox::ShowWarning(HWND owner, const wchar_t* text)
{
    (void)::MessageBoxW(owner, text, Caption().c_str(), MB_OK | MB_ICONEXCLAMATION);
}
