// The records by which the host describes a channel type and declares a child slot.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/HostTypes.h"

// Describes a channel type (132 bytes). Link verification compares baseGuid.
struct HOST_API ChannelType {
    ChannelType();

    char name[80];
    GUID typeGuid;
    GUID baseGuid;
    std::uint8_t hostFields[20];
};

// Declares one child slot of a channel (264 bytes); handed by value to
// Vro_Channel::SetChildCreateType.
struct HOST_API ChildCreation {
    // Type and base GUID {11111111-1111-1111-1111-111111111111} (any type accepted),
    // slot -1, empty link name, zero host fields, linkDirection 1.
    ChildCreation();

    ChannelType channelType;
    std::int32_t slotIndex;
    std::uint8_t hostByte0;
    std::uint8_t hostByte1;
    char linkName[100];
    std::uint8_t padding[2];
    GUID hostGuid;
    std::uint32_t hostWord;
    std::int32_t linkDirection;
};

static_assert(sizeof(ChannelType) == 132, "ChannelType is 132 bytes");
static_assert(offsetof(ChannelType, name) == 0, "ChannelType::name");
static_assert(offsetof(ChannelType, typeGuid) == 80, "ChannelType::typeGuid");
static_assert(offsetof(ChannelType, baseGuid) == 96, "ChannelType::baseGuid");
static_assert(offsetof(ChannelType, hostFields) == 112, "ChannelType::hostFields");

static_assert(sizeof(ChildCreation) == 264, "ChildCreation is 264 bytes");
static_assert(offsetof(ChildCreation, channelType) == 0, "ChildCreation::channelType");
static_assert(offsetof(ChildCreation, slotIndex) == 132, "ChildCreation::slotIndex");
static_assert(offsetof(ChildCreation, hostByte0) == 136, "ChildCreation::hostByte0");
static_assert(offsetof(ChildCreation, hostByte1) == 137, "ChildCreation::hostByte1");
static_assert(offsetof(ChildCreation, linkName) == 138, "ChildCreation::linkName");
static_assert(offsetof(ChildCreation, padding) == 238, "ChildCreation::padding");
static_assert(offsetof(ChildCreation, hostGuid) == 240, "ChildCreation::hostGuid");
static_assert(offsetof(ChildCreation, hostWord) == 256, "ChildCreation::hostWord");
static_assert(offsetof(ChildCreation, linkDirection) == 260, "ChildCreation::linkDirection");
