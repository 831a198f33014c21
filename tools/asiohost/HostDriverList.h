#pragma once
// The ASIO drivers installed on this machine, as hosts find them: the
// subkeys of HKLM\SOFTWARE\ASIO with their CLSID and Description values,
// each usable only when HKCR\CLSID\{clsid}\InprocServer32 exists.
#include <windows.h>

#include <string>
#include <vector>

struct HostDriverEntry
{
    std::wstring name;        // the subkey's name, which hosts show and select by
    std::wstring description; // the Description value (may be empty)
    std::wstring clsidText;   // the CLSID value as written
    CLSID clsid{};
    bool clsidValid = false; // the CLSID value parses as a class id
    std::wstring serverPath; // the InprocServer32 default value; empty when missing
    bool registered = false; // the class key with InprocServer32 exists
};

class HostDriverList
{
public:
    // Reads the registry again: 0, or the error of opening HKLM\SOFTWARE\ASIO
    // (ERROR_FILE_NOT_FOUND when no driver was ever installed).
    DWORD Read();
    const std::vector<HostDriverEntry>& Entries() const { return m_entries; }
    // The entry named `name` (case-insensitive), or null.
    const HostDriverEntry* Find(const std::wstring& name) const;

private:
    static HostDriverEntry ReadEntry(HKEY asioKey, const std::wstring& name);

    std::vector<HostDriverEntry> m_entries;
};
