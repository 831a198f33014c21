#include "FormBufferSettings.h"

#include "WtlWaitCursor.h"
#include "KorvelRecords.h"

#include <cstdio>

namespace {

constexpr const wchar_t* kStreamingClassNames[KORVEL_STREAMING_BUFFER_CLASS_COUNT] = {
    L"Minimum", L"ExtraSmall", L"Small", L"Large", L"ExtraLarge", L"Safe"};
constexpr const wchar_t* kAsioClassNames[KORVEL_ASIO_BUFFER_CLASS_COUNT] = {L"Minimum", L"Small",
                                                                            L"Large", L"Maximum"};

} // namespace

std::span<const wchar_t* const> FormBufferSettings::StreamingClassNames()
{
    return kStreamingClassNames;
}

std::span<const wchar_t* const> FormBufferSettings::AsioClassNames()
{
    return kAsioClassNames;
}

const wchar_t* FormBufferSettings::ClassName(std::span<const wchar_t* const> names, uint32_t sizeClass)
{
    return sizeClass < names.size() ? names[sizeClass] : L"unknown";
}

std::wstring FormBufferSettings::StreamingLatencyText(uint32_t latencyUs)
{
    wchar_t text[48];
    std::swprintf(text, 48, L"%u.%1u millisecs\n", latencyUs / 1000, (latencyUs % 1000) / 100);
    return text;
}

std::wstring FormBufferSettings::AsioLatencyText(uint32_t latencyUs, uint32_t samples)
{
    wchar_t text[64];
    std::swprintf(text, 64, L"%u.%1u millisecs\n%u samples", latencyUs / 1000,
                  (latencyUs % 1000) / 100, samples);
    return text;
}

LRESULT FormBufferSettings::OnInitForm()
{
    m_streamingClasses = FormDropDownList(GetDlgItem(IDC_BUFFER_STREAM_LIST));
    m_asioClasses = FormDropDownList(GetDlgItem(IDC_BUFFER_ASIO_LIST));
    Fill(m_streamingClasses, StreamingClassNames());
    Fill(m_asioClasses, AsioClassNames());
    return 0;
}

void FormBufferSettings::Fill(FormDropDownList& list, std::span<const wchar_t* const> names)
{
    for (size_t i = 0; i < names.size(); ++i) {
        list.Add(names[i], static_cast<uint32_t>(i));
    }
}

void FormBufferSettings::RefreshForm()
{
    KorvelBufferSizes sizes{};
    if (!m_client.IsOpen() || m_client.GetBufferSizes(sizes) != 0) {
        EnableControls(false);
        return;
    }
    // A class the tables do not name matches no item: the selection stays.
    m_streamingClasses.SelectText(ClassName(StreamingClassNames(), sizes.streamingSizeClass));
    m_asioClasses.SelectText(ClassName(AsioClassNames(), sizes.asioSizeClass));
    EnableControls(true);
    SetDlgItemText(IDC_BUFFER_STREAM_LATENCY, StreamingLatencyText(sizes.streamingLatencyUs).c_str());
    SetDlgItemText(IDC_BUFFER_ASIO_LATENCY,
                   AsioLatencyText(sizes.asioLatencyUs, sizes.asioBufferSize).c_str());
}

bool FormBufferSettings::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam,
                                              LPARAM lParam, LRESULT& result)
{
    if (message == WM_COMMAND && LOWORD(wParam) == IDC_BUFFER_APPLY && HIWORD(wParam) == BN_CLICKED) {
        ApplySizes();
        result = 0;
        return true;
    }
    return FormBaseImpl<FormBufferSettings>::ProcessWindowMessage(hwnd, message, wParam, lParam,
                                                                  result);
}

void FormBufferSettings::ApplySizes()
{
    if (!m_client.IsOpen()) {
        return;
    }
    KorvelBufferSizes current{};
    bool alive = true;
    if (const DWORD status = m_client.GetBufferSizes(current); status != 0) {
        alive = ShowErrorBox(L"Get the buffer sizes failed.", status);
    } else {
        // A list without a selection (the driver reported a class the page
        // does not know) asks for the class the driver has now.
        KorvelBufferSizesSetting setting{current.streamingSizeClass, current.asioSizeClass,
                                         current.thirdWord};
        m_streamingClasses.SelectedValue(setting.streamingSizeClass);
        m_asioClasses.SelectedValue(setting.asioSizeClass);
        if (const DWORD status =
                WtlWaitCursor::During([&] { return m_client.SetBufferSizes(setting); });
            status != 0) {
            alive = ShowErrorBox(L"Changing the buffer sizes failed.", status);
        }
    }
    if (alive) {
        RefreshForm();
    }
}

void FormBufferSettings::EnableControls(bool enable)
{
    FormDropDownList::EnableControls(m_hWnd,
                                     {IDC_BUFFER_STREAM_LIST, IDC_BUFFER_STREAM_LATENCY,
                                      IDC_BUFFER_ASIO_LIST, IDC_BUFFER_ASIO_LATENCY, IDC_BUFFER_APPLY},
                                     enable);
}
