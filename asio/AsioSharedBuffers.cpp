#include "AsioSharedBuffers.h"

#include <utility>

AsioSharedBuffers::AsioSharedBuffers(AsioChannelSet& channels) : m_channels(&channels)
{
}

DWORD AsioSharedBuffers::Create()
{
    if (!m_block.Allocate(sizeof(KorvelAsioSharedBlock))) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    *Block() = KorvelAsioSharedBlock{};
    return m_bufferEvent.Create(FALSE, FALSE);
}

void AsioSharedBuffers::KeepChannels(AsioChannelSet& set)
{
    if (&set != m_channels || m_kept != nullptr) {
        return;
    }
    // Moving the set moves the owning pointers: the records, their buffers
    // and the active arrays that refer to them stay where they are.
    m_kept = std::make_unique<AsioChannelSet>(std::move(set));
    m_channels = m_kept.get();
    set.Clear();
}
