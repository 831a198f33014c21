#include "MainFrame.h"

#include <dbt.h>

#include <algorithm>
#include <cwchar>
#include <string>

#include "CAboutDlg.h"
#include "CplCommandLine.h"
#include "CplDeviceName.h"
#include "CplWindowPlacement.h"
#include "KorvelMessage.h"
#include "KorvelStatus.h"
#include "resource.h"

namespace {

// {37A02BA4-5264-4C11-8803-F2150F581BB0}: the kernel driver's interface class.
constexpr GUID CONTROL_INTERFACE_CLASS = {
    0x37A02BA4, 0x5264, 0x4C11, {0x88, 0x03, 0xF2, 0x15, 0x0F, 0x58, 0x1B, 0xB0}};

constexpr int TREE_ICONS[] = {IDI_TREE_SETTINGS, IDI_TREE_DRIVER, IDI_TREE_DRIVER,
                              IDI_TREE_CHANNELS, IDI_TREE_DEVICES, IDI_TREE_DRIVER};

std::wstring LoadText(HINSTANCE instance, UINT id)
{
    const wchar_t* text = nullptr;
    int length = LoadStringW(instance, id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

} // namespace

MainFrame::MainFrame(HINSTANCE instance, KorvelCplClient& client,
                     WnPostWindowMessageThread& eventThread, const CplCommandLine& commandLine,
                     WtlMessageLoop* loop, const wchar_t* placementKey)
    : m_instance(instance),
      m_client(client),
      m_eventThread(eventThread),
      m_commandLine(commandLine),
      m_loop(loop),
      m_setting(placementKey),
      m_noDevicePage(L"There is no Vantrel device connected."),
      m_sampleRatePage(client),
      m_bufferSettingsPage(client),
      m_driverInfoPage(client),
      m_devicesPage(client),
      m_inChannelsPage(client),
      m_outChannelsPage(client),
      m_statusInfoPage(client),
      m_devicePages(client, instance)
{
    SetMinTrackSize(MIN_TRACK_CX, MIN_TRACK_CY);
    m_arrivalForwarder.Bind(this, &MainFrame::OnSimulatedArrival);
    m_simulatedBroadcast.dbcc_size = sizeof(m_simulatedBroadcast);
    m_simulatedBroadcast.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    m_simulatedBroadcast.dbcc_classguid = CONTROL_INTERFACE_CLASS;
    m_simulatedBroadcast.dbcc_name[0] = L'\\';
}

MainFrame::~MainFrame()
{
    if (IsWindow()) {
        DestroyWindow();
    }
}

void MainFrame::PrepareWindowClass(WNDCLASSEXW& wc) const
{
    wc.hIcon = LoadIconW(m_instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
}

HWND MainFrame::CreateFrame(RECT rect)
{
    std::wstring title = LoadText(m_instance, IDR_MAINFRAME);
    HMENU menu = LoadMenuW(m_instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    HWND hwnd = Create(m_instance, nullptr, rect, title.c_str(), WS_OVERLAPPEDWINDOW,
                       WS_EX_APPWINDOW | WS_EX_WINDOWEDGE, menu);
    if (hwnd == nullptr) {
        if (menu != nullptr) {
            DestroyMenu(menu);
        }
        return nullptr;
    }
    LoadAccelerators(m_instance, IDR_MAINFRAME);
    return hwnd;
}

bool MainFrame::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                     LRESULT& result)
{
    result = 0;
    switch (message) {
    case WM_CREATE:
        result = OnCreate();
        return true;
    case WM_DESTROY:
        OnDestroy();
        return true;
    case WM_DEVICECHANGE:
        OnDeviceChange(wParam, lParam);
        result = TRUE;
        return true;
    case WM_CPL_DRIVER_EVENT:
        DrainDriverEvents();
        return true;
    case WM_CPL_SIMULATED_ARRIVAL:
        OnDeviceChange(wParam, reinterpret_cast<LPARAM>(&m_simulatedBroadcast));
        return true;
    case WM_TIMER:
        if (wParam != CONNECTION_TIMER_ID) {
            break;
        }
        OnConnectionTimer();
        return true;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return true;
    case WM_SHOWWINDOW:
        OnShowWindow(wParam != 0);
        break; // the default handling still runs
    case WM_COMMAND:
        if (OnCommand(LOWORD(wParam))) {
            return true;
        }
        break;
    case WM_NOTIFY:
        if (OnNotify(reinterpret_cast<const NMHDR*>(lParam))) {
            return true;
        }
        break;
    case WM_SYSCOMMAND:
        if (OnSysCommand(wParam)) {
            return true;
        }
        break;
    case WM_CLOSE:
        CplWindowPlacement::Save(m_setting, hwnd);
        break; // the default handling destroys the window
    default:
        break;
    }
    if (ProcessTrayIconMessage(hwnd, message, wParam, lParam, result) ||
        ProcessMinMaxTrackSizeMessage(hwnd, message, wParam, lParam, result)) {
        return true;
    }
    return WtlFrameWindowImpl::ProcessWindowMessage(hwnd, message, wParam, lParam, result);
}

bool MainFrame::PreTranslateMessage(MSG* msg)
{
    return TranslateAccelerator(msg) || m_commandBar.PreTranslateMessage(msg) ||
           m_splitter.PreTranslatePaneTab(msg);
}

LRESULT MainFrame::OnCreate()
{
    m_dpi = WtlDpi::ForWindow(m_hWnd);
    SetMinTrackSize(Scaled(MIN_TRACK_CX), Scaled(MIN_TRACK_CY));
    CreateBars();
    CreateImageList();
    CreatePages();
    if (!m_commandLine.IsNoTray()) {
        InstallTrayIcon();
    }
    m_devicePages.SetWindows(m_hWnd, m_splitter.m_hWnd);
    RegisterArrivals();
    OpenDriverConnection();
    RebuildPageTree();
    ScheduleConnectionTimer();
    CplWindowPlacement::Restore(m_setting, m_hWnd);
    m_pageTree.ShowForm();
    m_splitter.SetSplitterPane(0, m_pageTree.GetFormWindow());
    UpdateStatusBar();
    if (m_loop != nullptr) {
        m_loop->AddMessageFilter(this);
        m_loop->AddIdleHandler(this);
    }
    return 0;
}

void MainFrame::CreateBars()
{
    m_commandBar.Create(m_hWnd, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN |
                                    CCS_NODIVIDER | CCS_NORESIZE | CCS_TOP);
    HMENU menu = GetMenu(m_hWnd);
    SetMenu(m_hWnd, nullptr); // the command bar shows it now and owns it
    if (menu != nullptr) {
        m_commandBar.AttachMenu(menu);
    }
    m_commandBar.LoadImages(m_instance, IDR_MAINFRAME);
    m_reBar.Create(m_hWnd, ID_FRAME_REBAR);
    m_reBar.AddBand(m_commandBar.m_hWnd);
    m_hWndToolBar = m_reBar.m_hWnd;
    ModifyStyle(WS_MAXIMIZEBOX | WS_CLIPCHILDREN, 0);

    std::wstring ready = LoadText(m_instance, IDS_READY);
    m_statusBar.Create(m_hWnd, ID_FRAME_STATUS_BAR, ready.c_str());
    SetStatusPanes();
    m_hWndStatusBar = m_statusBar.m_hWnd;

    m_hWndClient = m_splitter.Create(m_instance, m_hWnd);
    UpdateLayout();
    m_splitter.SetSplitterPos(Scaled(SPLITTER_POS));
}

void MainFrame::SetStatusPanes()
{
    const int widths[] = {0, Scaled(STATUS_PANE_STATE_WIDTH), Scaled(STATUS_PANE_RATE_WIDTH)};
    m_statusBar.SetPanes(widths, 3);
}

void MainFrame::OnDpiChanged(UINT dpi, const RECT& suggested)
{
    if (dpi == 0 || dpi == m_dpi) {
        return;
    }
    const UINT previous = m_dpi;
    m_dpi = dpi;
    SetMinTrackSize(Scaled(MIN_TRACK_CX), Scaled(MIN_TRACK_CY));
    SetWindowPos(nullptr, suggested, SWP_NOZORDER | SWP_NOACTIVATE);
    SetStatusPanes();
    CreateImageList();
    m_splitter.ScaleForDpi(previous, dpi);
    UpdateLayout();
}

void MainFrame::CreateImageList()
{
    const int size = Scaled(TREE_ICON_SIZE);
    WtlImageList images(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 8, 2));
    for (int icon : TREE_ICONS) {
        HICON image = static_cast<HICON>(
            LoadImageW(m_instance, MAKEINTRESOURCEW(icon), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        // Copied into the list; the loaded icon is ours to free.
        ImageList_AddIcon(images.get(), image);
        if (image != nullptr) {
            DestroyIcon(image);
        }
    }
    // The tree lets go of the old list before it is freed.
    m_pageTree.SetImageList(images.get());
    m_imageList = std::move(images);
}

void MainFrame::CreatePages()
{
    HWND splitter = m_splitter.m_hWnd;
    m_pageTree.CreateForm(m_instance, splitter);
    // The pages are of different classes; each creates its own template.
    auto create = [this, splitter](auto&... pages) {
        (pages.CreateForm(m_instance, splitter), ...);
    };
    create(m_noDevicePage, m_sampleRatePage, m_bufferSettingsPage, m_driverInfoPage, m_devicesPage,
           m_inChannelsPage, m_outChannelsPage, m_statusInfoPage);
}

void MainFrame::InstallTrayIcon()
{
    m_trayIconImage.reset(static_cast<HICON>(
        LoadImageW(m_instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
    std::wstring tip = LoadText(m_instance, IDR_MAINFRAME);
    // A shell that refuses the icon leaves a panel without one; the close
    // box then ends the program as with "-notray".
    (void)InstallIcon(tip.c_str(), m_trayIconImage.get(), TRAY_ICON_ID, WM_CPL_TRAY_NOTIFY);
}

void MainFrame::RegisterArrivals()
{
    (void)m_arrivals.RegisterFor(m_hWnd, CONTROL_INTERFACE_CLASS, DEVICE_NOTIFY_WINDOW_HANDLE);
    // The simulator announces its devices on a pipe instead; nothing starts
    // without a configured simulator.
    (void)m_simulatedArrivals.Start(&m_arrivalForwarder, CONTROL_INTERFACE_CLASS);
}

void MainFrame::OnSimulatedArrival(DWORD eventType, void*)
{
    // WM_DEVICECHANGE itself cannot be posted: the system refuses to post
    // an arrival or removal, whose broadcast is a pointer, and the post
    // would be lost (ERROR_MESSAGE_SYNC_ONLY). The frame's own message
    // carries the event to the same handler.
    PostMessage(WM_CPL_SIMULATED_ARRIVAL, eventType, 0);
}

void MainFrame::OnDestroy()
{
    ::KillTimer(m_hWnd, CONNECTION_TIMER_ID);
    m_connectionTimerMs = 0;
    m_simulatedArrivals.Stop();
    CloseDriverConnection();
    m_arrivals.UnregisterAll();
    RemoveIcon();
    if (m_loop != nullptr) {
        m_loop->RemoveMessageFilter(this);
        m_loop->RemoveIdleHandler(this);
    }
    if ((GetWindowLongW(m_hWnd, GWL_STYLE) & (WS_CHILD | WS_POPUP)) == 0) {
        PostQuitMessage(1);
    }
}

void MainFrame::OnDeviceChange(WPARAM event, LPARAM data)
{
    const auto* broadcast = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(data);
    if ((event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) || broadcast == nullptr ||
        broadcast->dbcc_devicetype != DBT_DEVTYP_DEVICEINTERFACE ||
        broadcast->dbcc_size < sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) ||
        broadcast->dbcc_name[0] == L'\0') {
        return;
    }
    if (event == DBT_DEVICEREMOVECOMPLETE && m_client.IsOpen()) {
        // A device left: without the service nothing else would tell.
        FollowDeviceSet();
    }
    FollowDriver();
}

void MainFrame::FollowDriver()
{
    if (m_client.IsConnectionLost()) {
        CloseDriverConnection();
        RebuildPageTree();
        UpdateStatusBar();
    }
    if (!m_client.IsOpen()) {
        OpenDriverConnection();
        if (m_client.IsOpen() && m_client.DeviceCount() == 0) {
            CloseDriverConnection(); // as when the last device leaves
        }
        if (m_client.IsOpen()) {
            // The open enumerated the devices already, and the driver's
            // devices-changed notification may have gone out before the
            // open: waiting for it could leave the tree empty.
            RebuildPageTree();
            UpdateStatusBar();
        }
    }
    ScheduleConnectionTimer();
}

void MainFrame::OnConnectionTimer()
{
    if (m_client.IsOpen() && !m_client.IsConnectionLost()) {
        // A request on a connection whose far end died fails and marks it.
        KorvelVersionInfo version{};
        (void)m_client.GetVersion(version);
        UpdateServicePane();
    } else {
        m_reconnectDelayMs = std::min(m_reconnectDelayMs * 2, RECONNECT_LONGEST_MS);
    }
    FollowDriver();
}

void MainFrame::ScheduleConnectionTimer()
{
    if (IsDriverConnected()) {
        m_reconnectDelayMs = RECONNECT_FIRST_MS;
    }
    const UINT delay = IsDriverConnected() ? CONNECTION_CHECK_MS : m_reconnectDelayMs;
    if (delay != m_connectionTimerMs) {
        m_connectionTimerMs = delay;
        ::SetTimer(m_hWnd, CONNECTION_TIMER_ID, delay, nullptr);
    }
}

void MainFrame::UpdateServicePane()
{
    // A failure stays shown until the next request or a notification the
    // service sends tells that it answers again.
    if (m_client.LastSequenceNumber() != m_serviceFailureSequence) {
        m_serviceFailureSequence = m_client.LastSequenceNumber();
        const DWORD status = m_client.LastExchangeStatus();
        m_serviceFailure =
            status == KORVEL_STATUS_NO_SERVER || status == KORVEL_STATUS_TIMEOUT ? status : 0;
    }
    std::wstring text;
    if (m_serviceFailure == KORVEL_STATUS_NO_SERVER) {
        text = L"The quillo service is not running.";
    } else if (m_serviceFailure == KORVEL_STATUS_TIMEOUT) {
        text = L"The quillo service does not answer.";
    } else {
        text = LoadText(m_instance, IDS_READY);
    }
    if (m_statusBar.GetPaneText(0) != text) {
        m_statusBar.SetPaneText(0, text.c_str());
    }
}

void MainFrame::OnShowWindow(bool shown)
{
    if (shown) {
        (void)m_panelView.OpenPanelView(CONTROL_DEVICE_NAME); // nothing when open
    } else {
        m_panelView.CloseAll();
    }
}

bool MainFrame::OnCommand(WORD id)
{
    switch (id) {
    case ID_APP_EXIT:
        PostMessage(WM_CLOSE, 0, 0);
        return true;
    case ID_TRAY_RESTORE:
        OnRestore();
        return true;
    case ID_APP_ABOUT: {
        CAboutDlg about;
        HWND owner = ::GetActiveWindow();
        about.DoModal(m_instance, owner != nullptr ? owner : m_hWnd);
        return true;
    }
    default:
        return false;
    }
}

void MainFrame::OnRestore()
{
    ShowWindow(SW_RESTORE);
    SetForegroundWindow(m_hWnd);
}

bool MainFrame::OnNotify(const NMHDR* header)
{
    if (header == nullptr || header->idFrom != IDC_PAGE_TREE || header->code != TVN_SELCHANGEDW) {
        return false;
    }
    FormBase* page = m_pageTree.GetSelectedPage();
    if (page != nullptr && !m_rebuildingTree) {
        ShowPage(page); // showing refreshes it
    }
    return true;
}

bool MainFrame::OnSysCommand(WPARAM command)
{
    if (IsIconInstalled() && (command & 0xFFF0) == SC_CLOSE) {
        ShowWindow(SW_HIDE);
        return true;
    }
    if (command == SC_MINIMIZE) {
        CplWindowPlacement::Save(m_setting, m_hWnd);
    }
    return false;
}

void MainFrame::OnTrayIconNotify(UINT mouseMessage)
{
    if (mouseMessage == WM_RBUTTONUP) {
        WtlMenu menu(LoadMenuW(m_instance, MAKEINTRESOURCEW(IDR_TRAYMENU)));
        HMENU popup = menu ? GetSubMenu(menu.get(), 0) : nullptr;
        if (popup == nullptr) {
            return;
        }
        POINT cursor{};
        GetCursorPos(&cursor);
        SetForegroundWindow(m_hWnd);
        TrackPopupMenu(popup, 0, cursor.x, cursor.y, 0, m_hWnd, nullptr);
        // Lets the menu close when the user clicks elsewhere.
        PostMessage(WM_NULL, 0, 0);
    } else if (mouseMessage == WM_LBUTTONDBLCLK) {
        if (IsIconic(m_hWnd)) {
            ShowWindow(SW_RESTORE);
        }
        ShowWindow(SW_SHOW);
        SetForegroundWindow(m_hWnd);
    }
}

void MainFrame::OpenDriverConnection()
{
    if (!m_client.IsOpen()) {
        if (m_client.OpenPanel(CONTROL_DEVICE_NAME) != 0) {
            return;
        }
        bool changed = false;
        (void)m_client.RefreshDevices(changed);
    }
    if (m_client.IsOpen() && !m_eventThread.IsRunning()) {
        m_eventThread.Configure(m_hWnd, m_client.NotificationEvent(), WM_CPL_DRIVER_EVENT);
        m_eventThread.Start();
    }
}

void MainFrame::CloseDriverConnection()
{
    m_panelView.CloseAll();
    if (m_client.IsOpen()) {
        m_eventThread.Stop();
        m_client.CloseAll();
    }
}

void MainFrame::RebuildPageTree()
{
    // The shown page is found again by what it is, not by its address: a
    // device page may be deleted and another made at the same address.
    const auto shownDevicePage = m_devicePages.AddressOf(m_currentPage);
    FormBase* shown = shownDevicePage ? nullptr : m_currentPage;
    if (shownDevicePage) {
        m_currentPage->HideForm();
        m_currentPage = nullptr;
    }
    m_rebuildingTree = true;
    RemoveDeviceItems();
    if (!m_client.IsOpen()) {
        m_devicePages.Clear();
        RemoveFixedPages();
        m_rebuildingTree = false;
        EnablePageTree(false);
        ShowPage(&m_noDevicePage);
        return;
    }
    m_devicePages.Follow();
    if (!m_pageTree.ContainsPage(&m_sampleRatePage)) {
        AddFixedPages();
    }
    AddDeviceItems();
    if (shownDevicePage) {
        shown = m_devicePages.PageAt(*shownDevicePage);
    }
    if (shown == nullptr || !m_pageTree.ContainsPage(shown)) {
        m_pageTree.SelectFirst();
        shown = m_pageTree.GetSelectedPage();
    } else {
        m_pageTree.SelectPage(shown);
    }
    m_rebuildingTree = false;
    EnablePageTree(true);
    if (shown == m_currentPage) {
        RefreshPage(shown);
    } else if (shown != nullptr) {
        ShowPage(shown); // showing refreshes it
    }
}

void MainFrame::EnablePageTree(bool enable)
{
    ::EnableWindow(::GetDlgItem(m_pageTree.GetFormWindow(), IDC_PAGE_TREE), enable ? TRUE : FALSE);
}

void MainFrame::RemoveFixedPages()
{
    FormBase* fixed[] = {&m_sampleRatePage, &m_bufferSettingsPage, &m_driverInfoPage,
                         &m_devicesPage,    &m_inChannelsPage,     &m_outChannelsPage,
                         &m_statusInfoPage};
    for (FormBase* page : fixed) {
        m_pageTree.RemovePage(page);
    }
}

void MainFrame::AddFixedPages()
{
    m_pageTree.AddPage(L"Sample Rate", &m_sampleRatePage, nullptr, IMAGE_SETTINGS);
    m_pageTree.AddPage(L"Buffer Settings", &m_bufferSettingsPage, nullptr, IMAGE_SETTINGS);
    m_pageTree.AddPage(L"Devices", &m_devicesPage, nullptr, IMAGE_DEVICES);
    m_pageTree.AddPage(L"ASIO IN Channels", &m_inChannelsPage, nullptr, IMAGE_CHANNELS);
    m_pageTree.AddPage(L"ASIO OUT Channels", &m_outChannelsPage, nullptr, IMAGE_CHANNELS);
    m_pageTree.AddPage(L"Status Info", &m_statusInfoPage, nullptr, IMAGE_STATUS);
    m_pageTree.AddPage(L"Driver Info", &m_driverInfoPage, nullptr, IMAGE_DRIVER);
}

void MainFrame::AddDeviceItems()
{
    const auto& entries = m_devicePages.Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        m_pageTree.AddPage(DeviceItemText(entries[i].key).c_str(), entries[i].page.get(),
                           &m_devicesPage, IMAGE_DEVICES);
        if (entries[i].plugin != nullptr) {
            wchar_t text[32];
            std::swprintf(text, 32, L"Plugin%u", static_cast<unsigned>(i));
            m_pageTree.AddPage(text, entries[i].plugin.get(), &m_devicesPage, IMAGE_DEVICES);
        }
    }
}

std::wstring MainFrame::DeviceItemText(const KorvelDeviceKey& key) const
{
    const KorvelDevice* device = m_client.FindDevice(key.word0, key.word1);
    return device != nullptr ? CplDeviceName::Of(device->Info()) : CplDeviceName::MODEL;
}

void MainFrame::RemoveDeviceItems()
{
    for (const auto& entry : m_devicePages.Entries()) {
        m_pageTree.RemovePage(entry.page.get());
        m_pageTree.RemovePage(entry.plugin.get());
    }
}

void MainFrame::ShowPage(FormBase* page)
{
    if (m_currentPage != nullptr) {
        m_currentPage->HideForm();
    }
    page->ShowForm();
    m_splitter.SetSplitterPane(1, page->GetFormWindow());
    m_currentPage = page;
    page->OnFormLayout();
}

void MainFrame::UpdateStatusBar()
{
    if (!m_client.IsOpen()) {
        m_statusBar.SetPaneText(1, L"Driver not available.");
        m_statusBar.SetPaneText(2, L"");
        return;
    }
    KorvelStreamingState state{};
    if (m_client.GetStreamingState(state) != 0) {
        m_statusBar.SetPaneText(1, L"Streaming state unknown");
        m_statusBar.SetPaneText(2, L"Current sampling rate: unknown");
        return;
    }
    static const wchar_t* const STATE_TEXTS[] = {
        L"Streaming state: Undefined", L"Streaming state: Down",     L"Streaming state: Ready",
        L"Streaming state: Prepared",  L"Streaming state: Running",  L"Streaming state: Error",
        L"Streaming not supported on USB 1.1 port."};
    if (state.state < sizeof(STATE_TEXTS) / sizeof(STATE_TEXTS[0])) {
        m_statusBar.SetPaneText(1, STATE_TEXTS[state.state]);
    }
    wchar_t rate[64];
    std::swprintf(rate, 64, L"Current sampling rate: %u.%03u kHz", state.sampleRate / 1000,
                  state.sampleRate % 1000);
    m_statusBar.SetPaneText(2, rate);
}

void MainFrame::DrainDriverEvents()
{
    KorvelMessage event{};
    while (m_client.ReceiveNextNotification(event) == 0) {
        DispatchDriverEvent(event);
    }
}

FormBase* MainFrame::AddressedDevicePage(const KorvelMessage& event) const
{
    KorvelDeviceKey key{};
    if (event.ReadPayload(key) != 0) {
        return nullptr;
    }
    return DevicePageFor(key);
}

void MainFrame::DispatchMixerEvent(const KorvelMessage& event)
{
    KorvelDeviceKey key{};
    if (event.ReadPayload(key) != 0) {
        return;
    }
    const CplDevicePages::Entry* entry = m_devicePages.Find(key);
    if (entry == nullptr) {
        return;
    }
    // The output mixer first, then the input mixer.
    for (FormMixer* mixer : {entry->outputMixer.get(), entry->inputMixer.get()}) {
        if (mixer == nullptr) {
            continue;
        }
        switch (event.code) {
        case KORVEL_NOTIFY_MIXER_PINS_CHANGED:
            mixer->Rebuild();
            break;
        case KORVEL_NOTIFY_MIXER_GAINS_CHANGED:
            mixer->ReadGains();
            break;
        case KORVEL_NOTIFY_MIXER_WEIGHTS_CHANGED:
            mixer->ReadWeights();
            break;
        default:
            break;
        }
    }
}

FormBase* MainFrame::DevicePageFor(const KorvelDeviceKey& key) const
{
    const CplDevicePages::Entry* entry = m_devicePages.Find(key);
    return entry != nullptr ? entry->page.get() : nullptr;
}

void MainFrame::RefreshPage(FormBase* page)
{
    if (page != nullptr) {
        page->RefreshForm();
    }
}

void MainFrame::FollowDeviceSet()
{
    if (::IsWindowVisible(m_hWnd) && !m_panelView.IsOpen()) {
        (void)m_panelView.OpenPanelView(CONTROL_DEVICE_NAME);
    }
    bool changed = false;
    (void)m_client.RefreshDevices(changed);
    if (!changed) {
        RefreshPage(m_currentPage); // a device's state may have changed
        return;
    }
    if (m_client.DeviceCount() == 0) {
        CloseDriverConnection();
    }
    RebuildPageTree();
    UpdateStatusBar();
}

void MainFrame::DispatchDriverEvent(const KorvelMessage& event)
{
    if (event.code != KORVEL_NOTIFY_DEVICE_LIST_CHANGED) {
        // Every other notification comes from the service: it answers, and
        // so an earlier request's failure is history.
        m_serviceFailureSequence = m_client.LastSequenceNumber();
        if (m_serviceFailure != 0) {
            m_serviceFailure = 0;
            UpdateServicePane();
        }
    }
    switch (event.code) {
    case KORVEL_NOTIFY_SETTINGS_CHANGED:
        RefreshPage(&m_sampleRatePage);
        RefreshPage(&m_bufferSettingsPage);
        UpdateStatusBar();
        break;
    case KORVEL_NOTIFY_SAMPLE_RATE_CHANGED:
        RefreshPage(&m_sampleRatePage);
        UpdateStatusBar();
        break;
    case KORVEL_NOTIFY_DEVICES_CHANGED:
    case KORVEL_NOTIFY_DEVICE_LIST_CHANGED:
        // The service's word after it set the devices up, or the driver's
        // own when the service is not there to say it.
        FollowDeviceSet();
        ScheduleConnectionTimer();
        break;
    case KORVEL_NOTIFY_DEVICE_STATUS_CHANGED:
        RefreshPage(AddressedDevicePage(event));
        UpdateStatusBar();
        break;
    case KORVEL_NOTIFY_MIXER_PINS_CHANGED:
    case KORVEL_NOTIFY_MIXER_GAINS_CHANGED:
    case KORVEL_NOTIFY_MIXER_WEIGHTS_CHANGED:
        DispatchMixerEvent(event);
        break;
    default:
        break;
    }
}
