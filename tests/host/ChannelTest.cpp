// Child slots, link records, names and copies of the channel base class.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "host/ChannelType.h"
#include "host/ChildChannels.h"
#include "host/EngineInterface.h"
#include "host/Vro_Channel.h"
#include "host/Vro_ChannelGroup.h"

namespace {

ChildCreation linkRecord(const char* name, std::int32_t slot) {
    ChildCreation record;
    std::strcpy(record.linkName, name);
    record.slotIndex = slot;
    return record;
}

}  // namespace

// A fresh link record holds the documented bytes at the documented offsets.
TEST(ChildCreationRecord, InitialisedBytes) {
    ChildCreation record;
    unsigned char bytes[264];
    std::memcpy(bytes, &record, sizeof(bytes));
    for (int i = 0; i < 80; ++i)
        EXPECT_EQ(bytes[i], 0) << "name byte " << i;
    for (int i = 80; i < 112; ++i)
        EXPECT_EQ(bytes[i], 0x11) << "type/base GUID byte " << i;
    for (int i = 112; i < 132; ++i)
        EXPECT_EQ(bytes[i], 0) << "host field byte " << i;
    for (int i = 132; i < 136; ++i)
        EXPECT_EQ(bytes[i], 0xFF) << "slot -1 byte " << i;
    for (int i = 136; i < 260; ++i)
        EXPECT_EQ(bytes[i], 0) << "byte " << i;
    const unsigned char direction[4] = {1, 0, 0, 0};
    EXPECT_EQ(std::memcmp(bytes + 260, direction, 4), 0);
}

// Slots are created where the record says, gaps stay empty, and only existing slots connect.
TEST(ChannelSlots, CreateConnectDisconnect) {
    Vro_Channel owner;
    Vro_ValueChannel a, b;
    EXPECT_EQ(owner.GetChildCount(), 0);
    EXPECT_FALSE(owner.ConnectChild(0, &a));

    owner.SetChildCreateType(linkRecord("first", 0), 0);
    owner.SetChildCreateType(linkRecord("third", 2), 2);
    ASSERT_EQ(owner.GetChildCount(), 3);
    ASSERT_NE(owner.GetChildCreation(2), nullptr);
    EXPECT_STREQ(owner.GetChildCreation(2)->linkName, "third");
    EXPECT_EQ(owner.GetChildCreation(2)->slotIndex, 2);
    EXPECT_EQ(owner.GetChildCreation(1), nullptr);
    EXPECT_EQ(owner.GetChildCreation(3), nullptr);

    EXPECT_TRUE(owner.ConnectChild(0, &a));
    EXPECT_TRUE(owner.ConnectChild(1, &b));
    EXPECT_FALSE(owner.ConnectChild(3, &a));
    EXPECT_FALSE(owner.ConnectChild(-1, &a));
    EXPECT_EQ(owner.GetChild(0), &a);
    EXPECT_EQ(owner.GetChild(1), &b);
    EXPECT_EQ(owner.GetChild(2), nullptr);
    EXPECT_EQ(owner.GetChild(3), nullptr);
    EXPECT_EQ(owner.GetChild(-1), nullptr);

    owner.DisconnectChild(1);
    EXPECT_EQ(owner.GetChild(1), nullptr);
    // Redeclaring a slot gives a fresh, empty slot.
    owner.SetChildCreateType(linkRecord("renamed", 0), 0);
    EXPECT_EQ(owner.GetChild(0), nullptr);
    EXPECT_STREQ(owner.GetChildCreation(0)->linkName, "renamed");
    EXPECT_EQ(owner.GetChildCount(), 3);
}

// Slot indexes that would be negative or absurdly large are refused and reported.
TEST(ChannelSlots, RefusedIndexes) {
    globalEngineTakeDebugMessages();
    Vro_Channel owner;
    owner.SetChildCreateType(ChildCreation(), -1);
    owner.SetChildCreateType(ChildCreation(), Vro_Channel::kMaxChildSlots);
    EXPECT_EQ(owner.GetChildCount(), 0);
    EXPECT_EQ(globalEngineTakeDebugMessages().size(), 2u);
}

// Names and groups are nullable; a copy carries name, group, records and connections.
TEST(ChannelIdentity, NamesGroupsAndCopies) {
    Vro_Channel channel;
    EXPECT_EQ(channel.GetChannelName(), nullptr);
    EXPECT_EQ(channel.GetChannelGroup(), nullptr);
    channel.SetChannelName("Kestrel");
    Vro_ChannelGroup group("Bridge");
    channel.SetChannelGroup(&group);
    Vro_ValueChannel child;
    channel.SetChildCreateType(linkRecord("in", 0), 0);
    channel.ConnectChild(0, &child);

    Vro_Channel copy(channel);
    EXPECT_STREQ(copy.GetChannelName(), "Kestrel");
    EXPECT_EQ(copy.GetChannelGroup(), &group);
    EXPECT_EQ(copy.GetChild(0), &child);
    EXPECT_STREQ(copy.GetChildCreation(0)->linkName, "in");

    Vro_Channel assigned;
    assigned = channel;
    channel.SetChannelName(nullptr);
    EXPECT_EQ(channel.GetChannelName(), nullptr);
    EXPECT_STREQ(assigned.GetChannelName(), "Kestrel");
    EXPECT_EQ(assigned.GetChild(0), &child);

    Vro_ChannelGroup unnamed;
    EXPECT_EQ(unnamed.GetGroupName(), nullptr);
    EXPECT_STREQ(group.GetGroupName(), "Bridge");
}
