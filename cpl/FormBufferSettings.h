#pragma once
// The buffer-size page: the streaming and the ASIO buffer-size class, each
// with the latency it gives, and "Apply", which asks the device control
// service for the selected classes.
#include "FormBaseImpl.h"
#include "FormDropDownList.h"
#include "KorvelCplClient.h"
#include "resource.h"

#include <cstdint>
#include <span>
#include <string>

class FormBufferSettings : public FormBaseImpl<FormBufferSettings>
{
public:
    static constexpr int IDD = IDD_FORM_BUFFERSETTINGS;

    explicit FormBufferSettings(KorvelCplClient& client) : m_client(client) {}

    LRESULT OnInitForm() override;
    void RefreshForm() override;
    bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;

    // The class names in class order; a class beyond them is "unknown".
    static std::span<const wchar_t* const> StreamingClassNames();
    static std::span<const wchar_t* const> AsioClassNames();
    static const wchar_t* ClassName(std::span<const wchar_t* const> names, uint32_t sizeClass);
    // "2.9 millisecs\n" for 2999 us: one decimal, truncated.
    static std::wstring StreamingLatencyText(uint32_t latencyUs);
    // The same and the ASIO buffer size: "1.4 millisecs\n64 samples".
    static std::wstring AsioLatencyText(uint32_t latencyUs, uint32_t samples);

private:
    void ApplySizes();
    void EnableControls(bool enable);
    static void Fill(FormDropDownList& list, std::span<const wchar_t* const> names);

    KorvelCplClient& m_client;
    FormDropDownList m_streamingClasses;
    FormDropDownList m_asioClasses;
};
