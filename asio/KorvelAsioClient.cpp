#include "KorvelAsioClient.h"

#include "KorvelIoctl.h"

#include <algorithm>

DWORD KorvelAsioClient::OpenWithBothEvents(const wchar_t* name)
{
    return OpenWithEvents(name, true, true);
}

DWORD KorvelAsioClient::AsioGetStreamConfig(KorvelAsioStreamConfig& config)
{
    DWORD status = Request(IOCTL_KORVEL_ASIO_GET_STREAM_CONFIG, nullptr, 0, &config,
                           sizeof(config));
    config.rateCount = std::min(config.rateCount, KORVEL_MAX_SAMPLE_RATES);
    return status;
}

DWORD KorvelAsioClient::RefreshStreamConfig(KorvelAsioStreamConfig& config)
{
    KorvelAsioStreamConfig fresh = config;
    DWORD status = AsioGetStreamConfig(fresh);
    if (status == ERROR_SUCCESS) {
        config = fresh;
    }
    return status;
}

DWORD KorvelAsioClient::AsioGetChannelList(KorvelAsioChannelList& list)
{
    DWORD status = Request(IOCTL_KORVEL_ASIO_GET_CHANNEL_LIST, nullptr, 0, &list, sizeof(list));
    for (KorvelChannelList& table : list.tables) {
        table.count = std::min(table.count, KORVEL_MAX_CHANNELS);
    }
    return status;
}

DWORD KorvelAsioClient::AsioGetChannelInfo(const KorvelChannelKey& key,
                                           KorvelAsioChannelInfo& info)
{
    info = KorvelAsioChannelInfo{};
    DWORD status =
        Request(IOCTL_KORVEL_ASIO_GET_CHANNEL_INFO, &key, sizeof(key), &info, sizeof(info));
    info.name[KORVEL_CHANNEL_NAME_CHARS - 1] = L'\0';
    return status;
}

DWORD KorvelAsioClient::AsioGetLatencies(KorvelAsioLatencies& latencies)
{
    return Request(IOCTL_KORVEL_ASIO_GET_LATENCIES, nullptr, 0, &latencies, sizeof(latencies));
}

DWORD KorvelAsioClient::AsioEnableChannel(const KorvelChannelKey& id)
{
    return Request(IOCTL_KORVEL_ASIO_ENABLE_CHANNEL, &id, sizeof(id), nullptr, 0);
}

DWORD KorvelAsioClient::AsioDisableChannel(const KorvelChannelKey& id)
{
    return Request(IOCTL_KORVEL_ASIO_DISABLE_CHANNEL, &id, sizeof(id), nullptr, 0);
}

DWORD KorvelAsioClient::AsioCreateBuffers(const KorvelAsioBufferSetup& setup)
{
    return Request(IOCTL_KORVEL_ASIO_CREATE_BUFFERS, &setup, sizeof(setup), nullptr, 0);
}

DWORD KorvelAsioClient::AsioDisposeBuffers()
{
    return Request(IOCTL_KORVEL_ASIO_DISPOSE_BUFFERS, nullptr, 0, nullptr, 0);
}

DWORD KorvelAsioClient::AsioSetChannelBuffer(const KorvelAsioChannelBuffer& buffer)
{
    return Request(IOCTL_KORVEL_ASIO_SET_CHANNEL_BUFFER, &buffer, sizeof(buffer), nullptr, 0);
}

DWORD KorvelAsioClient::AsioStart()
{
    return Request(IOCTL_KORVEL_ASIO_START, nullptr, 0, nullptr, 0);
}

DWORD KorvelAsioClient::AsioStop()
{
    return Request(IOCTL_KORVEL_ASIO_STOP, nullptr, 0, nullptr, 0);
}
