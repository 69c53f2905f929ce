// The host's channel base class, its typed child channels and the array table behind the
// row-index and column channels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "host/ArrayTable.h"
#include "host/ChildChannels.h"
#include "host/EngineInterface.h"

namespace {

using Bytes = std::vector<unsigned char>;

ChildCreation linkRecord(const char* name, std::int32_t slot) {
    ChildCreation record;
    std::strcpy(record.linkName, name);
    record.slotIndex = slot;
    return record;
}

template <typename T>
Bytes bytesOf(const T& value, std::size_t offset, std::size_t count) {
    const auto* p = reinterpret_cast<const unsigned char*>(&value) + offset;
    return Bytes(p, p + count);
}

// A GUID text in the Windows layout: the first three fields little-endian, the rest as written.
Bytes windowsBytes(const std::string& text) {
    Bytes b(16);
    std::size_t at = 1;
    for (unsigned char& byte : b) {
        at += text[at] == '-' ? 1 : 0;
        byte = static_cast<unsigned char>(std::stoi(text.substr(at, 2), nullptr, 16));
        at += 2;
    }
    std::reverse(b.begin(), b.begin() + 4);
    std::reverse(b.begin() + 4, b.begin() + 6);
    std::reverse(b.begin() + 6, b.begin() + 8);
    return b;
}

}  // namespace

// A fresh link record: empty name, type and base GUID all 0x11, zero host fields, slot -1,
// zero bytes up to the direction, which is 1.
TEST(ChildCreationRecord, InitialisedBytes) {
    const ChildCreation record;
    EXPECT_EQ(bytesOf(record, 0, 80), Bytes(80, 0));
    EXPECT_EQ(bytesOf(record, 80, 32), Bytes(32, 0x11));
    EXPECT_EQ(bytesOf(record, 112, 20), Bytes(20, 0));
    EXPECT_EQ(bytesOf(record, 132, 4), Bytes(4, 0xFF));
    EXPECT_EQ(bytesOf(record, 136, 124), Bytes(124, 0));
    EXPECT_EQ(bytesOf(record, 260, 4), (Bytes{1, 0, 0, 0}));
}

// Slots are created where the record says, gaps stay empty, and only existing slots connect.
TEST(ChannelSlots, CreateConnectDisconnect) {
    Vro_Channel owner;
    Vro_ValueChannel a, b;
    EXPECT_FALSE(owner.ConnectChild(0, &a));
    owner.SetChildCreateType(linkRecord("first", 0), 0);
    owner.SetChildCreateType(linkRecord("third", 2), 2);
    ASSERT_EQ(owner.GetChildCount(), 3);
    EXPECT_STREQ(owner.GetChildCreation(2)->linkName, "third");
    EXPECT_EQ(owner.GetChildCreation(1), nullptr);
    EXPECT_EQ(owner.GetChildCreation(3), nullptr);

    EXPECT_TRUE(owner.ConnectChild(0, &a) && owner.ConnectChild(1, &b));
    EXPECT_FALSE(owner.ConnectChild(3, &a) || owner.ConnectChild(-1, &a));
    EXPECT_EQ(owner.GetChild(0), &a);
    EXPECT_EQ(owner.GetChild(1), &b);
    for (int i : {2, 3, -1})
        EXPECT_EQ(owner.GetChild(i), nullptr) << i;
    owner.DisconnectChild(1);
    EXPECT_EQ(owner.GetChild(1), nullptr);
}

// Each child reports its link type's GUID as type and base GUID, bytes written out from the
// GUID texts; a fresh value is 0.
TEST(ChildChannels, TypesAndValues) {
    Vro_ValueChannel value;
    Vro_VectorChannel vector;
    Vro_TextChannel text;
    Vro_MatrixChannel matrix;
    const std::pair<Vro_Channel*, const char*> expected[] = {
        {&value, "{BE69CCC4-CFC1-4362-AC81-767D199BBFC3}"},
        {&vector, "{9D045960-EAC2-4C40-9BBF-10F32F7FA305}"},
        {&text, "{6E6FB247-4627-4FBE-8973-48344F23881E}"},
        {&matrix, "{2F605354-314D-4775-86E4-1F733550B227}"}};
    for (const auto& [channel, guid] : expected) {
        const ChannelType type = channel->GetChannelType();
        EXPECT_EQ(bytesOf(type, 80, 16), windowsBytes(guid));
        EXPECT_EQ(bytesOf(type, 96, 16), windowsBytes(guid));
    }
    EXPECT_STREQ(vector.GetChannelType().name, "Value Vector");
    EXPECT_EQ(value.GetValue(), 0.0f);
}

// A row outside the table selects nothing: reads give 0 and writes change no cell; impossible
// table sizes give an empty table and a report.
TEST(ArrayTable, OutsideTheTable) {
    Vro_ArrayTable table(3, 8);
    table.SetCell(0, 1, 3.0f);
    Vro_ArrayRowIndex rowIndex(table);
    Vro_ArrayColumnValue column(table, 1);
    for (float row : {3.0f, -1.0f, 1e30f, -1e30f, std::numeric_limits<float>::quiet_NaN(),
                      std::numeric_limits<float>::infinity()}) {
        rowIndex.SetValue(0.0f);
        rowIndex.SetValue(row);
        EXPECT_EQ(table.SelectedRow(), -1) << row;
        EXPECT_EQ(column.GetValue(), 0.0f) << row;
        column.SetValue(99.0f);
    }
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 8; ++c)
            EXPECT_EQ(table.Cell(r, c), r == 0 && c == 1 ? 3.0f : 0.0f);

    globalEngineTakeDebugMessages();
    const Vro_ArrayTable huge(1 << 20, 1 << 20);
    EXPECT_EQ(huge.RowCount(), 0);
    EXPECT_EQ(huge.Cell(0, 0), 0.0f);
    EXPECT_EQ(globalEngineTakeDebugMessages().size(), 1u);
    EXPECT_EQ(Vro_ArrayTable(-4, 3).RowCount(), 0);
}
