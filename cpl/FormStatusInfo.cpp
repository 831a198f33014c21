#include "FormStatusInfo.h"

#include "WtlDpi.h"
#include "WtlListView.h"

#include <commctrl.h>

#include <cstdio>

std::span<const WtlDialogResize::Rule> FormStatusInfo::ResizeRules()
{
    static constexpr WtlDialogResize::Rule rules[] = {
        {IDC_STATUS_LIST, WtlDialogResize::SizeX | WtlDialogResize::SizeY},
        {IDC_STATUS_GROUP, WtlDialogResize::SizeX | WtlDialogResize::MoveY},
        {IDC_STATUS_DESCRIPTION, WtlDialogResize::SizeX | WtlDialogResize::MoveY}};
    return rules;
}

LRESULT FormStatusInfo::OnInitForm()
{
    WtlListView list(List());
    list.SetGridStyle();
    list.InsertColumn(0, L"Counter", LVCFMT_LEFT, WtlDpi::Scale(List(), 150));
    list.InsertColumn(VALUE_COLUMN, L"Value", LVCFMT_RIGHT, WtlDpi::Scale(List(), 100));
    m_counters = KorvelStatusCounters{};
    m_rows = {{
        {&m_counters.streamingErrors, L"Streaming Error Count",
         L"This counter is incremented if an interruption in the isochronous USB stream is "
         L"detected by the driver. If this counter is incremented then sample data was lost."},
        {&m_counters.fifoErrors, L"FIFO Error Count",
         L"This counter is incremented if an interruption in the isochronous USB stream is "
         L"detected by the hardware. This could be caused by CRC errors on the USB. Try to use "
         L"another cable, or a shorter cable, or try to use a different USB port on your PC."},
        {&m_counters.asioErrors, L"ASIO Error Count",
         L"This counter is incremented if the ASIO thread missed a switch event issued by the "
         L"driver. This happens if thread latency in user mode is too long for the currently "
         L"selected ASIO buffer size. If this counter is incremented then sample data was lost."},
        {&m_counters.wdmAudioErrors, L"WDM Audio Error Count",
         L"This counter is incremented every time a WDM audio buffer is missing in the driver. "
         L"This happens if WDM audio based user mode applications do not provide buffers in "
         L"time, e.g. due to excessive thread latency. If this counter is incremented then "
         L"sample data was lost."},
        {&m_counters.wdmMidiErrors, L"WDM MIDI Error Count",
         L"This counter is incremented every time a WDM MIDI buffer is missing in the driver. "
         L"This happens if WDM MIDI based user mode applications do not provide buffers in "
         L"time, e.g. due to excessive thread latency. If this counter is incremented then "
         L"MIDI data was lost."},
    }};
    for (size_t i = 0; i < m_rows.size(); ++i) {
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<wchar_t*>(m_rows[i].name);
        item.lParam = static_cast<LPARAM>(i);
        ListView_InsertItem(List(), &item);
    }
    UpdateDescription();
    return 0;
}

void FormStatusInfo::ShowForm()
{
    if (m_timerId == 0) {
        m_timerId = SetTimer(TIMER_ID, TIMER_PERIOD_MS);
    }
    RefreshForm();
    ShowWindow(SW_SHOW);
}

void FormStatusInfo::HideForm()
{
    StopTimer();
    ShowWindow(SW_HIDE);
}

void FormStatusInfo::StopTimer()
{
    if (m_timerId != 0) {
        KillTimer(m_timerId);
        m_timerId = 0;
    }
}

void FormStatusInfo::OnFormTimer(UINT_PTR id)
{
    if (id == TIMER_ID) {
        RefreshForm();
    }
}

void FormStatusInfo::RefreshForm()
{
    KorvelStatusCounters counters{};
    if (m_client.IsOpen() && m_client.GetStatusCounters(counters) == 0) {
        m_counters = counters;
        HWND list = List();
        for (size_t i = 0; i < m_rows.size(); ++i) {
            wchar_t text[16];
            std::swprintf(text, 16, L"%u", *m_rows[i].counter);
            ListView_SetItemText(list, static_cast<int>(i), VALUE_COLUMN, text);
        }
    }
    UpdateDescription();
}

COLORREF FormStatusInfo::ValueColor(size_t row) const
{
    if (row >= m_rows.size() || m_rows[row].counter == nullptr) {
        return ZERO_COLOR;
    }
    return *m_rows[row].counter > 0 ? NON_ZERO_COLOR : ZERO_COLOR;
}

void FormStatusInfo::UpdateDescription()
{
    const int row = ListView_GetNextItem(List(), -1, LVNI_SELECTED);
    const wchar_t* text = L"Select a counter to see its description.";
    if (row >= 0 && static_cast<size_t>(row) < m_rows.size() && m_rows[row].description != nullptr) {
        text = m_rows[row].description;
    }
    SetDlgItemText(IDC_STATUS_DESCRIPTION, text);
}

LRESULT FormStatusInfo::OnCustomDraw(NMLVCUSTOMDRAW& draw) const
{
    switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
        draw.clrText = draw.iSubItem == VALUE_COLUMN
                           ? ValueColor(static_cast<size_t>(draw.nmcd.dwItemSpec))
                           : ZERO_COLOR;
        return CDRF_NEWFONT;
    default:
        return CDRF_DODEFAULT;
    }
}

bool FormStatusInfo::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                          LRESULT& result)
{
    if (message == WM_NOTIFY) {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header != nullptr && header->idFrom == IDC_STATUS_LIST) {
            if (header->code == NM_CUSTOMDRAW) {
                result = OnCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
                return true;
            }
            if (header->code == LVN_ITEMCHANGED) {
                UpdateDescription();
                result = 0;
                return true;
            }
        }
    }
    if (message == WM_DESTROY) {
        StopTimer();
        return false;
    }
    return FormBaseImpl<FormStatusInfo>::ProcessWindowMessage(hwnd, message, wParam, lParam, result);
}
