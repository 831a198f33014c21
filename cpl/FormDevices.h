#pragma once
// The "Devices" page: every connected device with its serial number and a
// mark on the one selected for streaming, the streaming mode (one device or
// all devices) and the button that selects the marked device through the
// service.
#include "FormBaseImpl.h"
#include "KorvelCplClient.h"
#include "KorvelRecords.h"
#include "resource.h"

#include <vector>

class FormDevices : public FormBaseImpl<FormDevices>
{
public:
    static constexpr int IDD = IDD_FORM_DEVICES;
    enum StreamingMode
    {
        MODE_SINGLE_DEVICE = 0,
        MODE_ALL_DEVICES = 1,
    };

    explicit FormDevices(KorvelCplClient& client) : m_client(client) {}

    static std::span<const WtlDialogResize::Rule> ResizeRules();

    LRESULT OnInitForm() override;
    void RefreshForm() override;
    void OnFormLayout() override;
    bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;

    int Mode() const { return m_mode; }

private:
    HWND List() const { return GetDlgItem(IDC_DEVICES_LIST); }
    void AddDeviceItem(int index, const KorvelDeviceInfo& info);
    void UpdateSelectButton();
    // The key of the list's selected item; false without one.
    bool SelectedKey(KorvelDeviceKey& key) const;
    // The device that one-device mode names: the one streaming now, else
    // the selected item's, else the first.
    KorvelDeviceKey SingleModeDevice() const;
    void OnSelectClicked();
    void OnModeClicked();
    // The service's streaming device request, under the wait cursor.
    DWORD Select(const KorvelDeviceKey& key, bool allDevices);
    // Shows the error box of a failed selection; a success shows nothing.
    // False when the page was deleted while the box was open.
    bool ReportSelection(DWORD status);

    KorvelCplClient& m_client;
    // Item data of the list = index into this vector.
    std::vector<KorvelDeviceKey> m_keys;
    int m_mode = MODE_SINGLE_DEVICE;
};
