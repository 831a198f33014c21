#pragma once
// The ASIO input channels.
#include "FormChannels.h"

class FormInChannels : public FormChannels
{
public:
    using FormChannels::FormChannels;
    DWORD GetChannelList(KorvelChannelList& list) override;
};
