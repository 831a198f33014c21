#include "CtlWatchCommand.h"

#include "CtlCodeName.h"
#include "KorvelStatus.h"

#include <cstdio>

using nlohmann::json;

namespace {

constexpr CtlCodeName kEvents[] = {
    {KORVEL_NOTIFY_SETTINGS_CHANGED, "settings-changed"},
    {KORVEL_NOTIFY_STREAM_START_NEEDED, "stream-start-needed"},
    {KORVEL_NOTIFY_STREAM_STOP_POSSIBLE, "stream-stop-possible"},
    {KORVEL_NOTIFY_DEVICE_LIST_CHANGED, "device-list-changed"},
    {KORVEL_NOTIFY_STREAM_RESTART_NEEDED, "stream-restart-needed"},
    {KORVEL_NOTIFY_STREAMING_CHANGED, "streaming-changed"},
    {KORVEL_NOTIFY_SAMPLE_RATE_CHANGED, "sample-rate-changed"},
    {KORVEL_NOTIFY_CLIENT_STREAM_START_NEEDED, "client-stream-start-needed"},
    {KORVEL_NOTIFY_CLIENT_STREAM_STOP_POSSIBLE, "client-stream-stop-possible"},
    {KORVEL_NOTIFY_DEVICES_CHANGED_REQUEST, "devices-changed-request"},
    {KORVEL_NOTIFY_DEVICES_CHANGED, "devices-changed"},
    {KORVEL_NOTIFY_DEVICE_STATUS_CHANGED, "device-status-changed"},
    {KORVEL_NOTIFY_MIXER_PINS_CHANGED, "mixer-pins-changed"},
    {KORVEL_NOTIFY_MIXER_GAINS_CHANGED, "mixer-gains-changed"},
    {KORVEL_NOTIFY_MIXER_WEIGHTS_CHANGED, "mixer-weights-changed"},
    {KORVEL_NOTIFY_ENDPOINT_EVENT, "endpoint-event"},
};

bool NamesDevice(uint32_t code)
{
    return code == KORVEL_NOTIFY_DEVICE_STATUS_CHANGED || code == KORVEL_NOTIFY_MIXER_PINS_CHANGED ||
           code == KORVEL_NOTIFY_MIXER_GAINS_CHANGED || code == KORVEL_NOTIFY_MIXER_WEIGHTS_CHANGED;
}

} // namespace

int CtlWatchCommand::Run(CtlContext& context)
{
    if (context.Line().WordCount() != 0) {
        return context.Report().Usage("watch takes no arguments");
    }
    const int connected = context.Connect();
    if (connected != CTL_EXIT_OK) {
        return connected;
    }
    KorvelCplClient& client = context.Client();
    // Only what happens from now on: what was queued before is old news.
    (void)client.FlushNotifications();
    const HANDLE waits[] = {context.Stop().Handle(), client.NotificationEvent()};
    for (;;) {
        const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, CHECK_PERIOD_MS);
        if (woken == WAIT_OBJECT_0) {
            return CTL_EXIT_OK;
        }
        if (woken != WAIT_OBJECT_0 + 1 && woken != WAIT_TIMEOUT) {
            return context.Report().Refused("cannot wait for notifications", GetLastError());
        }
        // A quiet connection is asked too: a dead one fails the receive.
        const DWORD status = Drain(context);
        if (status != KORVEL_STATUS_NO_MORE_ITEMS) {
            return context.Report().Absent("the connection to the quillo driver ended", status);
        }
    }
}

const char* CtlWatchCommand::EventName(uint32_t code)
{
    return CtlFindName(kEvents, code, nullptr);
}

DWORD CtlWatchCommand::Drain(CtlContext& context)
{
    KorvelMessage message{};
    DWORD status = KORVEL_STATUS_SUCCESS;
    while ((status = context.Client().ReceiveNextNotification(message)) == KORVEL_STATUS_SUCCESS) {
        const json event = Describe(context, message);
        std::string text = event["event"].is_string() ? event["event"].get<std::string>()
                                                      : "notification " + event["code"].dump();
        if (event.contains("serial")) {
            text += " " + event["serial"].get<std::string>();
        }
        context.Report().Line(event, text);
    }
    return status;
}

json CtlWatchCommand::Describe(CtlContext& context, const KorvelMessage& message)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char time[32];
    std::snprintf(time, sizeof time, "%02u:%02u:%02u.%03u", now.wHour, now.wMinute, now.wSecond,
             now.wMilliseconds);
    const char* name = EventName(message.code);
    json event = {{"time", time},
                  {"code", message.code},
                  {"event", name != nullptr ? json(name) : json(nullptr)}};
    KorvelCplClient& client = context.Client();
    if (message.code == KORVEL_NOTIFY_DEVICES_CHANGED ||
        message.code == KORVEL_NOTIFY_DEVICE_LIST_CHANGED) {
        // Later events name the devices of the new list.
        bool changed = false;
        (void)client.RefreshDevices(changed);
    }
    KorvelDeviceKey key{};
    if (NamesDevice(message.code) && message.ReadPayload(key) == KORVEL_STATUS_SUCCESS) {
        const KorvelDevice* device = client.FindDevice(key.word0, key.word1);
        event["serial"] = device != nullptr ? CtlConnection::Serial(*device) : std::string("?");
    }
    return event;
}
