// Free helpers of the link framework that ask the host about a channel.
#pragma once

#include "host/HostTypes.h"
#include "host/Vro_Channel.h"

// The name of ch's channel group: "" when ch has no group, null when the group has no name.
// A null ch is reported ("GetChannelGroupName().ch") and gives "".
const char* GetChannelGroupName(Vro_Channel* ch);

// True when the base GUID of ch's channel type equals type over all 16 bytes. A null ch is
// reported ("ChannelBaseGuidMatch().ch") and gives false.
bool ChannelBaseGuidMatch(Vro_Channel* ch, const GUID& type);
