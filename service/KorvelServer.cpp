#include "KorvelServer.h"

#include "KorvelLog.h"

#include "KorvelIoctl.h"
#include "KorvelProductKey.h"
#include "KorvelStatus.h"

#include <algorithm>
#include <new>

KorvelDevice* KorvelServer::CreateDevice()
{
    return new (std::nothrow) KorvelDeviceCtrl();
}

const wchar_t* KorvelServer::GetServiceName() const
{
    return L"quillosvc";
}

const wchar_t* KorvelServer::GetDisplayName() const
{
    return L"quillo control";
}

const wchar_t* KorvelServer::GetDescription() const
{
    return L"quillo control service";
}

void KorvelServer::GetInterfaceGuid(GUID& guid) const
{
    guid = GUID{0x37A02BA4, 0x5264, 0x4c11, {0x88, 0x03, 0xF2, 0x15, 0x0F, 0x58, 0x1B, 0xB0}};
}

const wchar_t* KorvelServer::GetInterfaceGuidText() const
{
    return KORVEL_CONTROL_DEVICE_NAME;
}

const wchar_t* KorvelServer::GetRegistryRoot() const
{
    return KORVEL_PRODUCT_KEY;
}

// ---------------------------------------------------------------------------
// Connection and server loop

DWORD KorvelServer::Connect(const wchar_t* name)
{
    // Already open: 0. Otherwise both events, then client type 0; a refused
    // registration closes everything again.
    return OpenTyped(name, KORVEL_CLIENT_SERVER, true, true);
}

DWORD KorvelServer::Serve(HANDLE stopEvent, HANDLE arrivalEvent)
{
    // Streaming changes and the ASIO driver's requests must not wait for
    // other work on the machine.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);

    if (!IsOpen()) {
        DWORD status = Connect(GetInterfaceGuidText());
        if (status == KORVEL_STATUS_ALREADY_DONE) {
            return status; // another server is registered
        }
    }
    if (IsOpen()) {
        bool changed = false;
        (void)RefreshControllers(changed);
        OnDeviceListChanged();
    }

    DWORD result = ERROR_SUCCESS;
    bool previousWaitFailed = false;
    bool run = true;
    while (run) {
        HANDLE handles[4] = {stopEvent, arrivalEvent, MessageEvent(), NotificationEvent()};
        DWORD count = IsOpen() ? 4 : 2;
        DWORD wait = WaitForMultipleObjectsEx(count, handles, FALSE, WaitLimit(), TRUE);
        bool waitFailed = false;
        switch (wait) {
        case WAIT_OBJECT_0:
            run = false;
            break;
        case WAIT_OBJECT_0 + 1:
            OnArrival();
            break;
        case WAIT_OBJECT_0 + 2:
        case WAIT_OBJECT_0 + 3:
        case WAIT_IO_COMPLETION: // a timer completion ran
        case WAIT_TIMEOUT:       // a retry is due
            break;
        case WAIT_FAILED:
            // A single failure is passed over; a wait that fails again at
            // once (a closed or invalid handle) would fail forever and spin
            // this time-critical thread.
            waitFailed = true;
            if (previousWaitFailed) {
                DWORD error = GetLastError();
                result = error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
                run = false;
            }
            break;
        default:
            result = wait; // an abandoned wait or another unexpected result
            run = false;
            break;
        }
        previousWaitFailed = waitFailed;
        if (run) {
            DrainQueues();
            RunDueRetry();
        }
        EndRound(!run);
    }
    return result;
}

DWORD KorvelServer::WaitLimit() const
{
    if (m_retry == Retry::None) {
        return INFINITE;
    }
    const ULONGLONG now = GetTickCount64();
    return now >= m_retryAt ? 0 : static_cast<DWORD>(m_retryAt - now);
}

void KorvelServer::ScheduleRetry(Retry retry, DWORD delayMs)
{
    m_retry = retry;
    m_retryAt = GetTickCount64() + delayMs;
}

void KorvelServer::RunDueRetry()
{
    if (m_retry == Retry::None || GetTickCount64() < m_retryAt) {
        return;
    }
    const Retry retry = m_retry;
    m_retry = Retry::None;
    if (retry == Retry::Reconnect) {
        Reconnect();
    } else if (IsOpen()) {
        bool changed = false;
        if (RefreshControllers(changed) == ERROR_SUCCESS && changed) {
            OnDeviceListChanged();
        }
    }
}

DWORD KorvelServer::RefreshControllers(bool& changed)
{
    DWORD status = RefreshDevices(changed, OnListFailure::KeepList);
    m_lastRefreshFailed = status != ERROR_SUCCESS;
    if (IsConnectionLost()) {
        return status; // the end of the round reconnects
    }
    if (m_lastRefreshFailed || ListedCount() > DeviceCount()) {
        if (m_retry != Retry::Refresh) {
            ScheduleRetry(Retry::Refresh, RETRY_PERIOD_MS);
        }
    } else if (m_retry == Retry::Refresh) {
        m_retry = Retry::None;
    }
    return status;
}

bool KorvelServer::DevicesExpected() const
{
    return m_lastRefreshFailed || ListedCount() > 0 || DeviceCount() > 0;
}

void KorvelServer::EndRound(bool stopping)
{
    if (!stopping && IsConnectionLost()) {
        OnConnectionLost();
        return;
    }
    if (m_pendingDisconnect) {
        m_pendingDisconnect = false;
        // A device that came while the last one was being removed (in the
        // same drain) keeps the connection.
        if (!DevicesExpected()) {
            CloseAll(); // the next arrival reconnects
        }
    }
}

void KorvelServer::OnConnectionLost()
{
    // The kernel driver went away under the open handles (it was reloaded,
    // or the simulator restarted): every handle is dead, the device handles
    // too. The controllers stay; the next enumeration binds them again and
    // so sets their devices up again.
    CloseAll();
    for (size_t i = 0; i < DeviceCount(); ++i) {
        DeviceAt(i)->Close();
    }
    m_pendingDisconnect = false;
    m_reconnectDelayMs = 0;
    Reconnect();
}

void KorvelServer::Reconnect()
{
    if (Connect(GetInterfaceGuidText()) != ERROR_SUCCESS) {
        // The kernel driver is not there yet: try again after a growing pause.
        m_reconnectDelayMs = m_reconnectDelayMs == 0
                                 ? RECONNECT_FIRST_MS
                                 : std::min(2 * m_reconnectDelayMs, RECONNECT_LAST_MS);
        ScheduleRetry(Retry::Reconnect, m_reconnectDelayMs);
        return;
    }
    m_reconnectDelayMs = 0;
    m_retry = Retry::None;
    bool changed = false;
    (void)RefreshControllers(changed);
    OnDeviceListChanged();
}

void KorvelServer::OnArrival()
{
    if (!IsOpen()) {
        (void)Connect(GetInterfaceGuidText());
    }
    if (IsOpen()) {
        if (m_retry == Retry::Reconnect) {
            m_retry = Retry::None;
            m_reconnectDelayMs = 0;
        }
        bool changed = false;
        (void)RefreshControllers(changed);
        if (changed) {
            OnDeviceListChanged();
        }
    }
}

void KorvelServer::DrainQueues()
{
    DrainRequests();
    DrainNotifications();
}

void KorvelServer::DrainRequests()
{
    if (!IsOpen()) {
        return;
    }
    KorvelMessage request;
    while (ReceiveMsg(request) == ERROR_SUCCESS) {
        if (request.type != KORVEL_MSG_TYPE_REQUEST) {
            continue;
        }
        KorvelMessage reply;
        reply.InitReply(request, KORVEL_STATUS_INVALID_COMMAND);
        m_replyDeferred = false;
        DWORD status = OnRequest(request, reply);
        if (m_replyDeferred) {
            continue; // the handler replies later
        }
        // Any status is a reply, KORVEL_STATUS_PENDING included: the kernel
        // driver may have answered it to a request a handler made.
        reply.result = status;
        (void)SendMsg(reply);
    }
}

void KorvelServer::DrainNotifications()
{
    if (!IsOpen()) {
        return;
    }
    KorvelMessage message;
    while (ReceiveNotification(message) == ERROR_SUCCESS) {
        if (message.type == KORVEL_MSG_TYPE_NOTIFICATION) {
            OnNotification(message);
        }
    }
}

void KorvelServer::OnDeviceListChanged()
{
    if (!DevicesExpected()) {
        m_pendingDisconnect = true;
    } else if (DeviceCount() > 0) {
        (void)BringUp(0);
    }
    SendNotification(KORVEL_NOTIFY_STREAMING_CHANGED);
    SendNotification(KORVEL_NOTIFY_DEVICES_CHANGED);
}

void KorvelServer::SendNotification(uint32_t code)
{
    KorvelMessage message;
    message.Init(KORVEL_MSG_TYPE_NOTIFICATION, code);
    (void)SendMsg(message);
}

// ---------------------------------------------------------------------------
// Requests

DWORD KorvelServer::OnRequest(const KorvelMessage& request, KorvelMessage& reply)
{
    DWORD status = ERROR_SUCCESS;
    switch (request.code) {
    case KORVEL_MSG_SET_SAMPLE_RATE: {
        uint32_t rate = 0;
        status = request.ReadPayload(rate);
        return status != ERROR_SUCCESS ? status : SetSampleRate(rate);
    }
    case KORVEL_MSG_SET_BUFFER_SIZES: {
        KorvelBufferSizesSetting sizes{};
        status = request.ReadPayload(sizes);
        return status != ERROR_SUCCESS ? status : SetBufferSizes(sizes);
    }
    case KORVEL_MSG_SELECT_STREAMING_DEVICE: {
        KorvelStreamingDeviceSelection selection{};
        status = request.ReadPayload(selection);
        return status != ERROR_SUCCESS ? status : SelectStreamingDevice(selection);
    }
    case KORVEL_MSG_SET_DSD_MODE: {
        uint8_t dsd = 0;
        status = request.ReadPayload(dsd);
        return status != ERROR_SUCCESS ? status : SetDsdMode(dsd);
    }
    case KORVEL_MSG_SET_POLICY: {
        uint32_t policy = 0;
        status = request.ReadPayload(policy);
        return status != ERROR_SUCCESS ? status : SetPolicy(policy);
    }
    default:
        return OnCustomRequest(request, reply);
    }
}

DWORD KorvelServer::OnCustomRequest(const KorvelMessage&, KorvelMessage&)
{
    return KORVEL_STATUS_INVALID_COMMAND;
}

bool KorvelServer::IsBusy(const KorvelStreamingState& state)
{
    return state.activityCount2 > 0 || state.activityCount3 > 0;
}

DWORD KorvelServer::SetSampleRate(uint32_t rate)
{
    KorvelStreamingState state{};
    DWORD status = GetStreamingState(state);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (state.sampleRate == rate) {
        return ERROR_SUCCESS;
    }
    if (IsBusy(state)) {
        return KORVEL_STATUS_SOUND_DEVICE_IN_USE;
    }
    (void)Request(IOCTL_KORVEL_ANNOUNCE_SAMPLE_RATE, &rate, sizeof(rate), nullptr, 0);

    // The down/ready commands carry whether the policy forbids rate changes.
    uint32_t policy = 0;
    uint32_t flag = 0;
    if (GetPolicy(policy) == ERROR_SUCCESS && (policy & KORVEL_POLICY_FORBID_SAMPLE_RATE_CHANGE)) {
        flag = 1;
    }
    status = BringDown(flag);
    if (status != ERROR_SUCCESS) {
        SendNotification(KORVEL_NOTIFY_STREAMING_CHANGED);
        return status;
    }
    DWORD result = Request(IOCTL_KORVEL_SET_SAMPLE_RATE, &rate, sizeof(rate), nullptr, 0);
    DWORD up = BringUp(flag);
    if (result == ERROR_SUCCESS) {
        result = up;
    }
    SendNotification(KORVEL_NOTIFY_STREAMING_CHANGED);
    SendNotification(KORVEL_NOTIFY_SAMPLE_RATE_CHANGED);
    return result;
}

DWORD KorvelServer::ApplyStreamingSetting(DWORD code, const void* setting, DWORD length)
{
    KorvelStreamingState state{};
    DWORD status = GetStreamingState(state);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (IsBusy(state)) {
        return KORVEL_STATUS_SOUND_DEVICE_IN_USE;
    }
    status = BringDown(0);
    if (status != ERROR_SUCCESS) {
        SendNotification(KORVEL_NOTIFY_STREAMING_CHANGED);
        return status;
    }
    DWORD result = Request(code, setting, length, nullptr, 0);
    DWORD up = BringUp(0);
    if (result == ERROR_SUCCESS) {
        result = up;
    }
    SendNotification(KORVEL_NOTIFY_STREAMING_CHANGED);
    return result;
}

DWORD KorvelServer::SetBufferSizes(const KorvelBufferSizesSetting& sizes)
{
    return ApplyStreamingSetting(IOCTL_KORVEL_SET_BUFFER_SIZES, &sizes, sizeof(sizes));
}

DWORD KorvelServer::SelectStreamingDevice(const KorvelStreamingDeviceSelection& selection)
{
    return ApplyStreamingSetting(IOCTL_KORVEL_SELECT_STREAMING_DEVICE, &selection,
                                 sizeof(selection));
}

DWORD KorvelServer::SetDsdMode(uint8_t dsd)
{
    for (size_t i = 0; i < DeviceCount(); ++i) {
        if (KorvelDeviceCtrl* controller = ControllerAt(i)) {
            DWORD status = controller->SetDsdMode(dsd);
            if (status != ERROR_SUCCESS) {
                return status;
            }
        }
    }
    return ERROR_SUCCESS;
}

DWORD KorvelServer::SetPolicy(uint32_t policy)
{
    uint32_t current = 0;
    DWORD status = GetPolicy(current);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (current == policy) {
        return ERROR_SUCCESS;
    }
    KorvelStreamingState state{};
    status = GetStreamingState(state);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    // Only activity count 2 forbids a policy change.
    if (state.activityCount2 > 0) {
        return KORVEL_STATUS_SOUND_DEVICE_IN_USE;
    }
    status = BringDown(1);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    // A refused set or a failed restart is the caller's answer: reporting
    // success would leave the panel's check box showing a policy the driver
    // does not have.
    DWORD result = Request(IOCTL_KORVEL_SET_POLICY, &policy, sizeof(policy), nullptr, 0);
    DWORD up = BringUp(1);
    if (result == ERROR_SUCCESS) {
        result = up;
    }
    return result;
}

// ---------------------------------------------------------------------------
// Notifications

void KorvelServer::OnNotification(const KorvelMessage& message)
{
    switch (message.code) {
    case KORVEL_NOTIFY_STREAM_START_NEEDED:
        OnNotify3003();
        break;
    case KORVEL_NOTIFY_STREAM_STOP_POSSIBLE:
        OnNotify3004();
        break;
    case KORVEL_NOTIFY_DEVICE_LIST_CHANGED:
        OnNotify3005();
        break;
    case KORVEL_NOTIFY_STREAM_RESTART_NEEDED:
        OnNotify3006();
        break;
    case KORVEL_NOTIFY_CLIENT_STREAM_START_NEEDED:
    case KORVEL_NOTIFY_CLIENT_STREAM_STOP_POSSIBLE: {
        KorvelClientStreamNotice notice{};
        if (message.ReadPayload(notice) != ERROR_SUCCESS) {
            break;
        }
        if (message.code == KORVEL_NOTIFY_CLIENT_STREAM_START_NEEDED) {
            OnNotify3015(notice.value0, notice.value1);
        } else {
            OnNotify3016(notice.value0, notice.value1);
        }
        break;
    }
    case KORVEL_NOTIFY_DEVICES_CHANGED_REQUEST:
        OnNotify3020();
        break;
    case KORVEL_NOTIFY_UNNAMED_3021:
        break;
    case KORVEL_NOTIFY_MIXER_GAINS_CHANGED: {
        KorvelDeviceKey key{};
        if (message.ReadPayload(key) == ERROR_SUCCESS) {
            OnMixerGainsChanged(key);
        }
        break;
    }
    case KORVEL_NOTIFY_ENDPOINT_EVENT: {
        KorvelEndpointEvent event{};
        if (message.ReadPayload(event) == ERROR_SUCCESS) {
            OnNotify3060(event);
        }
        break;
    }
    default:
        OnOtherNotification(message);
        break;
    }
}

void KorvelServer::OnOtherNotification(const KorvelMessage&) {}

void KorvelServer::OnNotify3003()
{
    (void)BringUp(0);
}

void KorvelServer::OnNotify3004()
{
    (void)StopIfUnneeded();
}

void KorvelServer::OnNotify3006()
{
    (void)BringUp(0);
}

void KorvelServer::OnNotify3005()
{
    bool changed = false;
    if (RefreshControllers(changed) != ERROR_SUCCESS) {
        return; // the list and the controllers stay; the retry enumerates again
    }
    OnDeviceListChanged();
}

void KorvelServer::OnNotify3015(uint32_t, uint32_t)
{
    (void)BringUp(0);
}

void KorvelServer::OnNotify3016(uint32_t, uint32_t)
{
    (void)StopIfUnneeded();
}

void KorvelServer::OnNotify3020()
{
    SendNotification(KORVEL_NOTIFY_DEVICES_CHANGED);
}

void KorvelServer::OnMixerGainsChanged(const KorvelDeviceKey& key)
{
    if (KorvelDeviceCtrl* controller = FindController(key)) {
        controller->OnMixerGainsChanged();
    }
}

void KorvelServer::OnNotify3060(const KorvelEndpointEvent& event)
{
    KorvelDeviceCtrl* controller = FindController(event.key);
    if (controller == nullptr) {
        return;
    }
    if (event.kind == KORVEL_ENDPOINT_EVENT_KIND_1) {
        controller->OnEndpointEvent1(event.value);
    } else if (event.kind == KORVEL_ENDPOINT_EVENT_KIND_2) {
        controller->OnEndpointEvent2(event.value);
    }
}

// ---------------------------------------------------------------------------
// Streaming state machine

bool KorvelServer::IsStreamingNeeded(const KorvelStreamingState& state)
{
    return state.activityCount1 != 0 || state.activityCount2 != 0 || state.activityCount4 != 0 ||
           state.activityCount5 != 0;
}

DWORD KorvelServer::StreamingCommand(uint32_t command, uint32_t argument)
{
    KorvelStreamingCommand record{command, argument};
    const DWORD status =
        Request(IOCTL_KORVEL_STREAMING_COMMAND, &record, sizeof(record), nullptr, 0);
    KorvelLog::Write(status == ERROR_SUCCESS ? KORVEL_LOG_INFO : KORVEL_LOG_ERROR,
                     "streaming command %u (argument %u): %s", command, argument,
                     StatusName(status));
    return status;
}

DWORD KorvelServer::BringUp(uint32_t flag)
{
    DWORD status = PrepareDevices();
    if (status != ERROR_SUCCESS) {
        return status;
    }
    for (int step = 0; step < MAX_STATE_STEPS; ++step) {
        KorvelStreamingState state{};
        status = GetStreamingState(state);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        const uint32_t rate = state.sampleRate;
        switch (state.state) {
        case KORVEL_STREAMING_STATE_DOWN:
            status = BeforeStateChange(1, 2, rate);
            if (status == ERROR_SUCCESS) {
                status = StreamingCommand(KORVEL_STREAMING_CMD_READY, flag);
            }
            if (status != ERROR_SUCCESS) {
                return status;
            }
            AfterStateChange(1, 2, rate);
            break;
        case KORVEL_STREAMING_STATE_READY:
        case KORVEL_STREAMING_STATE_PREPARED: {
            if (state.state == KORVEL_STREAMING_STATE_READY && !IsStreamingNeeded(state)) {
                return ERROR_SUCCESS;
            }
            const uint32_t current = state.state;
            const uint32_t target = current + 1;
            status = BeforeStateChange(current, target, rate);
            if (status != ERROR_SUCCESS) {
                return status;
            }
            status = StreamingCommand(current == KORVEL_STREAMING_STATE_READY
                                          ? KORVEL_STREAMING_CMD_PREPARE
                                          : KORVEL_STREAMING_CMD_RUN);
            if (status != ERROR_SUCCESS) {
                StateChangeFailed(current, target, status);
                return status;
            }
            AfterStateChange(current, target, rate);
            break;
        }
        case KORVEL_STREAMING_STATE_RUNNING:
            return ERROR_SUCCESS;
        case KORVEL_STREAMING_STATE_ERROR:
        case KORVEL_STREAMING_STATE_NOT_SUPPORTED:
            status = StreamingCommand(KORVEL_STREAMING_CMD_LEAVE_ERROR);
            if (status != ERROR_SUCCESS) {
                return status;
            }
            break;
        default:
            return KORVEL_STATUS_INVALID_STATE;
        }
    }
    return KORVEL_STATUS_INVALID_STATE; // the state never settled
}

DWORD KorvelServer::StepDownToReady(const KorvelStreamingState& state)
{
    const uint32_t current = state.state;
    (void)BeforeStateChange(current, KORVEL_STREAMING_STATE_READY, state.sampleRate);
    DWORD status = StreamingCommand(KORVEL_STREAMING_CMD_STOP);
    if (status != ERROR_SUCCESS) {
        StateChangeFailed(current, KORVEL_STREAMING_STATE_READY, status);
        return status;
    }
    AfterStateChange(current, KORVEL_STREAMING_STATE_READY, state.sampleRate);
    return ERROR_SUCCESS;
}

DWORD KorvelServer::BringDown(uint32_t flag)
{
    for (int step = 0; step < MAX_STATE_STEPS; ++step) {
        KorvelStreamingState state{};
        DWORD status = GetStreamingState(state);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        switch (state.state) {
        case KORVEL_STREAMING_STATE_DOWN:
            return ERROR_SUCCESS;
        case KORVEL_STREAMING_STATE_READY:
            (void)BeforeStateChange(KORVEL_STREAMING_STATE_READY, KORVEL_STREAMING_STATE_DOWN,
                                    state.sampleRate);
            status = StreamingCommand(KORVEL_STREAMING_CMD_DOWN, flag);
            if (status != ERROR_SUCCESS) {
                return status;
            }
            AfterStateChange(KORVEL_STREAMING_STATE_READY, KORVEL_STREAMING_STATE_DOWN,
                             state.sampleRate);
            break;
        case KORVEL_STREAMING_STATE_PREPARED:
        case KORVEL_STREAMING_STATE_RUNNING:
            status = StepDownToReady(state);
            if (status != ERROR_SUCCESS) {
                return status;
            }
            break;
        case KORVEL_STREAMING_STATE_ERROR:
        case KORVEL_STREAMING_STATE_NOT_SUPPORTED:
            status = StreamingCommand(KORVEL_STREAMING_CMD_LEAVE_ERROR);
            if (status != ERROR_SUCCESS) {
                return status;
            }
            break;
        default:
            return KORVEL_STATUS_INVALID_STATE;
        }
    }
    return KORVEL_STATUS_INVALID_STATE; // the state never settled
}

DWORD KorvelServer::StopIfUnneeded()
{
    KorvelStreamingState state{};
    DWORD status = GetStreamingState(state);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if ((state.state == KORVEL_STREAMING_STATE_PREPARED ||
         state.state == KORVEL_STREAMING_STATE_RUNNING) &&
        !IsStreamingNeeded(state)) {
        return StepDownToReady(state);
    }
    return ERROR_SUCCESS;
}

// ---------------------------------------------------------------------------
// Every controller

KorvelDeviceCtrl* KorvelServer::ControllerAt(size_t index) const
{
    return dynamic_cast<KorvelDeviceCtrl*>(DeviceAt(index));
}

KorvelDeviceCtrl* KorvelServer::FindController(const KorvelDeviceKey& key) const
{
    return dynamic_cast<KorvelDeviceCtrl*>(FindDevice(key.word0, key.word1));
}

DWORD KorvelServer::BeforeStateChange(uint32_t current, uint32_t target, uint32_t sampleRate)
{
    for (size_t i = 0; i < DeviceCount(); ++i) {
        if (KorvelDeviceCtrl* controller = ControllerAt(i)) {
            DWORD status = controller->BeforeStateChange(current, target, sampleRate);
            if (status != ERROR_SUCCESS) {
                return status;
            }
        }
    }
    return ERROR_SUCCESS;
}

void KorvelServer::AfterStateChange(uint32_t current, uint32_t target, uint32_t sampleRate)
{
    for (size_t i = 0; i < DeviceCount(); ++i) {
        if (KorvelDeviceCtrl* controller = ControllerAt(i)) {
            controller->AfterStateChange(current, target, sampleRate);
        }
    }
}

void KorvelServer::StateChangeFailed(uint32_t current, uint32_t target, DWORD status)
{
    for (size_t i = 0; i < DeviceCount(); ++i) {
        if (KorvelDeviceCtrl* controller = ControllerAt(i)) {
            controller->StateChangeFailed(current, target, status);
        }
    }
}

DWORD KorvelServer::PrepareDevices()
{
    for (size_t i = 0; i < DeviceCount(); ++i) {
        if (KorvelDeviceCtrl* controller = ControllerAt(i)) {
            DWORD status = controller->Prepare();
            if (status != ERROR_SUCCESS) {
                return status;
            }
        }
    }
    return ERROR_SUCCESS;
}
