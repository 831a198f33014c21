#pragma once
// The "Status Info" page: the driver's five error counters, polled once a
// second while the page is shown, non-zero values in red, and the
// description of the selected counter.
#include "FormBaseImpl.h"
#include "KorvelCplClient.h"
#include "KorvelRecords.h"
#include "resource.h"

#include <commctrl.h>

#include <array>
#include <cstdint>

class FormStatusInfo : public FormBaseImpl<FormStatusInfo>
{
public:
    static constexpr int IDD = IDD_FORM_STATUSINFO;
    static constexpr UINT_PTR TIMER_ID = 1113;
    static constexpr UINT TIMER_PERIOD_MS = 1000;
    static constexpr COLORREF NON_ZERO_COLOR = RGB(255, 0, 0);
    static constexpr COLORREF ZERO_COLOR = RGB(0, 0, 0);
    static constexpr int VALUE_COLUMN = 1;

    explicit FormStatusInfo(KorvelCplClient& client) : m_client(client) {}

    static std::span<const WtlDialogResize::Rule> ResizeRules();

    LRESULT OnInitForm() override;
    void ShowForm() override;
    void HideForm() override;
    void OnFormTimer(UINT_PTR id) override;
    void RefreshForm() override;
    bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;

    // The running timer's id, 0 when none runs.
    UINT_PTR TimerId() const { return m_timerId; }
    // The text colour of the Value column of `row`.
    COLORREF ValueColor(size_t row) const;

private:
    struct Row
    {
        const uint32_t* counter;
        const wchar_t* name;
        const wchar_t* description;
    };

    HWND List() const { return GetDlgItem(IDC_STATUS_LIST); }
    void UpdateDescription();
    void StopTimer();
    LRESULT OnCustomDraw(NMLVCUSTOMDRAW& draw) const;

    KorvelCplClient& m_client;
    KorvelStatusCounters m_counters{};
    std::array<Row, 5> m_rows{};
    UINT_PTR m_timerId = 0;
};
