// A channel that uses the link framework the way a plug-in channel does, with the protected
// operations opened up for the tests.
#pragma once

#include "channelext/ChannelExtension.h"
#include "host/Vro_Channel.h"

class LinkTestChannel : public Vro_Channel, public ChannelExtension<LinkTestChannel> {
  public:
    static constexpr const char* kClassName = "Aco_LinkTest";

    LinkTestChannel() { CE_SetSelf(this); }

    using ChannelExtension::CreateGenericLink;
    using ChannelExtension::CreateLink;
    using ChannelExtension::CreateMatrixLink;
    using ChannelExtension::CreateStringLink;
    using ChannelExtension::CreateValueLink;
    using ChannelExtension::CreateVectorLink;
    using ChannelExtension::GetChildLinkErrorText;
    using ChannelExtension::GetChildLinkInvalidText;
    using ChannelExtension::GetChildLinkName;
    using ChannelExtension::ReadChannelValue;
    using ChannelExtension::SaveChannelValue;
    using ChannelExtension::SetChildLinkName;

    Vro_Channel* lastFetched() const { return lastChild; }
    Vro_Channel* lastValueChild() const { return valueChild; }
    std::size_t linkNameCount() const { return childLinkNames.size(); }
};
