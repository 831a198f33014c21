#pragma once
// The panel's main window: command bar, page tree on the left of a splitter,
// the current page on its right, a three-pane status bar and the tray icon.
// It follows the device set and the driver's notifications on its own
// thread; the event thread only posts WM_CPL_DRIVER_EVENT to it. A timer
// watches the driver connection: while it is open, a cheap request every few
// seconds finds a connection that died (a driver reloaded, the simulator
// restarted); while it is closed, it is tried again with a growing delay, so
// the panel comes back whether or not an arrival reaches it.
#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <vector>

#include "CplDevicePages.h"
#include "DeviceNotificationList.h"
#include "FormDevices.h"
#include "FormDrvInfo.h"
#include "FormBufferSettings.h"
#include "FormInChannels.h"
#include "FormOutChannels.h"
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
#include "WtlDpi.h"
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
    // Pixel sizes at 96 DPI.
    static constexpr int MIN_TRACK_CX = 550;
    static constexpr int MIN_TRACK_CY = 420;
    static constexpr int SPLITTER_POS = 150;
    static constexpr int TREE_ICON_SIZE = 16;
    static constexpr int STATUS_PANE_STATE_WIDTH = 220;
    static constexpr int STATUS_PANE_RATE_WIDTH = 190;
    static constexpr UINT_PTR CONNECTION_TIMER_ID = 1;
    // The check of an open connection, and the first and longest delay of
    // the tries to open a closed one.
    static constexpr UINT CONNECTION_CHECK_MS = 2000;
    static constexpr UINT RECONNECT_FIRST_MS = 500;
    static constexpr UINT RECONNECT_LONGEST_MS = 4000;

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
    // Builds the tree for the device set: pages of devices that stay are
    // kept, and so is the shown page while it exists.
    void RebuildPageTree();
    void ShowPage(FormBase* page);
    void UpdateStatusBar();
    void DrainDriverEvents();
    void DispatchDriverEvent(const KorvelMessage& event);
    // What the connection timer does: the check of an open connection, or
    // a try to open a closed one.
    void OnConnectionTimer();

    // What the tests look at.
    FormSelection& PageTree() { return m_pageTree; }
    FormBase* CurrentPage() const { return m_currentPage; }
    FormBase* NoDevicePage() { return &m_noDevicePage; }
    WtlMultiPaneStatusBar& StatusBar() { return m_statusBar; }
    KorvelCplClient& PanelView() { return m_panelView; }
    size_t DevicePageCount() const { return m_devicePages.PageCount(); }
    size_t PluginPageCount() const { return m_devicePages.PluginCount(); }
    // Two per device in device order: hardware inputs, then software outputs.
    size_t MixerWindowCount() const { return m_devicePages.Mixers().size(); }
    FormMixer& MixerWindow(size_t index) { return *m_devicePages.Mixers().at(index); }
    FormBase* DevicePageFor(const KorvelDeviceKey& key) const;
    // The delay of the connection timer now.
    UINT ConnectionTimerDelay() const { return m_connectionTimerMs; }

protected:
    const wchar_t* GetWindowClassName() const override { return WINDOW_CLASS_NAME; }
    void PrepareWindowClass(WNDCLASSEXW& wc) const override;

private:
    LRESULT OnCreate();
    void OnDestroy();
    void OnDeviceChange(WPARAM event, LPARAM data);
    void OnShowWindow(bool shown);
    bool OnCommand(WORD id);
    bool OnNotify(const NMHDR* header);
    bool OnSysCommand(WPARAM command);
    void OnRestore();

    void CreateBars();
    // The tree's icons at the frame's DPI; a list made earlier is replaced.
    void CreateImageList();
    // Fixed sizes are given at 96 DPI and scaled to the frame's.
    int Scaled(int px) const { return WtlDpi::Scale(px, m_dpi); }
    void SetStatusPanes();
    // WM_DPICHANGED: the frame takes the suggested rectangle and every fixed
    // size of its own follows the new DPI.
    void OnDpiChanged(UINT dpi, const RECT& suggested);
    void CreatePages();
    void InstallTrayIcon();
    void RegisterArrivals();
    // Called on the simulator waiter's thread: only posts.
    void OnSimulatedArrival(DWORD eventType, void* eventData);
    bool CreatePage(FormBase& page, HWND& window);
    void AddFixedPages();
    void AddDeviceItems();
    // The tree text of a device page: the model and the serial number.
    std::wstring DeviceItemText(const KorvelDeviceKey& key) const;
    void RemoveDeviceItems();
    void EnablePageTree(bool enable);
    void RemoveFixedPages();
    void RefreshPage(FormBase* page);
    // The device set may have changed: enumerates, and rebuilds the tree
    // when it did; without devices the connection closes.
    void FollowDeviceSet();
    // Opens a closed connection and shows what it found; closes and shows
    // the no-driver state for a connection that died.
    void FollowDriver();
    bool IsDriverConnected() const { return m_client.IsOpen() && !m_client.IsConnectionLost(); }
    void ScheduleConnectionTimer();
    // Pane 0: "Ready", or why the service did not answer the last request.
    void UpdateServicePane();
    // The device page of the device that an 8-byte key payload names; null
    // for a payload of another size or a key in no map.
    FormBase* AddressedDevicePage(const KorvelMessage& event) const;
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
    UINT m_dpi = WtlDpi::BASE;
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

    KorvelCplClient m_panelView;
    CplDevicePages m_devicePages;
    FormBase* m_currentPage = nullptr;
    // Set while the tree is rebuilt: its selection changes are not the user's.
    bool m_rebuildingTree = false;
    UINT m_connectionTimerMs = 0;
    UINT m_reconnectDelayMs = RECONNECT_FIRST_MS;
    // The service's failure shown in pane 0, and the request it came from.
    DWORD m_serviceFailure = 0;
    uint32_t m_serviceFailureSequence = 0;

    DeviceNotificationList m_arrivals;
    KorvelArrivalWaiter m_simulatedArrivals;
    WnPnPNotificatorCallbackForwarderT<MainFrame> m_arrivalForwarder;
    DEV_BROADCAST_DEVICEINTERFACE_W m_simulatedBroadcast{};
};
