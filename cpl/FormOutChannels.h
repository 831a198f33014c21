#pragma once
// The ASIO output channels.
#include "FormChannels.h"

class FormOutChannels : public FormChannels
{
public:
    using FormChannels::FormChannels;
    DWORD GetChannelList(KorvelChannelList& list) override;
};
