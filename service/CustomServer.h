#pragma once
// The service's device server: quillo controllers for every device and the
// service's own WDM configuration requests 11001 and 11002.
#include "CustomDevice.h"
#include "KorvelServer.h"

class CustomServer : public KorvelServer
{
public:
    CustomServer() = default;
    ~CustomServer() override = default;

    // A new CustomDevice under this server's registry root.
    KorvelDevice* CreateDevice() override;

    // 11001 (set the WDM configuration; only 0 can be set) and 11002 (read
    // it, reply code 12001); anything else is an unknown command.
    DWORD OnCustomRequest(const KorvelMessage& request, KorvelMessage& reply) override;

private:
    DWORD SetWdmConfiguration(const KorvelMessage& request);
    DWORD GetWdmConfiguration(const KorvelMessage& request, KorvelMessage& reply);
    CustomDevice* FindCustomDevice(const KorvelDeviceKey& key) const;
};
