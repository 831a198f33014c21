#pragma once
// Drives the model's ASIO streams with the test process as the ASIO client:
// its own memory holds the shared block and the channel buffers, its own
// auto-reset event is the buffer event, and ForceState plays the service.
#include "KorvelAsioRecords.h"
#include "SimModelFixture.h"

#include <windows.h>

#include <string>
#include <vector>

class SimAsioFixture : public SimModelFixture
{
protected:
    static constexpr uint32_t CONNECTION = 7;
    static constexpr DWORD SIGNAL_WAIT_MS = 3000;

    // Committed read/write memory of the client, released at the end.
    struct Memory
    {
        explicit Memory(size_t bytes, DWORD protection = PAGE_READWRITE)
            : address(VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, protection))
        {
        }
        ~Memory() { Free(); }
        void Free()
        {
            if (address != nullptr) {
                VirtualFree(address, 0, MEM_RELEASE);
                address = nullptr;
            }
        }
        uint64_t Value() const { return reinterpret_cast<uintptr_t>(address); }
        void* address;
    };

    void SetUp() override;
    void TearDown() override;

    uint32_t Asio(uint32_t code, const void* in = nullptr, uint32_t inLength = 0);
    uint32_t Create(uint32_t frames, uint64_t block, uint64_t event);
    uint32_t Create(uint32_t frames) { return Create(frames, m_block.Value(), EventValue()); }
    uint32_t Enable(KorvelChannelKey key) { return Asio(IOCTL_KORVEL_ASIO_ENABLE_CHANNEL, &key, 8); }
    uint32_t SetBuffer(KorvelChannelKey key, uint64_t address, uint32_t halfBytes,
                       uint32_t formatWord = KORVEL_ASIO_CHANNEL_BUFFER_FORMAT_WORD);
    // Enables the channel and hands over a fresh buffer of N × 4 bytes a half.
    int32_t* AddPcmChannel(KorvelChannelKey key, uint32_t frames);
    KorvelChannelKey Input(uint32_t index) { return Key(SimDevice::DIRECTION_INPUT, index); }
    KorvelChannelKey Output(uint32_t index) { return Key(SimDevice::DIRECTION_OUTPUT, index); }
    KorvelChannelKey Key(uint32_t direction, uint32_t index);

    // Waits for the next buffer-event signal; the half the block names.
    bool WaitSignal(uint32_t& half, DWORD timeoutMs = SIGNAL_WAIT_MS);
    // Answers a switch as the ASIO driver does.
    void Acknowledge() { InterlockedIncrement(reinterpret_cast<volatile LONG*>(&Block().switchCount)); }
    KorvelAsioSharedBlock& Block() { return *static_cast<KorvelAsioSharedBlock*>(m_block.address); }
    uint64_t EventValue() const { return reinterpret_cast<uintptr_t>(m_event); }

    std::string DumpValue(const std::string& prefix);
    std::string StreamLine() { return DumpValue("asio.stream="); }
    // Field `name` of the stream's dump line.
    uint64_t StreamField(const std::string& name);
    uint32_t AsioErrorCount();
    int16_t InputLevel(KorvelMixerPin pin);

    static std::string TempPath(const std::string& name);

    uint32_t m_clientPid = GetCurrentProcessId(); // the process the requests come from
    Memory m_block{sizeof(KorvelAsioSharedBlock)};
    HANDLE m_event = nullptr;
    std::vector<std::unique_ptr<Memory>> m_buffers;
};
