#pragma once
// What is particular to the product: the driver's name, the ASIO control
// device it opens and how its control panel is started.
#include <windows.h>

class AsioCustom
{
public:
    AsioCustom() = default;
    virtual ~AsioCustom() = default;

    AsioCustom(const AsioCustom&) = delete;
    AsioCustom& operator=(const AsioCustom&) = delete;

    virtual const wchar_t* getName();
    virtual const wchar_t* getDeviceName();
    // Starts "korvelcpl.exe" from `directory` (with its trailing backslash)
    // with the option "-asio" and returns at once; 0 whether or not it
    // started. `module` is not used.
    virtual long launchControlPanel(HMODULE module, const wchar_t* directory);
};
