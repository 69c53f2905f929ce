// The host's array table of float cells and the channels that stand for its row selector
// and its columns: a plug-in writes a row number to the row index, then reads and writes
// that row's cells through the column channels.
#pragma once

#include <vector>

#include "host/ChildChannels.h"
#include "host/HostTypes.h"
#include "host/Vro_Channel.h"

class HOST_API Vro_ArrayTable : public Vro_Channel {
  public:
    // Negative sizes count as 0; a table of more than kMaxCells cells is refused with a
    // debug message and made empty. All cells start at 0 and no row is selected.
    Vro_ArrayTable(int rows, int columns);

    // Name "Array Table", type and base GUID VroArrayTableGuid.
    ChannelType GetChannelType() override;

    // 0 for a cell outside the table.
    float Cell(int row, int column) const;
    // Ignored for a cell outside the table.
    void SetCell(int row, int column, float value);
    int RowCount() const { return rows_; }
    int ColumnCount() const { return columns_; }
    // -1 when no row is selected.
    int SelectedRow() const { return selectedRow_; }
    // A row outside the table selects nothing.
    void SelectRow(int row);

    static constexpr int kMaxCells = 1 << 24;

  private:
    int rows_ = 0;
    int columns_ = 0;
    int selectedRow_ = -1;
    std::vector<float> cells_;
};

// {6A1D2F0B-83C4-4E57-9B12-5C0E7A3D94F1}: the array table's own type.
inline constexpr GUID VroArrayTableGuid = {
    0x6A1D2F0B, 0x83C4, 0x4E57, {0x9B, 0x12, 0x5C, 0x0E, 0x7A, 0x3D, 0x94, 0xF1}};

// The row selector of a table (not owned; it must outlive this channel).
class HOST_API Vro_ArrayRowIndex : public Vro_ValueChannel {
  public:
    explicit Vro_ArrayRowIndex(Vro_ArrayTable& table) : table_(&table) {}

    // The selected row, -1 when none.
    float GetValue() override;
    // Selects row (int)value, truncated toward zero; a value outside the table (or not a
    // number) selects nothing, so later cell reads give 0 and writes are ignored.
    void SetValue(float value) override;

  private:
    Vro_ArrayTable* table_;
};

// One column of a table at the selected row (the table is not owned).
class HOST_API Vro_ArrayColumnValue : public Vro_ValueChannel {
  public:
    Vro_ArrayColumnValue(Vro_ArrayTable& table, int column) : table_(&table), column_(column) {}

    float GetValue() override;
    void SetValue(float value) override;

  private:
    Vro_ArrayTable* table_;
    int column_;
};

// Three consecutive columns of a table at the selected row, as x, y and z (the table is not
// owned). A component whose column lies outside the table reads 0 and ignores writes.
class HOST_API Vro_ArrayColumnVector : public Vro_VectorChannel {
  public:
    Vro_ArrayColumnVector(Vro_ArrayTable& table, int firstColumn)
        : table_(&table), firstColumn_(firstColumn) {}

    D3DXVECTOR3 GetVector() override;
    void SetVector(D3DXVECTOR3 vector) override;

  private:
    Vro_ArrayTable* table_;
    int firstColumn_;
};
