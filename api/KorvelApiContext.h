#pragma once
// One connection to the kernel driver's control device: one overlapped
// handle, requests sent on it one at a time under the connection's lock, and
// one thin operation per control code that fills the input record, issues the
// request with the interface's fixed lengths and returns the status.
//
// Open and Request are the only places in the system that open the control
// device and issue control requests; both go through the device link, which
// talks to the real device or, when explicitly configured, to the simulator.
#include <windows.h>

#include "KorvelDeviceLink.h"
#include "KorvelEchoRecord.h"
#include "KorvelMessage.h"
#include "KorvelMixerRecords.h"
#include "KorvelRecords.h"
#include "KorvelServiceRecords.h"
#include "WnEvent.h"

#include <atomic>
#include <cstdint>

class KorvelApiContext
{
public:
    KorvelApiContext();
    virtual ~KorvelApiContext();

    KorvelApiContext(const KorvelApiContext&) = delete;
    KorvelApiContext& operator=(const KorvelApiContext&) = delete;

    // Opens the control device `name` and checks the interface version.
    // KORVEL_STATUS_REJECTED on an open connection (which is left alone);
    // every failure leaves the connection closed.
    DWORD Open(const wchar_t* name);
    // Closes the handle and the completion event; nothing when closed.
    void Close();
    // True while a handle is held; read without the lock, so it may be stale.
    bool IsOpen() const { return m_device.load(std::memory_order_acquire) != nullptr; }
    // True once a request on the open handle found it dead (see
    // KorvelDeviceLink::IsLost): only closing and opening again helps.
    bool IsConnectionLost() const { return IsOpen() && m_link.IsLost(); }

    // Sends one control request and waits for it without a time limit.
    // KORVEL_STATUS_NOT_OPENED without a handle. `bytesReturned`, when given,
    // receives the number of output bytes also on failure.
    DWORD Request(DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength,
                  DWORD* bytesReturned = nullptr);

    // The connection's lock: re-entrant, held by Open, Close and Request, and
    // by anything that must run several requests without interleaving.
    void Lock() { EnterCriticalSection(&m_lock); }
    void Unlock() { LeaveCriticalSection(&m_lock); }

    // --- Driver-wide requests -------------------------------------------
    DWORD GetVersion(KorvelVersionInfo& version);
    // Input length 32 + payload length; a message whose payload length lies
    // beyond the record is refused (KORVEL_STATUS_INVALID_LENGTH), not sent.
    DWORD SendMsg(const KorvelMessage& message);
    // Both clear the message's type and code before receiving. A success
    // that returns anything but a whole record with header size 32 and a
    // payload length within the record fails with
    // KORVEL_STATUS_INVALID_MSG_SIZE.
    DWORD ReceiveMsg(KorvelMessage& message);
    DWORD ReceiveNotification(KorvelMessage& message);
    // Either handle may be null; both null withdraw the registration.
    DWORD SetNotificationEvents(HANDLE messageEvent, HANDLE notificationEvent);
    DWORD SetClientType(uint32_t clientType);
    DWORD GetDeviceList(KorvelDeviceList& list);
    // Binds this connection to one device.
    DWORD OpenDevice(uint32_t keyWord0, uint32_t keyWord1);
    DWORD GetInputChannels(KorvelChannelList& list);
    DWORD GetOutputChannels(KorvelChannelList& list);
    DWORD GetChannelInfo(uint32_t keyWord0, uint32_t keyWord1, KorvelChannelInfo& info);
    DWORD GetSampleRates(KorvelSampleRates& rates);
    DWORD GetBufferSizes(KorvelBufferSizes& sizes);
    DWORD GetStreamingState(KorvelStreamingState& state);
    DWORD GetStatusCounters(KorvelStatusCounters& counters);
    DWORD GetPolicy(uint32_t& policy);

    // --- Device-level requests (on a bound connection) ---------------------
    DWORD GetAudioFunctions(KorvelAudioFunctions& functions);
    DWORD GetSpdifInputStatus(uint32_t index, KorvelSpdifInputStatus& status);
    DWORD SetSpdifPassThrough(uint32_t index, uint32_t index2, bool enabled);
    // `enabled` is written only on success.
    DWORD GetSpdifPassThrough(uint32_t index, uint32_t index2, bool& enabled);
    // Arrays of `count` entries with the pin descriptors filled; the levels
    // come back in place.
    DWORD GetMixerInputLevels(KorvelMixerLevel* levels, uint32_t count);
    DWORD GetMixerOutputLevels(KorvelMixerLevel* levels, uint32_t count);
    // Fills up to `capacity` descriptors; `count` = bytes returned / 4.
    DWORD GetMixerPins(uint32_t pinSet, KorvelMixerPin* pins, uint32_t capacity, uint32_t& count);
    DWORD GetMixerOutputGains(KorvelMixerGain* gains, uint32_t count);
    DWORD SetMixerOutputGains(KorvelMixerGain* gains, uint32_t count);
    DWORD GetMixerWeights(KorvelMixerWeight* weights, uint32_t count);
    DWORD SetMixerWeights(KorvelMixerWeight* weights, uint32_t count);
    DWORD SetVolumeBypass(uint8_t on);
    // `on` is cleared to 0 before the request.
    DWORD GetVolumeBypass(uint8_t& on);
    DWORD SetBypassMute(uint8_t on);
    // Zeroes the record and stores the two words at offsets 0 and 4 first.
    DWORD GetSavedVolume(uint32_t word0, uint32_t word1, KorvelSavedVolume& volume);
    DWORD SaveVolume(const KorvelSavedVolume& volume);
    // The echo parameter block and the length to send (the control panel
    // passes the whole block); a length beyond the block is refused.
    DWORD SetEcho(const KorvelEchoRecord& block, uint32_t length = sizeof(KorvelEchoRecord));
    DWORD GetEcho(KorvelEchoRecord& block, uint32_t length = sizeof(KorvelEchoRecord));
    DWORD SetEndpointParameter(uint32_t value0, uint32_t value1);
    DWORD SetEndpointState(uint32_t value0, uint32_t value1);

protected:
    // Room for a stored control device name, terminator included.
    static constexpr size_t NAME_CHARS = 100;
    // Stores `name` cut to NAME_CHARS - 1 characters (a null name as empty).
    static void StoreName(wchar_t (&stored)[NAME_CHARS], const wchar_t* name);

private:
    // Input and output of the same element array; refuses a count whose byte
    // length does not fit the request.
    DWORD ArrayRequest(DWORD code, void* entries, uint32_t count, uint32_t entrySize);
    DWORD TwoWordRequest(DWORD code, uint32_t value0, uint32_t value1);
    DWORD ReceiveRecord(DWORD code, KorvelMessage& message);
    DWORD CheckVersion();

    CRITICAL_SECTION m_lock;
    std::atomic<HANDLE> m_device{nullptr};
    WnEvent m_completion;
    KorvelDeviceLink m_link;
};
