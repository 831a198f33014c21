#pragma once
// The panel's main window: command bar, page tree on the left of a splitter,
// the current page on its right, a three-pane status bar and the tray icon.
// It follows the device set and the driver's notifications on its own
// thread; the event thread only posts WM_CPL_DRIVER_EVENT to it.
#include <windows.h>

#include <commctrl.h>

#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "DeviceNotificationList.h"
#include "FormDevice.h"
#include "FormDevices.h"
#include "FormDrvInfo.h"
#include "FormBufferSettings.h"
#include "FormInChannels.h"
#include "FormOutChannels.h"
#include "FormPlugin.h"
#include "FormSampleRate.h"
#include "FormSelection.h"
#include "FormStatusInfo.h"
#include "FormStaticText.h"
#include "KorvelArrivalWaiter.h"
#include "KorvelCplClient.h"
#include "KorvelRecords.h"
#include "WnPnPNotificatorCallbackInterface.h"
#include "WnPostWindowMessageThread.h"
#include "WtlCommandBar.h"
#include "WtlFrameWindowImpl.h"
#include "WtlGdiOwners.h"
#include "WtlMessageLoop.h"
#include "WtlMinMaxTrackSize.h"
#include "WtlMultiPaneStatusBar.h"
#include "WtlReBar.h"
#include "WtlRegistrySetting.h"
#include "WtlSplitterWindow.h"
#include "WtlTrayIcon.h"

class CplCommandLine;

class MainFrame : public WtlFrameWindowImpl,
                  public WtlMessageFilter,
                  public WtlIdleHandler,
                  public WtlTrayIcon<MainFrame>,
                  public WtlMinMaxTrackSize<MainFrame>
{
public:
    // Window class of the frame and name of the single-instance mutex.
    static constexpr const wchar_t* WINDOW_CLASS_NAME = L"{1858C56E-18B4-4dad-A4A9-1BD177D41428}";
    // Control device of every panel connection, also the device-interface class.
    static constexpr const wchar_t* CONTROL_DEVICE_NAME = L"{37A02BA4-5264-4c11-8803-F2150F581BB0}";
    static constexpr const wchar_t* PLACEMENT_KEY = L"Software\\VANTREL\\quillo\\cpl";
    static constexpr UINT TRAY_ICON_ID = 205;
    static constexpr int MIN_TRACK_CX = 550;
    static constexpr int MIN_TRACK_CY = 420;
    static constexpr int SPLITTER_POS = 150;
    static constexpr int STATUS_PANE_STATE_WIDTH = 220;
    static constexpr int STATUS_PANE_RATE_WIDTH = 190;

    // Image list indices of the page tree.
    enum TreeImage
    {
        IMAGE_SETTINGS = 0,
        IMAGE_DRIVER = 1,
        IMAGE_SPARE = 2,
        IMAGE_CHANNELS = 3,
        IMAGE_DEVICES = 4,
        IMAGE_STATUS = 5,
    };

    MainFrame(HINSTANCE instance, KorvelCplClient& client, WnPostWindowMessageThread& eventThread,
              const CplCommandLine& commandLine, WtlMessageLoop* loop,
              const wchar_t* placementKey = PLACEMENT_KEY);
    ~MainFrame() override;

    // Creates the frame (hidden) at `rect` with title string 128 and loads
    // accelerators 128; null on failure.
    HWND CreateFrame(RECT rect);

    bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;
    bool PreTranslateMessage(MSG* msg) override;
    bool OnIdle() override { return false; }
    void OnTrayIconNotify(UINT mouseMessage);

    void OpenDriverConnection();
    void CloseDriverConnection();
    void RebuildPageTree();
    void AddDevicePages();
    void RemoveDevicePages();
    void ShowPage(FormBase* page);
    void UpdateStatusBar();
    void DrainDriverEvents();
    void DispatchDriverEvent(const KorvelMessage& event);

    // What the tests look at.
    FormSelection& PageTree() { return m_pageTree; }
    FormBase* CurrentPage() const { return m_currentPage; }
    FormBase* NoDevicePage() { return &m_noDevicePage; }
    WtlMultiPaneStatusBar& StatusBar() { return m_statusBar; }
    KorvelCplClient& PanelView() { return m_panelView; }
    size_t DevicePageCount() const { return m_devicePages.size(); }
    size_t PluginPageCount() const { return m_pluginPages.size(); }
    // Two per device in device order: hardware inputs, then software outputs.
    size_t MixerWindowCount() const { return m_mixerWindows.size(); }
    FormMixer& MixerWindow(size_t index) { return *m_mixerWindows.at(index); }
    FormBase* DevicePageFor(const KorvelDeviceKey& key) const;

protected:
    const wchar_t* GetWindowClassName() const override { return WINDOW_CLASS_NAME; }
    void PrepareWindowClass(WNDCLASSEXW& wc) const override;

private:
    using DevicePage = FormDevice;
    using PluginPage = FormPlugin;

    struct KeyOrder
    {
        bool operator()(const KorvelDeviceKey& a, const KorvelDeviceKey& b) const
        {
            return std::make_pair(a.word1, a.word0) < std::make_pair(b.word1, b.word0);
        }
    };

    LRESULT OnCreate();
    void OnDestroy();
    void OnDeviceChange(WPARAM event, LPARAM data);
    void OnShowWindow(bool shown);
    bool OnCommand(WORD id);
    bool OnNotify(const NMHDR* header);
    bool OnSysCommand(WPARAM command);
    void OnRestore();

    void CreateBars();
    void CreateImageList();
    void CreatePages();
    void InstallTrayIcon();
    void RegisterArrivals();
    // Called on the simulator waiter's thread: only posts.
    void OnSimulatedArrival(DWORD eventType, void* eventData);
    bool CreatePage(FormBase& page, HWND& window);
    void AddFixedPages();
    void EnablePageTree(bool enable);
    void RemoveFixedPages();
    void RefreshPage(FormBase* page);
    // The device page of the device that an 8-byte key payload names; null
    // for a payload of another size or a key in no map.
    FormBase* AddressedDevicePage(const KorvelMessage& event) const;
    // Creates one of a device's two mixer windows; null when it cannot be made.
    FormMixer* AddMixerWindow(const KorvelDeviceKey& key, bool hardwareInputs);
    // 3050-3052: the addressed device's output mixer, then its input mixer.
    void DispatchMixerEvent(const KorvelMessage& event);

    HINSTANCE m_instance;
    KorvelCplClient& m_client;
    WnPostWindowMessageThread& m_eventThread;
    const CplCommandLine& m_commandLine;
    WtlMessageLoop* m_loop;
    WtlRegistrySetting m_setting;
    HACCEL m_accelerators = nullptr;

    WtlMultiPaneStatusBar m_statusBar;
    WtlCommandBar m_commandBar;
    WtlReBar m_reBar;
    WtlSplitterWindow m_splitter;
    WtlImageList m_imageList;
    WtlIcon m_trayIconImage;

    FormSelection m_pageTree;
    FormStaticText m_noDevicePage;
    FormSampleRate m_sampleRatePage;
    FormBufferSettings m_bufferSettingsPage;
    FormDrvInfo m_driverInfoPage;
    FormDevices m_devicesPage;
    FormInChannels m_inChannelsPage;
    FormOutChannels m_outChannelsPage;
    FormStatusInfo m_statusInfoPage;

    std::vector<std::unique_ptr<DevicePage>> m_devicePages;
    std::vector<std::unique_ptr<PluginPage>> m_pluginPages;
    // Two per device: hardware inputs, then software outputs.
    std::vector<std::unique_ptr<FormMixer>> m_mixerWindows;
    std::map<KorvelDeviceKey, DevicePage*, KeyOrder> m_deviceMap;

    KorvelCplClient m_panelView;
    FormBase* m_currentPage = nullptr;

    DeviceNotificationList m_arrivals;
    KorvelArrivalWaiter m_simulatedArrivals;
    WnPnPNotificatorCallbackForwarderT<MainFrame> m_arrivalForwarder;
    DEV_BROADCAST_DEVICEINTERFACE_W m_simulatedBroadcast{};
};
