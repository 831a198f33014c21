#pragma once
// Puts one COM class into the hosts' list of ASIO drivers and takes it out
// again:
//   HKCR\CLSID\{clsid}                   default = description
//   HKCR\CLSID\{clsid}\InprocServer32    default = module path (lower case),
//                                        ThreadingModel = threading model
//   HKLM\SOFTWARE\ASIO\<key name>        CLSID = "{clsid}", Description = description
// The class keys are rewritten only when they name another module; the ASIO
// list entry is recreated every time.
#include <windows.h>

class AsioRegistrar
{
public:
    // Room for a module path and a key path, terminator included.
    static constexpr DWORD PATH_CHARS = 360;
    static constexpr size_t CLSID_CHARS = 100;

    AsioRegistrar(const CLSID& clsid, const wchar_t* asioKeyName, const wchar_t* description,
                  const wchar_t* threadingModel);

    // Registers the file of `module`: 0 or a Win32 error. A path that does not
    // fit PATH_CHARS is refused rather than registered cut short.
    LONG RegisterModule(HMODULE module) const;
    // Registers `modulePath` (compared and stored in lower case).
    LONG Register(const wchar_t* modulePath) const;
    // Removes both entries; a key that is not there is no failure.
    LONG Unregister() const;

    // The export's failure report: a message box with "<what> (<code>)".
    void ReportFailure(const wchar_t* what, LONG code) const;

private:
    LONG FormatClassId(wchar_t (&text)[CLSID_CHARS]) const;
    bool ClassKeysMatch(const wchar_t* classKey, const wchar_t* lowerPath) const;
    void WriteClassKeys(const wchar_t* classKey, const wchar_t* lowerPath) const;
    static void ToLower(wchar_t* text);

    const CLSID& m_clsid;
    const wchar_t* m_asioKeyName;
    const wchar_t* m_description;
    const wchar_t* m_threadingModel;
};
