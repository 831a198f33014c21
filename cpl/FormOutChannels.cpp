#include "FormOutChannels.h"

DWORD FormOutChannels::GetChannelList(KorvelChannelList& list)
{
    return m_client.GetOutputChannels(list);
}
