#pragma once
// What exists between createBuffers and disposeBuffers: the block shared
// with the kernel driver (buffer index and switch counter), the buffer event
// the kernel driver signals, and the channel set whose records hold the
// channel buffers of this stream.
//
// A rebuild of the channel sets (a rate change that alters the layout) must
// not free buffers the kernel driver may still write to: such a set is handed
// over here with KeepChannels and lives until the session ends, which
// disposeBuffers does only after it has disabled the channels and withdrawn
// the buffers from the kernel driver.
#include "AsioChannelSet.h"
#include "AsioVirtualMemory.h"
#include "KorvelAsioRecords.h"
#include "WnEvent.h"

#include <memory>

class AsioSharedBuffers
{
public:
    explicit AsioSharedBuffers(AsioChannelSet& channels);

    AsioSharedBuffers(const AsioSharedBuffers&) = delete;
    AsioSharedBuffers& operator=(const AsioSharedBuffers&) = delete;

    // Allocates the shared block (both fields 0) and creates the auto-reset,
    // unnamed buffer event: 0, ERROR_NOT_ENOUGH_MEMORY or the event's status.
    DWORD Create();

    KorvelAsioSharedBlock* Block() const
    {
        return static_cast<KorvelAsioSharedBlock*>(m_block.Address());
    }
    HANDLE BufferEvent() const { return m_bufferEvent.GetHandle(); }

    // The set whose active channels belong to this stream.
    AsioChannelSet& Channels() const { return *m_channels; }
    // True once the set was handed over by KeepChannels.
    bool OwnsChannels() const { return m_kept != nullptr; }

    // When `set` is this stream's set, moves its records here (they keep
    // their buffers and stay active) and leaves `set` empty. May throw
    // std::bad_alloc, with `set` unchanged.
    void KeepChannels(AsioChannelSet& set);

    // Set once the kernel driver accepted the announcement.
    void MarkAnnounced() { m_announced = true; }
    bool Announced() const { return m_announced; }

private:
    AsioVirtualMemory m_block;
    WnEvent m_bufferEvent;
    AsioChannelSet* m_channels;
    std::unique_ptr<AsioChannelSet> m_kept;
    bool m_announced = false;
};
