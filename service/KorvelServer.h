#pragma once
// The device server: the one connection registered with the kernel driver as
// server. It answers the clients' setting requests, reacts to the kernel
// driver's notifications, alone drives the streaming state machine (down,
// ready, prepared, running) and keeps one controller per attached device.
// Everything runs on the thread that calls Serve.
#include "KorvelDeviceCtrl.h"
#include "KorvelDriver.h"

#include <cstdint>

class KorvelServer : public KorvelDriver
{
public:
    // Most state-machine steps one bring-up or bring-down takes before the
    // kernel driver is taken to be stuck (a full walk needs at most five).
    static constexpr int MAX_STATE_STEPS = 16;
    // A failed enumeration, or a listed device without a working
    // controller, is retried this long after (the controllers' timer period).
    static constexpr DWORD RETRY_PERIOD_MS = 3000;
    // A lost connection is opened again at once, then after growing pauses
    // from the first to the last of these while the kernel driver is absent.
    static constexpr DWORD RECONNECT_FIRST_MS = 250;
    static constexpr DWORD RECONNECT_LAST_MS = 3000;

    KorvelServer() = default;
    ~KorvelServer() override = default;

    // A new, unopened controller.
    KorvelDevice* CreateDevice() override;

    // Identity of the service built on this server.
    virtual const wchar_t* GetServiceName() const;
    virtual const wchar_t* GetDisplayName() const;
    virtual const wchar_t* GetDescription() const;
    // Device interface class; also the name of the control device.
    virtual void GetInterfaceGuid(GUID& guid) const;
    virtual const wchar_t* GetInterfaceGuidText() const;
    // Registry root under HKEY_LOCAL_MACHINE.
    virtual const wchar_t* GetRegistryRoot() const;

    // After an enumeration: an empty list schedules the disconnect at the end
    // of the loop round, otherwise streaming is brought up; then 3010 and 3030.
    virtual void OnDeviceListChanged();

    // Dispatches requests 1001 to 1005; any other code goes to OnCustomRequest.
    // The result becomes the reply's result; a handler may replace the
    // reply's code and payload.
    virtual DWORD OnRequest(const KorvelMessage& request, KorvelMessage& reply);
    virtual DWORD OnCustomRequest(const KorvelMessage& request, KorvelMessage& reply);

    // The request handlers.
    virtual DWORD SetSampleRate(uint32_t rate);
    virtual DWORD SetBufferSizes(const KorvelBufferSizesSetting& sizes);
    virtual DWORD SelectStreamingDevice(const KorvelStreamingDeviceSelection& selection);
    virtual DWORD SetDsdMode(uint8_t dsd);
    virtual DWORD SetPolicy(uint32_t policy);

    // Dispatches one notification by its code; a payload of the wrong size
    // drops it.
    virtual void OnNotification(const KorvelMessage& message);
    virtual void OnOtherNotification(const KorvelMessage& message);
    virtual void OnNotify3003();
    virtual void OnNotify3004();
    virtual void OnNotify3006();
    virtual void OnNotify3005();
    virtual void OnNotify3015(uint32_t value0, uint32_t value1);
    virtual void OnNotify3016(uint32_t value0, uint32_t value1);
    virtual void OnNotify3020();
    virtual void OnMixerGainsChanged(const KorvelDeviceKey& key);
    virtual void OnNotify3060(const KorvelEndpointEvent& event);

    // True while a client needs streaming (activity counts 1, 2, 4 or 5).
    virtual bool IsStreamingNeeded(const KorvelStreamingState& state);

    // Passed to every controller, in list order.
    virtual DWORD BeforeStateChange(uint32_t current, uint32_t target, uint32_t sampleRate);
    virtual void AfterStateChange(uint32_t current, uint32_t target, uint32_t sampleRate);
    virtual void StateChangeFailed(uint32_t current, uint32_t target, DWORD status);
    virtual DWORD PrepareDevices();

    // The server loop. Returns 0 when the stop event is signalled,
    // KORVEL_STATUS_ALREADY_DONE at once when another server is registered,
    // and the wait's error or result when waiting fails for good.
    DWORD Serve(HANDLE stopEvent, HANDLE arrivalEvent);

    // Streaming state machine, one command per step, the state read back
    // after each. `flag` is the argument of the down/ready commands.
    DWORD BringUp(uint32_t flag);
    DWORD BringDown(uint32_t flag);
    DWORD StopIfUnneeded();

    // Opens the connection and registers as server; 0 when already open.
    DWORD Connect(const wchar_t* name);

    // Set when the device list was found empty; the connection closes at the
    // end of the loop round unless a device has come since.
    bool IsDisconnectPending() const { return m_pendingDisconnect; }
    // True while an enumeration or a reconnection waits for its next try.
    bool IsRetryDue() const { return m_retry != Retry::None; }

protected:
    // A request handler that answers later calls this instead of returning a
    // status that the kernel driver might also have returned; the loop then
    // sends no reply for the request.
    void DeferReply() { m_replyDeferred = true; }

    // The controller at `index`, or null for an entry that is not one.
    KorvelDeviceCtrl* ControllerAt(size_t index) const;
    KorvelDeviceCtrl* FindController(const KorvelDeviceKey& key) const;

    DWORD StreamingCommand(uint32_t command, uint32_t argument = 0);
    // Header-only notification on the server connection; the status is
    // ignored because nothing could be done about a lost broadcast.
    void SendNotification(uint32_t code);
    // Busy: a client streams in a way that forbids setting changes.
    static bool IsBusy(const KorvelStreamingState& state);

private:
    // Buffer sizes and streaming device: refused while busy, streaming
    // brought down around the setting, 3010 afterwards.
    DWORD ApplyStreamingSetting(DWORD code, const void* setting, DWORD length);
    // One move of the machine from `state` towards `target` with the
    // callbacks around it; used by BringDown and StopIfUnneeded.
    DWORD StepDownToReady(const KorvelStreamingState& state);

    enum class Retry
    {
        None,
        Refresh,   // enumerate again (and set up the devices it misses)
        Reconnect, // open the connection again, then enumerate
    };

    void OnArrival();
    // Both queues, on every wake-up: a receive that failed once leaves its
    // event consumed, and only a later wake-up finds what is still queued.
    void DrainQueues();
    void DrainRequests();
    void DrainNotifications();
    // RefreshDevices that keeps the list when the list request fails and
    // schedules a retry while the kernel driver lists more devices than have
    // a working controller. The request's status.
    DWORD RefreshControllers(bool& changed);
    // True while the kernel driver may still have devices for us: the last
    // enumeration failed or listed devices, or controllers exist.
    bool DevicesExpected() const;
    // End of a loop round: a lost connection is closed and reopened, a
    // scheduled disconnect happens once the device set is checked again.
    void EndRound(bool stopping);
    void OnConnectionLost();
    void Reconnect();
    void RunDueRetry();
    void ScheduleRetry(Retry retry, DWORD delayMs);
    // Time limit of the loop's wait: until the next retry, or none.
    DWORD WaitLimit() const;

    bool m_pendingDisconnect = false;
    bool m_replyDeferred = false;
    bool m_lastRefreshFailed = false;
    Retry m_retry = Retry::None;
    ULONGLONG m_retryAt = 0;
    DWORD m_reconnectDelayMs = 0;
};
