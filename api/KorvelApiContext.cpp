#include "KorvelApiContext.h"

#include "KorvelIoctl.h"
#include "KorvelIoctlName.h"
#include "KorvelLog.h"
#include "KorvelStatus.h"

#include <cstdio>
#include <cstring>

KorvelApiContext::KorvelApiContext()
{
    InitializeCriticalSection(&m_lock);
}

KorvelApiContext::~KorvelApiContext()
{
    Close();
    DeleteCriticalSection(&m_lock);
}

void KorvelApiContext::StoreName(wchar_t (&stored)[NAME_CHARS], const wchar_t* name)
{
    size_t at = 0;
    if (name != nullptr) {
        while (at + 1 < NAME_CHARS && name[at] != L'\0') {
            stored[at] = name[at];
            ++at;
        }
    }
    stored[at] = L'\0';
}

DWORD KorvelApiContext::Open(const wchar_t* name)
{
    Lock();
    if (IsOpen()) {
        Unlock();
        return KORVEL_STATUS_REJECTED;
    }
    if (m_completion.GetHandle() == nullptr) {
        DWORD status = m_completion.Create(TRUE, FALSE);
        if (status != ERROR_SUCCESS) {
            Unlock();
            return status;
        }
    }
    HANDLE handle = nullptr;
    DWORD status = m_link.Open(name, handle);
    if (status != ERROR_SUCCESS) {
        Close();
        Unlock();
        return status;
    }
    m_device.store(handle, std::memory_order_release);
    status = CheckVersion();
    if (status != ERROR_SUCCESS) {
        Close();
    }
    Unlock();
    return status;
}

DWORD KorvelApiContext::CheckVersion()
{
    KorvelVersionInfo version{};
    DWORD status = GetVersion(version);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (version.interfaceMajor != KORVEL_INTERFACE_VERSION_MAJOR) {
        return KORVEL_STATUS_VERSION_MISMATCH;
    }
    return ERROR_SUCCESS;
}

void KorvelApiContext::Close()
{
    Lock();
    HANDLE handle = m_device.exchange(nullptr, std::memory_order_acq_rel);
    if (handle != nullptr && !CloseHandle(handle)) {
        (void)GetLastError(); // nothing to do about a failed close
    }
    m_link.Reset();
    m_completion.Close();
    Unlock();
}

namespace {

// The diagnostic log's line of one request (code name, lengths, status, duration).
void LogRequest(DWORD code, DWORD inLength, DWORD outLength, DWORD status,
                DWORD bytes, int64_t started)
{
    LARGE_INTEGER now{};
    LARGE_INTEGER frequency{};
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    const char* name = IoctlName(code);
    char unknown[16];
    if (name == nullptr) {
        std::snprintf(unknown, sizeof unknown, "0x%08lX", code);
        name = unknown;
    }
    KorvelLog::Write(KORVEL_LOG_DEBUG,
                     "request %s in=%lu out=%lu status=%s ret=%lu us=%.1f", name, inLength,
                     outLength, StatusName(status), bytes,
                     (now.QuadPart - started) * 1e6 / static_cast<double>(frequency.QuadPart));
}

} // namespace

DWORD KorvelApiContext::Request(DWORD code, const void* in, DWORD inLength, void* out,
                                DWORD outLength, DWORD* bytesReturned)
{
    Lock();
    HANDLE handle = m_device.load(std::memory_order_acquire);
    if (handle == nullptr) {
        Unlock();
        return KORVEL_STATUS_NOT_OPENED;
    }
    DWORD bytes = 0;
    const bool logged = KORVEL_LOG_ON(KORVEL_LOG_DEBUG);
    LARGE_INTEGER started{};
    if (logged) {
        QueryPerformanceCounter(&started);
    }
    DWORD status = m_link.Transact(handle, m_completion.GetHandle(), code, in, inLength, out,
                                   outLength, bytes);
    if (bytesReturned != nullptr) {
        *bytesReturned = bytes;
    }
    Unlock();
    if (logged) {
        LogRequest(code, inLength, outLength, status, bytes, started.QuadPart);
    }
    return status;
}


// --- Driver-wide requests ----------------------------------------------------

DWORD KorvelApiContext::GetVersion(KorvelVersionInfo& version)
{
    return Request(IOCTL_KORVEL_GET_VERSION, nullptr, 0, &version, sizeof(version));
}

DWORD KorvelApiContext::SendMsg(const KorvelMessage& message)
{
    if (!message.HasValidLength()) {
        return KORVEL_STATUS_INVALID_LENGTH;
    }
    return Request(IOCTL_KORVEL_SEND_MESSAGE, &message, message.WireLength(), nullptr, 0);
}

DWORD KorvelApiContext::ReceiveMsg(KorvelMessage& message)
{
    return ReceiveRecord(IOCTL_KORVEL_RECEIVE_MESSAGE, message);
}

DWORD KorvelApiContext::ReceiveNotification(KorvelMessage& message)
{
    return ReceiveRecord(IOCTL_KORVEL_RECEIVE_NOTIFICATION, message);
}

DWORD KorvelApiContext::ReceiveRecord(DWORD code, KorvelMessage& message)
{
    message.ClearForReceive();
    DWORD bytes = 0;
    DWORD status = Request(code, nullptr, 0, &message, sizeof(message), &bytes);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    // A success that brings less than a whole, well-formed record is a
    // broken peer: taking it for a message would let a drain spin on
    // nothing, or read a payload length beyond the record.
    if (bytes != sizeof(message) || message.headerSize != KORVEL_MSG_HEADER_SIZE ||
        !message.HasValidLength()) {
        message.ClearForReceive();
        return KORVEL_STATUS_INVALID_MSG_SIZE;
    }
    return ERROR_SUCCESS;
}

DWORD KorvelApiContext::SetNotificationEvents(HANDLE messageEvent, HANDLE notificationEvent)
{
    // Handles travel zero-extended to 64 bits on every pointer size.
    KorvelEventRegistration registration{};
    registration.messageEvent = reinterpret_cast<uintptr_t>(messageEvent);
    registration.notificationEvent = reinterpret_cast<uintptr_t>(notificationEvent);
    return Request(IOCTL_KORVEL_SET_NOTIFICATION_EVENTS, &registration, sizeof(registration),
                   nullptr, 0);
}

DWORD KorvelApiContext::SetClientType(uint32_t clientType)
{
    return Request(IOCTL_KORVEL_SET_CLIENT_TYPE, &clientType, sizeof(clientType), nullptr, 0);
}

DWORD KorvelApiContext::GetDeviceList(KorvelDeviceList& list)
{
    return Request(IOCTL_KORVEL_GET_DEVICE_LIST, nullptr, 0, &list, sizeof(list));
}

DWORD KorvelApiContext::OpenDevice(uint32_t keyWord0, uint32_t keyWord1)
{
    KorvelDeviceKey key{};
    key.word0 = keyWord0;
    key.word1 = keyWord1;
    return Request(IOCTL_KORVEL_OPEN_DEVICE, &key, sizeof(key), nullptr, 0);
}

DWORD KorvelApiContext::GetInputChannels(KorvelChannelList& list)
{
    return Request(IOCTL_KORVEL_GET_INPUT_CHANNELS, nullptr, 0, &list, sizeof(list));
}

DWORD KorvelApiContext::GetOutputChannels(KorvelChannelList& list)
{
    return Request(IOCTL_KORVEL_GET_OUTPUT_CHANNELS, nullptr, 0, &list, sizeof(list));
}

DWORD KorvelApiContext::GetChannelInfo(uint32_t keyWord0, uint32_t keyWord1,
                                       KorvelChannelInfo& info)
{
    KorvelChannelKey key{};
    key.word0 = keyWord0;
    key.word1 = keyWord1;
    return Request(IOCTL_KORVEL_GET_CHANNEL_INFO, &key, sizeof(key), &info, sizeof(info));
}

DWORD KorvelApiContext::GetSampleRates(KorvelSampleRates& rates)
{
    return Request(IOCTL_KORVEL_GET_SAMPLE_RATES, nullptr, 0, &rates, sizeof(rates));
}

DWORD KorvelApiContext::GetBufferSizes(KorvelBufferSizes& sizes)
{
    return Request(IOCTL_KORVEL_GET_BUFFER_SIZES, nullptr, 0, &sizes, sizeof(sizes));
}

DWORD KorvelApiContext::GetStreamingState(KorvelStreamingState& state)
{
    return Request(IOCTL_KORVEL_GET_STREAMING_STATE, nullptr, 0, &state, sizeof(state));
}

DWORD KorvelApiContext::GetStatusCounters(KorvelStatusCounters& counters)
{
    return Request(IOCTL_KORVEL_GET_STATUS_COUNTERS, nullptr, 0, &counters, sizeof(counters));
}

DWORD KorvelApiContext::GetPolicy(uint32_t& policy)
{
    return Request(IOCTL_KORVEL_GET_POLICY, nullptr, 0, &policy, sizeof(policy));
}

// --- Device-level requests ---------------------------------------------------

DWORD KorvelApiContext::GetAudioFunctions(KorvelAudioFunctions& functions)
{
    return Request(IOCTL_KORVEL_GET_AUDIO_FUNCTIONS, nullptr, 0, &functions, sizeof(functions));
}

DWORD KorvelApiContext::GetSpdifInputStatus(uint32_t index, KorvelSpdifInputStatus& status)
{
    status = KorvelSpdifInputStatus{};
    status.index = index;
    return Request(IOCTL_KORVEL_GET_SPDIF_INPUT_STATUS, &status, sizeof(status), &status,
                   sizeof(status));
}

DWORD KorvelApiContext::SetSpdifPassThrough(uint32_t index, uint32_t index2, bool enabled)
{
    KorvelSpdifPassThrough record{};
    record.index = index;
    record.index2 = index2;
    record.enabled = enabled ? 1u : 0u;
    return Request(IOCTL_KORVEL_SET_SPDIF_PASS_THROUGH, &record, sizeof(record), nullptr, 0);
}

DWORD KorvelApiContext::GetSpdifPassThrough(uint32_t index, uint32_t index2, bool& enabled)
{
    KorvelSpdifPassThrough record{};
    record.index = index;
    record.index2 = index2;
    DWORD status = Request(IOCTL_KORVEL_GET_SPDIF_PASS_THROUGH, &record, sizeof(record), &record,
                           sizeof(record));
    if (status == ERROR_SUCCESS) {
        enabled = record.enabled != 0;
    }
    return status;
}

DWORD KorvelApiContext::ArrayRequest(DWORD code, void* entries, uint32_t count, uint32_t entrySize)
{
    if (count > MAXDWORD / entrySize || (entries == nullptr && count != 0)) {
        return ERROR_INVALID_PARAMETER;
    }
    const DWORD length = count * entrySize;
    return Request(code, entries, length, entries, length);
}

DWORD KorvelApiContext::GetMixerInputLevels(KorvelMixerLevel* levels, uint32_t count)
{
    return ArrayRequest(IOCTL_KORVEL_GET_MIXER_INPUT_LEVELS, levels, count, sizeof(*levels));
}

DWORD KorvelApiContext::GetMixerOutputLevels(KorvelMixerLevel* levels, uint32_t count)
{
    return ArrayRequest(IOCTL_KORVEL_GET_MIXER_OUTPUT_LEVELS, levels, count, sizeof(*levels));
}

DWORD KorvelApiContext::GetMixerPins(uint32_t pinSet, KorvelMixerPin* pins, uint32_t capacity,
                                     uint32_t& count)
{
    count = 0;
    if (capacity > MAXDWORD / sizeof(KorvelMixerPin) || (pins == nullptr && capacity != 0)) {
        return ERROR_INVALID_PARAMETER;
    }
    DWORD bytes = 0;
    DWORD status = Request(IOCTL_KORVEL_GET_MIXER_PINS, &pinSet, sizeof(pinSet), pins,
                           capacity * static_cast<DWORD>(sizeof(KorvelMixerPin)), &bytes);
    // The byte count comes from the other side: never report more
    // descriptors than the array holds.
    count = bytes / sizeof(KorvelMixerPin);
    if (count > capacity) {
        count = capacity;
    }
    return status;
}

DWORD KorvelApiContext::GetMixerOutputGains(KorvelMixerGain* gains, uint32_t count)
{
    return ArrayRequest(IOCTL_KORVEL_GET_MIXER_OUTPUT_GAINS, gains, count, sizeof(*gains));
}

DWORD KorvelApiContext::SetMixerOutputGains(KorvelMixerGain* gains, uint32_t count)
{
    return ArrayRequest(IOCTL_KORVEL_SET_MIXER_OUTPUT_GAINS, gains, count, sizeof(*gains));
}

DWORD KorvelApiContext::GetMixerWeights(KorvelMixerWeight* weights, uint32_t count)
{
    return ArrayRequest(IOCTL_KORVEL_GET_MIXER_WEIGHTS, weights, count, sizeof(*weights));
}

DWORD KorvelApiContext::SetMixerWeights(KorvelMixerWeight* weights, uint32_t count)
{
    return ArrayRequest(IOCTL_KORVEL_SET_MIXER_WEIGHTS, weights, count, sizeof(*weights));
}

DWORD KorvelApiContext::SetVolumeBypass(uint8_t on)
{
    return Request(IOCTL_KORVEL_SET_VOLUME_BYPASS, &on, sizeof(on), nullptr, 0);
}

DWORD KorvelApiContext::GetVolumeBypass(uint8_t& on)
{
    on = 0;
    return Request(IOCTL_KORVEL_GET_VOLUME_BYPASS, nullptr, 0, &on, sizeof(on));
}

DWORD KorvelApiContext::SetBypassMute(uint8_t on)
{
    return Request(IOCTL_KORVEL_SET_BYPASS_MUTE, &on, sizeof(on), nullptr, 0);
}

DWORD KorvelApiContext::GetSavedVolume(uint32_t word0, uint32_t word1, KorvelSavedVolume& volume)
{
    std::memset(&volume, 0, sizeof(volume));
    std::memcpy(reinterpret_cast<uint8_t*>(&volume), &word0, sizeof(word0));
    std::memcpy(reinterpret_cast<uint8_t*>(&volume) + 4, &word1, sizeof(word1));
    return Request(IOCTL_KORVEL_GET_SAVED_VOLUME, &volume, sizeof(volume), &volume, sizeof(volume));
}

DWORD KorvelApiContext::SaveVolume(const KorvelSavedVolume& volume)
{
    return Request(IOCTL_KORVEL_SAVE_VOLUME, &volume, sizeof(volume), nullptr, 0);
}

DWORD KorvelApiContext::SetEcho(const KorvelEchoRecord& block, uint32_t length)
{
    if (length > sizeof(block)) {
        return ERROR_INVALID_PARAMETER;
    }
    return Request(IOCTL_KORVEL_SET_ECHO, &block, length, nullptr, 0);
}

DWORD KorvelApiContext::GetEcho(KorvelEchoRecord& block, uint32_t length)
{
    if (length > sizeof(block)) {
        return ERROR_INVALID_PARAMETER;
    }
    return Request(IOCTL_KORVEL_GET_ECHO, &block, length, &block, length);
}

DWORD KorvelApiContext::TwoWordRequest(DWORD code, uint32_t value0, uint32_t value1)
{
    const uint32_t record[2] = {value0, value1};
    return Request(code, record, sizeof(record), nullptr, 0);
}

DWORD KorvelApiContext::SetEndpointParameter(uint32_t value0, uint32_t value1)
{
    return TwoWordRequest(IOCTL_KORVEL_SET_ENDPOINT_PARAMETER, value0, value1);
}

DWORD KorvelApiContext::SetEndpointState(uint32_t value0, uint32_t value1)
{
    return TwoWordRequest(IOCTL_KORVEL_SET_ENDPOINT_STATE, value0, value1);
}
