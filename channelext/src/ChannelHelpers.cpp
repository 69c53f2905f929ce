// Group name and type checks of a channel, through the host's interface.
#include "channelext/ChannelHelpers.h"

#include <cstring>

#include "channelext/FormatText.h"
#include "host/ChannelType.h"
#include "host/Vro_ChannelGroup.h"

const char* GetChannelGroupName(Vro_Channel* ch) {
    if (ch == nullptr) {
        ReportFailedCheck("GetChannelGroupName", "ch");
        return "";
    }
    Vro_ChannelGroup* group = ch->GetChannelGroup();
    if (group == nullptr) {
        return "";
    }
    return group->GetGroupName();
}

bool ChannelBaseGuidMatch(Vro_Channel* ch, const GUID& type) {
    if (ch == nullptr) {
        ReportFailedCheck("ChannelBaseGuidMatch", "ch");
        return false;
    }
    const ChannelType channelType = ch->GetChannelType();
    return std::memcmp(&channelType.baseGuid, &type, sizeof(GUID)) == 0;
}
