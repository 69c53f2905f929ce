// Links of a channel against real host child channels: declaration records, typed access,
// failure behaviour and the debug reports.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "LinkTestChannel.h"
#include "channelext/FormatText.h"
#include "host/ChildChannels.h"
#include "host/EngineInterface.h"
#include "host/Vro_ChannelGroup.h"

namespace {

// Reports the Value base GUID without being a value channel.
class ImpostorValueChannel : public Vro_Channel {
  public:
    ChannelType GetChannelType() override {
        ChannelType type;
        type.baseGuid = VroGuids::Value;
        return type;
    }
};

class CountingValueChannel : public Vro_ValueChannel {
  public:
    void CallChannel() override { ++calls; }
    int calls = 0;
};

class ChannelLinks : public ::testing::Test {
  protected:
    void SetUp() override { globalEngineTakeDebugMessages(); }
};

// Link declaration: each record handed to the host is a fresh record with the type text, the
// type GUID the host's own children report, the slot index (-1 when flagged), the name and the
// direction filled in. A name longer than the record's field is cut there but kept whole as
// display name.
TEST_F(ChannelLinks, CreationRecordsHoldTypeNameAndDirection) {
    LinkTestChannel channel;
    channel.CreateValueLink("Speed", 2, false);
    channel.CreateStringLink("Label", 0, true);
    channel.CreateGenericLink("Anything", 1, false);
    channel.CreateVectorLink("Position", 1, false);
    channel.CreateMatrixLink("Pose", 1, false);
    const struct {
        const char* typeText;
        GUID guid;
        const char* name;
        std::int32_t slot, direction;
    } expected[] = {{"Value", VroGuids::Value, "Speed", 0, 2},
                    {"Text", VroGuids::Text, "Label", -1, 0},
                    {"all types are accepted", VroGuids::Any, "Anything", 2, 1},
                    {"Value Vector", VroGuids::ValueVector, "Position", 3, 1},
                    {"Matrix", VroGuids::Matrix, "Pose", 4, 1}};
    ASSERT_EQ(channel.GetChildCount(), 5);
    for (int i = 0; i < 5; ++i) {
        ChildCreation want;
        std::strcpy(want.channelType.name, expected[i].typeText);
        want.channelType.typeGuid = expected[i].guid;
        want.slotIndex = expected[i].slot;
        std::strcpy(want.linkName, expected[i].name);
        want.linkDirection = expected[i].direction;
        EXPECT_EQ(std::memcmp(channel.GetChildCreation(i), &want, sizeof want), 0) << i;
    }
    const std::string longName(150, 'n');
    channel.CreateValueLink(longName.c_str(), 1, false);
    EXPECT_EQ(std::string(channel.GetChildCreation(5)->linkName), longName.substr(0, 99));
    EXPECT_EQ(channel.GetChildLinkName(5), longName);
    EXPECT_TRUE(globalEngineTakeDebugMessages().empty());
}

// Typed access to connected children of the right type: values with int truncation and char
// sign extension, vectors and their XZ plane, narrow and wide texts, matrices; nothing reported.
TEST_F(ChannelLinks, LinkedChildrenAreReadAndWritten) {
    LinkTestChannel channel;
    channel.CreateValueLink("value", 1, false);
    channel.CreateVectorLink("vector", 1, false);
    channel.CreateStringLink("text", 1, false);
    channel.CreateMatrixLink("matrix", 1, false);
    Vro_ValueChannel value(-2.7f);
    Vro_VectorChannel vector({1.0f, 2.0f, 3.0f});
    Vro_TextChannel text("cd");
    Vro_MatrixChannel matrix;
    ASSERT_TRUE(channel.ConnectChild(0, &value) && channel.ConnectChild(1, &vector) &&
                channel.ConnectChild(2, &text) && channel.ConnectChild(3, &matrix));

    EXPECT_EQ(channel.CE_GetValue(0u, 99), -2);
    EXPECT_EQ(channel.CE_GetValue(0u, 99.0f), -2.7f);
    EXPECT_EQ(channel.lastValueChild(), &value);
    EXPECT_TRUE(channel.CE_SetValue(static_cast<char>(-100), 0u));
    EXPECT_EQ(value.GetValue(), -100.0f);
    EXPECT_TRUE(channel.CE_SetValue(16777217, 0u));  // nearest float is 2^24
    EXPECT_EQ(value.GetValue(), 16777216.0f);
    int whole = 5;
    EXPECT_TRUE(channel.CE_SetValue(std::nanf(""), 0u));
    EXPECT_FALSE(channel.CE_GetValue(whole, 0u));  // NaN has no int value
    EXPECT_EQ(whole, 5);

    const TolvikMathLib::Vec2 plane = channel.CE_GetVectorXZ(1u, {9.0f, 9.0f});
    EXPECT_TRUE(plane.x == 1.0f && plane.y == 3.0f);
    EXPECT_TRUE(channel.CE_SetVector(TolvikMathLib::Vec3{4.0f, 5.0f, 6.0f}, 1u));
    EXPECT_EQ(channel.CE_GetVector(1u, D3DXVECTOR3{0, 0, 0}).y, 5.0f);

    std::string appended = "ab";
    EXPECT_TRUE(channel.CE_CopyString(appended, 2u, false));
    EXPECT_EQ(appended, "abcd");
    char small[3] = {'x', 'y', '\0'};
    EXPECT_TRUE(channel.CE_CopyString(small, 3u, 2u));
    EXPECT_STREQ(small, "cd");
    EXPECT_FALSE(channel.CE_CopyString(small, 2u, 2u));  // "cd" needs 3 with the terminator
    EXPECT_TRUE(channel.CE_SetString(std::string("Bridge"), 2u));
    EXPECT_STREQ(text.GetText(), "Bridge");

    // Null narrow text: the default form gives def; the copy gives false unless told to accept.
    channel.CE_SetString(static_cast<const char*>(nullptr), 2u);
    char def[] = "default";
    EXPECT_EQ(channel.CE_GetStringPointer(2u, def), def);
    EXPECT_FALSE(channel.CE_CopyString(appended, 2u, false));
    EXPECT_TRUE(channel.CE_CopyString(appended, 2u, true));
    EXPECT_EQ(appended, "abcd");
    // Null wide text of a linked child: null, not def.
    wchar_t wideDef[] = L"default";
    EXPECT_EQ(channel.CE_GetWStringPointer(2u, wideDef), nullptr);
    EXPECT_TRUE(channel.CE_SetString(std::wstring(L"\u00e5s"), 2u));
    std::wstring wide = L">";
    EXPECT_TRUE(channel.CE_CopyString(wide, 2u));
    EXPECT_EQ(wide, L">\u00e5s");
    wchar_t wideBuffer[8];
    EXPECT_TRUE(channel.CE_CopyString(wideBuffer, 8u, 2u));
    EXPECT_EQ(std::wstring(wideBuffer), L"\u00e5s");
    // Sizes count wchar_t: a character beyond the first 65536 takes two where wchar_t has 16
    // bits (Windows), and the copy needs room for both halves and the terminator.
    const std::wstring ship = L"\U0001F6A2";
#if defined(_WIN32)
    ASSERT_EQ(ship.size(), 2u);
#endif
    EXPECT_TRUE(channel.CE_SetString(ship, 2u));
    EXPECT_FALSE(channel.CE_CopyString(wideBuffer, static_cast<unsigned>(ship.size()), 2u));
    EXPECT_TRUE(channel.CE_CopyString(wideBuffer, static_cast<unsigned>(ship.size() + 1), 2u));
    EXPECT_EQ(std::wstring(wideBuffer), ship);

    D3DXMATRIX m = {};
    EXPECT_TRUE(channel.CE_GetMatrix(m, 3u));
    for (int i = 0; i < 16; ++i)  // a fresh matrix child is the identity
        EXPECT_EQ(m.m[i], i % 5 == 0 ? 1.0f : 0.0f) << i;
    m.m[7] = 8.5f;
    EXPECT_TRUE(channel.CE_SetMatrix(m, 3u));
    EXPECT_EQ(matrix.GetMatrix().m[7], 8.5f);
    EXPECT_TRUE(globalEngineTakeDebugMessages().empty());
}

// Every accessor on an empty slot, on a child of another type and on a child that reports the
// right type without being that kind of channel gives false or the caller's default silently;
// with an index equal to the child count it also reports "InvalidlLinkIndex.Link[<index>]".
TEST_F(ChannelLinks, UnreadableLinksGiveDefaults) {
    // Each probe is true when its accessor gave false or the default and left its output alone.
#define PROBE(expression) [&](LinkTestChannel& c, unsigned int i) { return expression; }
    int whole = 7;
    float real = 7.5f;
    char def[] = "d", buffer[] = "abc";
    char* pointer = def;
    wchar_t wideDef[] = L"d", wideBuffer[] = L"abc";
    wchar_t* widePointer = wideDef;
    std::string text = "ab";
    std::wstring wide = L"ab";
    D3DXVECTOR3 v = {1, 2, 3};
    TolvikMathLib::Vec2 plane = {5, 6};
    D3DXMATRIX m = {{7}};
    const std::vector<std::function<bool(LinkTestChannel&, unsigned int)>> probes = {
        PROBE(!c.CE_GetValue(whole, i) && whole == 7),
        PROBE(!c.CE_GetValue(real, i) && real == 7.5f),
        PROBE(c.CE_GetValue(i, 7) == 7),
        PROBE(c.CE_GetValue(i, 7.5f) == 7.5f),
        PROBE(!c.CE_SetValue(1, i) && !c.CE_SetValue(1.0f, i) && !c.CE_SetValue('a', i)),
        PROBE(!c.CE_GetVector(v, i) && v.z == 3 && c.CE_GetVector(i, v).z == 3),
        PROBE(!c.CE_GetVectorXZ(plane, i) && plane.y == 6 && c.CE_GetVectorXZ(i, plane).y == 6),
        PROBE(!c.CE_SetVector(v, i)),
        PROBE(!c.CE_GetStringPointer(&pointer, i) && pointer == def),
        PROBE(c.CE_GetStringPointer(i, def) == def),
        PROBE(!c.CE_CopyString(buffer, 4u, i) && std::string(buffer) == "abc"),
        PROBE(!c.CE_CopyString(text, i, true) && text == "ab"),
        PROBE(!c.CE_SetString("x", i) && !c.CE_SetString(text, i)),
        PROBE(!c.CE_GetStringPointer(&widePointer, i) && widePointer == wideDef),
        // An empty slot (index 0) gives null instead of the default.
        PROBE(c.CE_GetWStringPointer(i, wideDef) == (i == 0 ? nullptr : wideDef)),
        PROBE(!c.CE_CopyString(wideBuffer, 4u, i) && std::wstring(wideBuffer) == L"abc"),
        PROBE(!c.CE_CopyString(wide, i) && wide == L"ab"),
        PROBE(!c.CE_SetString(L"x", i) && !c.CE_SetString(wide, i)),
        PROBE(!c.CE_GetMatrix(m, i) && m.m[0] == 7 && c.CE_GetMatrix(i, m).m[0] == 7),
        PROBE(!c.CE_SetMatrix(m, i)),
    };
#undef PROBE
    LinkTestChannel channel;
    for (int i = 0; i < 3; ++i)
        channel.CreateGenericLink("slot", 1, false);
    Vro_Channel plain;
    ImpostorValueChannel impostor;
    channel.ConnectChild(1, &plain);
    channel.ConnectChild(2, &impostor);
    for (std::size_t p = 0; p < probes.size(); ++p) {
        SCOPED_TRACE(p);
        for (unsigned int index = 0; index < 3; ++index)
            EXPECT_TRUE(probes[p](channel, index)) << "slot " << index;
        EXPECT_TRUE(globalEngineTakeDebugMessages().empty());
        EXPECT_TRUE(probes[p](channel, 3u));
        const std::vector<std::string> shown = globalEngineTakeDebugMessages();
        EXPECT_FALSE(shown.empty());
        for (const std::string& message : shown)
            EXPECT_EQ(message, "InvalidlLinkIndex.Link[3]");
    }
}

// Identity and display names: own and group names with their placeholders, the name list
// growing with "[none]", the error texts, and the untyped child operations.
TEST_F(ChannelLinks, NamesAndUntypedChildAccess) {
    LinkTestChannel channel;
    EXPECT_STREQ(channel.CE_GetOwnName(), "[no-name]");
    EXPECT_STREQ(channel.CE_GetOwnCGRName(), "[no-name]");
    channel.SetChannelName("Kestrom");
    EXPECT_STREQ(channel.CE_GetOwnName(), "Kestrom");
    Vro_ChannelGroup unnamed, bridge("Bridge");
    for (Vro_ChannelGroup* group : {&unnamed, &bridge}) {
        channel.SetChannelGroup(group);
        channel.CE_SetSelf(&channel);
        EXPECT_STREQ(channel.CE_GetOwnCGRName(), group == &bridge ? "Bridge" : "[unknown]");
    }

    channel.CreateValueLink("First", 1, false);
    channel.CreateValueLink("Second", 1, false);
    EXPECT_STREQ(channel.GetChildLinkName(5), "");
    ASSERT_EQ(channel.linkNameCount(), 6u);
    for (unsigned int i = 2; i < 5; ++i)
        EXPECT_STREQ(channel.GetChildLinkName(i), "[none]");
    EXPECT_EQ(channel.GetChildLinkErrorText(1), "ChildLinkError[Second]");
    EXPECT_EQ(channel.GetChildLinkInvalidText(3), "ChildLinkInvalid[[none]]");

    CountingValueChannel child;
    child.SetChannelName("Pump");
    channel.ConnectChild(1, &child);
    EXPECT_TRUE(!channel.CE_IsChildLinked(0) && channel.CE_IsChildLinked(1));
    EXPECT_EQ(channel.CE_GetLinkedChildName(0), nullptr);
    EXPECT_EQ(channel.lastFetched(), nullptr);
    EXPECT_STREQ(channel.CE_GetLinkedChildName(1), "Pump");
    EXPECT_TRUE(!channel.CE_CallChild(0) && channel.CE_CallChild(1));
    EXPECT_EQ(child.calls, 1);
    EXPECT_EQ(channel.lastFetched(), &child);
    EXPECT_TRUE(globalEngineTakeDebugMessages().empty());
    EXPECT_FALSE(channel.CE_CallChild(2));
    EXPECT_EQ(channel.CE_GetLinkedChildName(7), nullptr);
    EXPECT_EQ(globalEngineTakeDebugMessages(),
              (std::vector<std::string>{"InvalidlLinkIndex.Link[2]", "InvalidlLinkIndex.Link[7]"}));
}

// Null arguments are reported with the operation's qualified name and the checked argument, and
// the operation goes on safely; '%' in a check text shows once and '\' twice.
TEST_F(ChannelLinks, CheckReportsNameOperationAndArgument) {
    LinkTestChannel channel;
    channel.CE_SetSelf(nullptr);
    channel.CreateValueLink("lost", 1, false);
    EXPECT_EQ(
        globalEngineTakeDebugMessages(),
        (std::vector<std::string>{"ChannelExtension<class Aco_LinkTest>::CE_SetSelf().self",
                                  "GetChannelGroupName().ch",
                                  "ChannelExtension<class Aco_LinkTest>::CreateLink().self"}));
    EXPECT_EQ(channel.CE_GetValue(0u, 3), 3);
    EXPECT_EQ(globalEngineTakeDebugMessages(),
              std::vector<std::string>{"InvalidlLinkIndex.Link[0]"});

    channel.CE_SetSelf(&channel);
    channel.CreateLink(LinkTypes::kValueGuid, nullptr, nullptr, 1, false);
    channel.SetChildLinkName(0, nullptr);
    EXPECT_EQ(globalEngineTakeDebugMessages(),
              (std::vector<std::string>{
                  "ChannelExtension<class Aco_LinkTest>::CreateLink().TypeName",
                  "ChannelExtension<class Aco_LinkTest>::CreateLink().Name",
                  "ChannelExtension<class Aco_LinkTest>::SetChildLinkName().name"}));
    EXPECT_EQ(channel.GetChildCount(), 1);
    EXPECT_STREQ(channel.GetChildCreation(0)->channelType.name, "");
    EXPECT_STREQ(channel.GetChildLinkName(0), "");

    EXPECT_FALSE(ChannelBaseGuidMatch(nullptr, LinkTypes::kValueGuid));
    ReportFailedCheck("Op", "100% C:\\dir");
    EXPECT_EQ(globalEngineTakeDebugMessages(),
              (std::vector<std::string>{"ChannelBaseGuidMatch().ch", "Op().100% C:\\\\dir"}));
}

// FormatText: printf formatting, results cut to the buffer, and one buffer per thread so that
// two threads formatting at once each keep their own text.
TEST(FormatText, FormatsCutsAndKeepsThreadsApart) {
    const std::string huge(kMessageBufferSize + 50, 'h');
    EXPECT_EQ(std::strlen(FormatText("%s", huge.c_str())), kMessageBufferSize - 1);
    EXPECT_STREQ(FormatText(nullptr), "");

    bool kept[2] = {true, true};
    auto formatMany = [&kept](int id) {
        for (int i = 0; i < 2000; ++i)
            kept[id] = kept[id] &&
                       FormatText("%d:%d", id, i) == std::to_string(id) + ":" + std::to_string(i);
    };
    std::thread first(formatMany, 0), second(formatMany, 1);
    first.join();
    second.join();
    EXPECT_TRUE(kept[0] && kept[1]);
}

}  // namespace
