#pragma once

#include <windows.h>

// Sees each message before it is dispatched; true = consumed.
class WtlMessageFilter
{
public:
    virtual bool PreTranslateMessage(MSG* msg) = 0;

protected:
    ~WtlMessageFilter() = default;
};
