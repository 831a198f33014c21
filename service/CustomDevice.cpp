#include "CustomDevice.h"

#include "KorvelIoctl.h"
#include "KorvelStatus.h"
#include "SavedGainCodec.h"
#include "WdmConfig.h"
#include "WdmTableBuilder.h"

#include <algorithm>
#include <memory>
#include <new>

CustomDevice::CustomDevice(const std::wstring& registryRoot) : m_registryRoot(registryRoot)
{
    m_timerForwarder.Bind(this, &CustomDevice::OnTimerTick);
}

CustomDevice::~CustomDevice()
{
    // No completion may reach this object once it is gone: cancelling also
    // withdraws a completion that is already queued to the arming thread.
    (void)m_timer.Cancel();
    m_timer.Close();
}

void CustomDevice::OnTimerTick(DWORD, DWORD)
{
    // Nothing to do: the completion only wakes the server loop's alertable
    // wait, so that its end-of-round check runs.
}

DWORD CustomDevice::OnOpened()
{
    (void)LoadWdmConfiguration(); // defaults stay when the registry fails
    DWORD status = SendDeviceSetup();
    if (status != ERROR_SUCCESS) {
        return status;
    }
    status = SendChannelTable();
    if (status != ERROR_SUCCESS) {
        return status;
    }
    status = SendPairTable();
    if (status != ERROR_SUCCESS) {
        return status;
    }
    status = PrepareEndpoints();
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return ArmTimer();
}

DWORD CustomDevice::SendDeviceSetup()
{
    KorvelDeviceSetup setup = KorvelStandardDeviceSetup();
    DWORD status = Request(IOCTL_KORVEL_SET_DEVICE_SETUP, &setup, sizeof(setup), nullptr, 0);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    // Loop the host's first playback pair back into the first virtual input pair.
    KorvelMixerWeight routes[2] = {};
    for (uint8_t i = 0; i < 2; ++i) {
        routes[i].output.type = KORVEL_MIXER_PIN_VIRTUAL;
        routes[i].output.channel = i;
        routes[i].input.type = KORVEL_MIXER_PIN_OUT;
        routes[i].input.channel = i;
        routes[i].weight = 0;
        routes[i].flags = KORVEL_MIXER_WEIGHT_FLAG_CONNECTED;
    }
    return SetMixerWeights(routes, 2);
}

DWORD CustomDevice::PrepareEndpoints()
{
    // Both selectors are always tried; the first failure is reported.
    DWORD first = ERROR_SUCCESS;
    for (uint32_t selector : {ENDPOINT_SELECTOR_0, ENDPOINT_SELECTOR_2}) {
        DWORD status = SetEndpointState(selector, KORVEL_ENDPOINT_STATE_OFF);
        if (status == ERROR_SUCCESS) {
            status = SetEndpointParameter(selector, KORVEL_ENDPOINT_PARAMETER_VALUE);
        }
        if (first == ERROR_SUCCESS) {
            first = status;
        }
    }
    return first;
}

DWORD CustomDevice::ArmTimer()
{
    if (m_timer.Create(FALSE, nullptr, nullptr) != ERROR_SUCCESS ||
        m_timer.SetPeriodic(TIMER_PERIOD_MS, &m_timerForwarder, FALSE) != ERROR_SUCCESS) {
        return KORVEL_STATUS_FAILED;
    }
    return ERROR_SUCCESS;
}

DWORD CustomDevice::SetEndpointStates(uint32_t value)
{
    DWORD first = SetEndpointState(ENDPOINT_SELECTOR_0, value);
    DWORD second = SetEndpointState(ENDPOINT_SELECTOR_2, value);
    return first != ERROR_SUCCESS ? first : second;
}

DWORD CustomDevice::BeforeStateChange(uint32_t current, uint32_t target, uint32_t)
{
    if (target == KORVEL_STREAMING_STATE_RUNNING) {
        return SetEndpointStates(KORVEL_ENDPOINT_STATE_ON);
    }
    if (target == KORVEL_STREAMING_STATE_READY &&
        (current == KORVEL_STREAMING_STATE_PREPARED || current == KORVEL_STREAMING_STATE_RUNNING)) {
        return SetEndpointStates(KORVEL_ENDPOINT_STATE_OFF);
    }
    return ERROR_SUCCESS;
}

// ---------------------------------------------------------------------------
// WDM configuration and tables

DWORD CustomDevice::LoadWdmConfiguration()
{
    return WdmConfig::Load(m_registryRoot, GetSerialNumber(), m_renderWdmConfiguration,
                           m_captureWdmConfiguration);
}

DWORD CustomDevice::StoreWdmConfiguration()
{
    return WdmConfig::Store(m_registryRoot, GetSerialNumber(), m_renderWdmConfiguration,
                            m_captureWdmConfiguration);
}

bool CustomDevice::HasKind2Function()
{
    // 3.6 KB: kept off the stack of the time-critical server thread.
    std::unique_ptr<KorvelAudioFunctions> functions(new (std::nothrow) KorvelAudioFunctions{});
    if (functions == nullptr || GetAudioFunctions(*functions) != ERROR_SUCCESS) {
        return false;
    }
    return WdmTableBuilder::HasKind2Function(*functions);
}

DWORD CustomDevice::SendChannelTable()
{
    std::unique_ptr<KorvelWdmChannelTable> table(new (std::nothrow) KorvelWdmChannelTable);
    if (table == nullptr) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    // Asked again before each analog block, as the device may answer
    // differently for render and capture.
    const bool renderKind2 = HasKind2Function();
    const bool captureKind2 = HasKind2Function();
    WdmTableBuilder::BuildChannelTable(*table, renderKind2, captureKind2);
    return Request(IOCTL_KORVEL_SET_WDM_CHANNEL_NAMES, table.get(), sizeof(*table), nullptr, 0);
}

DWORD CustomDevice::SendPairTable()
{
    WdmTableBuilder::BuildPairTable(m_pairTable, m_renderWdmConfiguration,
                                    m_captureWdmConfiguration);
    return Request(IOCTL_KORVEL_SET_WDM_PAIR_NAMES, &m_pairTable, sizeof(m_pairTable), nullptr, 0);
}

void CustomDevice::ResetWdmConfiguration()
{
    m_renderWdmConfiguration = 0;
    m_captureWdmConfiguration = 0;
    (void)StoreWdmConfiguration();
    (void)SendPairTable();
}

// ---------------------------------------------------------------------------
// Output gains

bool CustomDevice::SavePairGains(uint32_t index)
{
    KorvelMixerGain gains[SavedGainCodec::MAX_GAIN_ENTRIES] = {};
    const uint32_t count = SavedGainCodec::BuildGainQuery(m_pairTable.render[index], gains);
    if (GetMixerOutputGains(gains, count) != ERROR_SUCCESS) {
        return false;
    }
    KorvelSavedVolume saved = SavedGainCodec::ToSavedVolume(index, gains, count);
    return SaveVolume(saved) == ERROR_SUCCESS;
}

void CustomDevice::OnMixerGainsChanged()
{
    const uint32_t count = std::min(m_pairTable.renderCount, KORVEL_WDM_MAX_ENTRIES);
    for (uint32_t i = 0; i < count; ++i) {
        if (m_pairTable.render[i].connection == KORVEL_WDM_CONNECTION_MIDI) {
            continue; // a MIDI port has no gains
        }
        if (!SavePairGains(i)) {
            return; // a failure stops the whole save
        }
    }
}

void CustomDevice::OnEndpointEvent2(uint32_t renderPairIndex)
{
    const uint32_t count = std::min(m_pairTable.renderCount, KORVEL_WDM_MAX_ENTRIES);
    if (renderPairIndex >= count) {
        return;
    }
    const KorvelWdmPairEntry& entry = m_pairTable.render[renderPairIndex];
    // The MIDI port has no gains and none are saved for it; restoring "its"
    // record would overwrite the S/PDIF gains with whatever the store holds.
    if (entry.connection == KORVEL_WDM_CONNECTION_MIDI) {
        return;
    }
    KorvelSavedVolume saved{};
    if (GetSavedVolume(KORVEL_SAVED_VOLUME_KIND_RENDER_GAINS, renderPairIndex, saved) !=
        ERROR_SUCCESS) {
        return;
    }
    KorvelMixerGain gains[SavedGainCodec::MAX_GAIN_ENTRIES] = {};
    const uint32_t gainCount = SavedGainCodec::BuildGainQuery(entry, gains);
    SavedGainCodec::FromSavedVolume(saved, gains, gainCount);
    (void)SetMixerOutputGains(gains, gainCount);
}
