#pragma once
// The summary of a streaming session, as text for people or as one JSON
// object for scripts.
#include "HostStreamResult.h"

#include <string>

class HostReport
{
public:
    static std::string Text(const HostStreamResult& result);
    static std::string Json(const HostStreamResult& result);

private:
    static std::string JsonString(const std::string& text);
};
