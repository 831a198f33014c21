#pragma once
// The "Driver Info" page: the kernel driver's version, build type and
// interface version.
#include "FormBaseImpl.h"
#include "KorvelCplClient.h"
#include "KorvelRecords.h"
#include "resource.h"

#include <string>

class FormDrvInfo : public FormBaseImpl<FormDrvInfo>
{
public:
    static constexpr int IDD = IDD_FORM_DRVINFO;

    explicit FormDrvInfo(KorvelCplClient& client) : m_client(client) {}

    void RefreshForm() override;

    // The page's text for a version record.
    static std::wstring VersionText(const KorvelVersionInfo& version);

private:
    KorvelCplClient& m_client;
};
