#pragma once
// The channel names that the driver offers to ASIO hosts, one row a channel:
// the owning device's name and the channel's name. The two variants differ
// only in which channel list they read.
#include "FormBaseImpl.h"
#include "KorvelCplClient.h"
#include "resource.h"

#include <span>

class FormChannels : public FormBaseImpl<FormChannels>
{
public:
    static constexpr int IDD = IDD_FORM_CHANNELS;

    explicit FormChannels(KorvelCplClient& client) : m_client(client) {}

    static std::span<const WtlDialogResize::Rule> ResizeRules();

    // Fills the channel list record; the request's status.
    virtual DWORD GetChannelList(KorvelChannelList& list) = 0;

    LRESULT OnInitForm() override;
    void RefreshForm() override;
    void OnFormLayout() override;

protected:
    KorvelCplClient& m_client;

private:
    HWND List() const { return GetDlgItem(IDC_CHANNELS_LIST); }
    void AddRow(const wchar_t* deviceName, const wchar_t* channelName);
};
