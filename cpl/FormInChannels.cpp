#include "FormInChannels.h"

DWORD FormInChannels::GetChannelList(KorvelChannelList& list)
{
    return m_client.GetInputChannels(list);
}
