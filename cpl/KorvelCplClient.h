#pragma once
// The control panel's driver client. The program holds one shared instance
// (opened with OpenPanel, both events) whose device list every page searches
// by key; the main window opens a second one as its view connection. Its own
// type keeps the panel's connections apart from the ASIO driver's and the
// service's in code and in tests.
#include "KorvelClient.h"

class KorvelCplClient : public KorvelClient
{
public:
    // The panel's window waits while a request waits for the service: a
    // service that has not answered by then is reported to the user
    // ("does not answer") instead of freezing the window for the 30 s a
    // background client may wait.
    static constexpr DWORD REPLY_TIMEOUT_MS = 5000;

    KorvelCplClient() { SetReplyTimeout(REPLY_TIMEOUT_MS); }
    ~KorvelCplClient() override;
};
