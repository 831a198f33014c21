#include "FormDevices.h"

#include "CplDeviceName.h"
#include "FormDevice.h"
#include "WtlWaitCursor.h"
#include "WtlDataExchange.h"
#include "WtlListView.h"

#include <commctrl.h>

namespace {

constexpr const wchar_t* kSelectFailed = L"Selecting the streaming device failed.";

} // namespace

std::span<const WtlDialogResize::Rule> FormDevices::ResizeRules()
{
    static constexpr WtlDialogResize::Rule rules[] = {
        {IDC_DEVICES_LIST, WtlDialogResize::SizeX | WtlDialogResize::SizeY},
        {IDC_DEVICES_SELECT, WtlDialogResize::MoveY},
        {IDC_DEVICES_MODE_GROUP, WtlDialogResize::MoveY},
        {IDC_DEVICES_MODE_SINGLE, WtlDialogResize::MoveY},
        {IDC_DEVICES_MODE_ALL, WtlDialogResize::MoveY}};
    return rules;
}

LRESULT FormDevices::OnInitForm()
{
    WtlListView list(List());
    list.SetGridStyle();
    list.InsertColumn(0, L"Device", LVCFMT_LEFT);
    list.InsertColumn(1, L"Serial number", LVCFMT_LEFT);
    list.InsertColumn(2, L"Streaming", LVCFMT_CENTER);
    m_mode = MODE_SINGLE_DEVICE;
    WtlDataExchange::Radio(m_hWnd, IDC_DEVICES_MODE_SINGLE, m_mode, false);
    OnFormLayout();
    UpdateSelectButton();
    return 0;
}

void FormDevices::OnFormLayout()
{
    HWND list = List();
    RECT client{};
    if (list == nullptr || !::GetClientRect(list, &client) || client.right <= 0) {
        return;
    }
    const int width = client.right;
    ListView_SetColumnWidth(list, 0, width * 2 / 7);
    ListView_SetColumnWidth(list, 1, width * 2 / 6);
    ListView_SetColumnWidth(list, 2, width / 5);
}

void FormDevices::RefreshForm()
{
    ListView_DeleteAllItems(List());
    m_keys.clear();
    KorvelStreamingState state{};
    if (m_client.GetStreamingState(state) != 0) {
        state = KorvelStreamingState{};
    }
    const size_t count = m_client.DeviceCount();
    for (size_t i = 0; i < count; ++i) {
        KorvelDevice* device = m_client.DeviceAt(i);
        if (device == nullptr) {
            continue;
        }
        const KorvelDeviceInfo& info = device->Info();
        if (m_keys.size() <= i) {
            m_keys.resize(i + 1);
        }
        m_keys[i] = info.key;
        AddDeviceItem(static_cast<int>(i), info);
    }
    UpdateSelectButton();
    if (state.mode == MODE_SINGLE_DEVICE || state.mode == MODE_ALL_DEVICES) {
        m_mode = static_cast<int>(state.mode);
    }
    WtlDataExchange::Radio(m_hWnd, IDC_DEVICES_MODE_SINGLE, m_mode, false);
}

void FormDevices::AddDeviceItem(int index, const KorvelDeviceInfo& info)
{
    HWND list = List();
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = ListView_GetItemCount(list);
    std::wstring name = CplDeviceName::Of(info);
    item.pszText = name.data();
    item.lParam = index;
    const int row = ListView_InsertItem(list, &item);
    if (row < 0) {
        return;
    }
    std::wstring serial = FormDevice::SerialText(info);
    ListView_SetItemText(list, row, 1, serial.data());
    const bool selected = (info.flags & KORVEL_DEVICE_FLAG_STREAMING) != 0;
    ListView_SetItemText(list, row, 2, const_cast<wchar_t*>(selected ? L"X" : L""));
}

void FormDevices::UpdateSelectButton()
{
    const bool any = ListView_GetNextItem(List(), -1, LVNI_SELECTED) >= 0;
    ::EnableWindow(GetDlgItem(IDC_DEVICES_SELECT), any ? TRUE : FALSE);
}

bool FormDevices::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                       LRESULT& result)
{
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case IDC_DEVICES_SELECT:
            OnSelectClicked();
            result = 0;
            return true;
        case IDC_DEVICES_MODE_SINGLE:
        case IDC_DEVICES_MODE_ALL:
            OnModeClicked();
            result = 0;
            return true;
        default:
            break;
        }
    }
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header != nullptr && header->idFrom == IDC_DEVICES_LIST &&
            header->code == LVN_ITEMCHANGED) {
            UpdateSelectButton();
            result = 0;
            return true;
        }
    }
    return FormBaseImpl<FormDevices>::ProcessWindowMessage(hwnd, message, wParam, lParam, result);
}

void FormDevices::OnSelectClicked()
{
    KorvelDeviceKey key{};
    if (!SelectedKey(key)) {
        return;
    }
    if (ReportSelection(Select(key, false))) {
        RefreshForm();
    }
}

DWORD FormDevices::Select(const KorvelDeviceKey& key, bool allDevices)
{
    return WtlWaitCursor::During(
        [&] { return m_client.SelectStreamingDevice(key.word0, key.word1, allDevices); });
}

void FormDevices::OnModeClicked()
{
    WtlDataExchange::Radio(m_hWnd, IDC_DEVICES_MODE_SINGLE, m_mode, true);
    bool alive = true;
    if (m_mode == MODE_ALL_DEVICES) {
        // A zero key keeps the device selection; only the mode changes.
        alive = ReportSelection(Select(KorvelDeviceKey{0, 0}, true));
    } else if (m_mode == MODE_SINGLE_DEVICE) {
        // One device streams: the request must name it, or the driver
        // refuses it. The device streaming now stays the one.
        alive = ReportSelection(Select(SingleModeDevice(), false));
    }
    if (alive) {
        RefreshForm();
    }
}

bool FormDevices::SelectedKey(KorvelDeviceKey& key) const
{
    HWND list = List();
    const int row = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    if (row < 0) {
        return false;
    }
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!ListView_GetItem(list, &item) || item.lParam < 0 ||
        static_cast<size_t>(item.lParam) >= m_keys.size()) {
        return false;
    }
    key = m_keys[static_cast<size_t>(item.lParam)];
    return true;
}

KorvelDeviceKey FormDevices::SingleModeDevice() const
{
    for (size_t i = 0; i < m_client.DeviceCount(); ++i) {
        KorvelDevice* device = m_client.DeviceAt(i);
        if (device != nullptr && (device->Info().flags & KORVEL_DEVICE_FLAG_STREAMING) != 0) {
            return device->Info().key;
        }
    }
    KorvelDeviceKey key{};
    if (SelectedKey(key)) {
        return key;
    }
    KorvelDevice* first = m_client.DeviceAt(0);
    return first != nullptr ? first->Info().key : KorvelDeviceKey{0, 0};
}

bool FormDevices::ReportSelection(DWORD status)
{
    return status == 0 || ShowErrorBox(kSelectFailed, status);
}
