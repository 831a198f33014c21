#include "AsioChannel.h"

#include <cwchar>

AsioChannel::AsioChannel(const KorvelAsioChannelInfo& info, bool dummy)
    : m_info(info), m_dummy(dummy)
{
    m_info.name[KORVEL_CHANNEL_NAME_CHARS - 1] = L'\0';
}

std::unique_ptr<AsioChannel> AsioChannel::MakeDummyOutput(const wchar_t* side)
{
    KorvelAsioChannelInfo info{};
    info.direction = KORVEL_ASIO_DIRECTION_OUTPUT;
    info.format = 0;
    std::swprintf(info.name, KORVEL_CHANNEL_NAME_CHARS, L"Dummy OUT %ls", side);
    return std::make_unique<AsioChannel>(info, true);
}
