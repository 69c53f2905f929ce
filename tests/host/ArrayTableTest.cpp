// The array table read and written through a row index and column channels.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/ArrayTable.h"
#include "host/EngineInterface.h"

namespace {

constexpr int kRows = 3;
constexpr int kColumns = 8;

// Cell value that names its position, so a read from the wrong cell shows.
float tag(int row, int column) {
    return static_cast<float>(row * 100 + column);
}

}  // namespace

// Selecting a row, then reading and writing the cells of that row only.
TEST(ArrayTable, RowIndexAndColumns) {
    Vro_ArrayTable table(kRows, kColumns);
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c)
            table.SetCell(r, c, tag(r, c));
    Vro_ArrayRowIndex rowIndex(table);
    Vro_ArrayColumnValue force(table, 2);
    Vro_ArrayColumnVector position(table, 4);
    Vro_ValueChannel& rowAsValue = rowIndex;

    EXPECT_EQ(rowIndex.GetValue(), -1.0f);
    rowAsValue.SetValue(1.9f);  // truncated to row 1
    EXPECT_EQ(table.SelectedRow(), 1);
    EXPECT_EQ(rowIndex.GetValue(), 1.0f);
    EXPECT_EQ(force.GetValue(), tag(1, 2));
    const D3DXVECTOR3 p = position.GetVector();
    EXPECT_EQ(p.x, tag(1, 4));
    EXPECT_EQ(p.y, tag(1, 5));
    EXPECT_EQ(p.z, tag(1, 6));

    force.SetValue(-5.0f);
    position.SetVector({7.0f, 8.0f, 9.0f});
    EXPECT_EQ(table.Cell(1, 2), -5.0f);
    EXPECT_EQ(table.Cell(1, 4), 7.0f);
    EXPECT_EQ(table.Cell(1, 6), 9.0f);
    EXPECT_EQ(table.Cell(1, 7), tag(1, 7));
    EXPECT_EQ(table.Cell(0, 2), tag(0, 2));
    EXPECT_EQ(table.Cell(2, 2), tag(2, 2));

    rowIndex.SetValue(-0.5f);  // truncation toward zero gives row 0
    EXPECT_EQ(force.GetValue(), tag(0, 2));

    // A vector whose last columns fall off the table reads 0 there.
    Vro_ArrayColumnVector edge(table, kColumns - 1);
    EXPECT_EQ(edge.GetVector().x, tag(0, kColumns - 1));
    EXPECT_EQ(edge.GetVector().y, 0.0f);
    EXPECT_EQ(edge.GetVector().z, 0.0f);
}

// A row outside the table selects nothing: reads give 0 and writes change no cell.
TEST(ArrayTable, RowOutsideTable) {
    Vro_ArrayTable table(kRows, kColumns);
    table.SetCell(0, 1, 3.0f);
    Vro_ArrayRowIndex rowIndex(table);
    Vro_ArrayColumnValue column(table, 1);
    const float outside[] = {static_cast<float>(kRows),
                             -1.0f,
                             1e30f,
                             -1e30f,
                             std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity()};
    for (float row : outside) {
        rowIndex.SetValue(0.0f);
        rowIndex.SetValue(row);
        EXPECT_EQ(table.SelectedRow(), -1) << row;
        EXPECT_EQ(column.GetValue(), 0.0f) << row;
        column.SetValue(99.0f);
    }
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c)
            EXPECT_EQ(table.Cell(r, c), r == 0 && c == 1 ? 3.0f : 0.0f);
    Vro_ArrayColumnValue badColumn(table, -3);
    rowIndex.SetValue(0.0f);
    EXPECT_EQ(badColumn.GetValue(), 0.0f);
}

// Impossible table sizes give an empty table and a report, never a huge allocation.
TEST(ArrayTable, RefusedSizes) {
    globalEngineTakeDebugMessages();
    Vro_ArrayTable huge(1 << 20, 1 << 20);
    EXPECT_EQ(huge.RowCount(), 0);
    EXPECT_EQ(huge.Cell(0, 0), 0.0f);
    EXPECT_EQ(globalEngineTakeDebugMessages().size(), 1u);
    Vro_ArrayTable negative(-4, 3);
    EXPECT_EQ(negative.RowCount(), 0);
    EXPECT_EQ(negative.ColumnCount(), 3);
}
