#include "FormDrvInfo.h"

#include <cstdio>

std::wstring FormDrvInfo::VersionText(const KorvelVersionInfo& version)
{
    const wchar_t* build = (version.buildFlags & KORVEL_BUILD_FLAG_DEBUG) != 0 ? L"debug" : L"release";
    wchar_t text[256];
    std::swprintf(text, 256,
                  L"\nDriver version: \t  %u.%u.%u\nBuild type: \t  %ls %ls\n\nInterface version: %u.%u\n",
                  version.driverMajor, version.driverMinor, version.driverBuild, build, L"",
                  version.interfaceMajor, version.interfaceMinor);
    return text;
}

void FormDrvInfo::RefreshForm()
{
    KorvelVersionInfo version{};
    // A driver that cannot be asked leaves the last text standing.
    if (m_client.IsOpen() && m_client.GetVersion(version) == 0) {
        SetDlgItemText(IDC_DRVINFO_TEXT, VersionText(version).c_str());
    }
}
