#include "FormChannels.h"

#include "KorvelRecords.h"
#include "WtlListView.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

namespace {

// A fixed text field of a record, up to its first zero or its end: a
// driver that fills the field to the last character still gives a string.
template <size_t N>
std::wstring FieldText(const wchar_t (&field)[N])
{
    return std::wstring(field, std::find(field, field + N, L'\0'));
}

} // namespace

std::span<const WtlDialogResize::Rule> FormChannels::ResizeRules()
{
    static constexpr WtlDialogResize::Rule rules[] = {
        {IDC_CHANNELS_LIST, WtlDialogResize::SizeX | WtlDialogResize::SizeY}};
    return rules;
}

LRESULT FormChannels::OnInitForm()
{
    WtlListView list(List());
    list.SetGridStyle();
    list.InsertColumn(0, L"Device", LVCFMT_LEFT);
    list.InsertColumn(1, L"Channel name", LVCFMT_LEFT);
    return 0;
}

void FormChannels::OnFormLayout()
{
    HWND list = List();
    RECT client{};
    ::GetClientRect(list, &client);
    const int width = client.right - client.left;
    if (width <= 0) {
        return;
    }
    ::SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, width / 2);
    ::SendMessageW(list, LVM_SETCOLUMNWIDTH, 1, width / 2);
}

void FormChannels::RefreshForm()
{
    ::SendMessageW(List(), LVM_DELETEALLITEMS, 0, 0);
    KorvelChannelList channels{};
    if (GetChannelList(channels) != 0) {
        return;
    }
    const uint32_t count = std::min<uint32_t>(channels.count, KORVEL_MAX_CHANNELS);
    for (uint32_t i = 0; i < count; ++i) {
        const KorvelChannelKey& key = channels.keys[i];
        KorvelChannelInfo info{};
        if (m_client.GetChannelInfo(key.word0, key.word1, info) != 0) {
            continue;
        }
        const KorvelDevice* device = m_client.FindDevice(info.deviceKey.word0, info.deviceKey.word1);
        if (device == nullptr) {
            continue; // a device the client does not list (yet)
        }
        AddRow(FieldText(device->Info().deviceName).c_str(), FieldText(info.name).c_str());
    }
}

void FormChannels::AddRow(const wchar_t* deviceName, const wchar_t* channelName)
{
    HWND list = List();
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<wchar_t*>(deviceName);
    const LRESULT row = ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    if (row < 0) {
        return;
    }
    LVITEMW name{};
    name.iSubItem = 1;
    name.pszText = const_cast<wchar_t*>(channelName);
    ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&name));
}
