#pragma once
// One channel as the driver holds it: the kernel driver's description, its
// double buffer (both halves back to back; none until the host asks for
// one) and whether it is a dummy that exists only in the driver and is never
// announced to the kernel driver.
#include "AsioVirtualMemory.h"
#include "KorvelAsioRecords.h"

#include <memory>

class AsioChannel
{
public:
    explicit AsioChannel(const KorvelAsioChannelInfo& info, bool dummy = false);

    // A dummy output: direction output, PCM, identifiers 0, "Dummy OUT <side>".
    static std::unique_ptr<AsioChannel> MakeDummyOutput(const wchar_t* side);

    const KorvelAsioChannelInfo& Info() const { return m_info; }
    bool IsInput() const { return m_info.direction == KORVEL_ASIO_DIRECTION_INPUT; }
    bool IsDsd() const { return m_info.format == KORVEL_ASIO_FORMAT_DSD; }
    bool IsDummy() const { return m_dummy; }

    AsioVirtualMemory& Buffer() { return m_buffer; }
    bool HasBuffer() const { return m_buffer.Address() != nullptr; }

private:
    KorvelAsioChannelInfo m_info;
    AsioVirtualMemory m_buffer;
    bool m_dummy;
};
