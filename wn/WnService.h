#pragma once

// Marks a service object: held as the first member of every ServiceBase.
class WnService
{
public:
    WnService() = default;
    virtual ~WnService() = default;

    WnService(const WnService&) = delete;
    WnService& operator=(const WnService&) = delete;
};
