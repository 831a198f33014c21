#pragma once
// The ASIO driver's connection to the kernel driver's ASIO control device: a
// client connection (it sends sample-rate and stream-format requests to the
// device control service) with one operation per ASIO request. Each returns
// 0 or the transport's status and writes its output record in place.
#include "KorvelAsioRecords.h"
#include "KorvelClient.h"

class KorvelAsioClient : public KorvelClient
{
public:
    KorvelAsioClient() = default;
    ~KorvelAsioClient() override = default;

    // Opens `name` with both the message and the notification event.
    DWORD OpenWithBothEvents(const wchar_t* name);

    // Counts above the record's tables are not trusted: they are cut to 12
    // rates and 96 keys per table before anyone reads the record.
    DWORD AsioGetStreamConfig(KorvelAsioStreamConfig& config);
    // Reads the configuration again into `config`; a failed read leaves the
    // previous values in place.
    DWORD RefreshStreamConfig(KorvelAsioStreamConfig& config);
    DWORD AsioGetChannelList(KorvelAsioChannelList& list);
    // The record is cleared first; its name is always zero-terminated after
    // a successful request.
    DWORD AsioGetChannelInfo(const KorvelChannelKey& key, KorvelAsioChannelInfo& info);
    DWORD AsioGetLatencies(KorvelAsioLatencies& latencies);
    DWORD AsioEnableChannel(const KorvelChannelKey& id);
    DWORD AsioDisableChannel(const KorvelChannelKey& id);
    DWORD AsioCreateBuffers(const KorvelAsioBufferSetup& setup);
    DWORD AsioDisposeBuffers();
    DWORD AsioSetChannelBuffer(const KorvelAsioChannelBuffer& buffer);
    DWORD AsioStart();
    DWORD AsioStop();
};
