#pragma once
// The control panel's driver client. The program holds one shared instance
// (opened with OpenPanel, both events) whose device list every page searches
// by key; the main window opens a second one as its view connection. It
// adds nothing to KorvelClient: its own type keeps the panel's connections
// apart from the ASIO driver's and the service's in code and in tests.
#include "KorvelClient.h"

class KorvelCplClient : public KorvelClient
{
public:
    KorvelCplClient() = default;
    ~KorvelCplClient() override;
};
