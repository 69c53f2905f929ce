// The array table and its row-index and column channels.
#include "host/ArrayTable.h"

#include <cstring>
#include <string>

#include "host/EngineInterface.h"

Vro_ArrayTable::Vro_ArrayTable(int rows, int columns) {
    const long long r = rows > 0 ? rows : 0;
    const long long c = columns > 0 ? columns : 0;
    if (r * c > kMaxCells) {
        const std::string text = "Vro_ArrayTable: " + std::to_string(rows) + " x " +
                                 std::to_string(columns) + " cells refused";
        globalEngine->ShowDebugMessage(text.c_str());
        return;
    }
    rows_ = static_cast<int>(r);
    columns_ = static_cast<int>(c);
    cells_.assign(static_cast<std::size_t>(r * c), 0.0f);
}

ChannelType Vro_ArrayTable::GetChannelType() {
    ChannelType type;
    std::strncpy(type.name, "Array Table", sizeof(type.name) - 1);
    type.typeGuid = VroArrayTableGuid;
    type.baseGuid = VroArrayTableGuid;
    return type;
}

float Vro_ArrayTable::Cell(int row, int column) const {
    if (row < 0 || row >= rows_ || column < 0 || column >= columns_) {
        return 0.0f;
    }
    return cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
                  static_cast<std::size_t>(column)];
}

void Vro_ArrayTable::SetCell(int row, int column, float value) {
    if (row < 0 || row >= rows_ || column < 0 || column >= columns_) {
        return;
    }
    cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
           static_cast<std::size_t>(column)] = value;
}

void Vro_ArrayTable::SelectRow(int row) {
    selectedRow_ = (row >= 0 && row < rows_) ? row : -1;
}

float Vro_ArrayRowIndex::GetValue() {
    return static_cast<float>(table_->SelectedRow());
}

void Vro_ArrayRowIndex::SetValue(float value) {
    // Truncation toward zero; the range test comes first because converting a float
    // outside int's range (or NaN) is undefined. NaN fails both comparisons.
    if (!(value > -1.0f && value < static_cast<float>(table_->RowCount()))) {
        table_->SelectRow(-1);
        return;
    }
    table_->SelectRow(static_cast<int>(value));
}

float Vro_ArrayColumnValue::GetValue() {
    return table_->Cell(table_->SelectedRow(), column_);
}

void Vro_ArrayColumnValue::SetValue(float value) {
    table_->SetCell(table_->SelectedRow(), column_, value);
}

namespace {

// Column firstColumn + offset, or -1 (outside every table) when it would overflow.
int columnAt(int firstColumn, int offset) {
    const long long column = static_cast<long long>(firstColumn) + offset;
    return column <= 0x7FFFFFFF ? static_cast<int>(column) : -1;
}

}  // namespace

D3DXVECTOR3 Vro_ArrayColumnVector::GetVector() {
    const int row = table_->SelectedRow();
    return {table_->Cell(row, firstColumn_), table_->Cell(row, columnAt(firstColumn_, 1)),
            table_->Cell(row, columnAt(firstColumn_, 2))};
}

void Vro_ArrayColumnVector::SetVector(D3DXVECTOR3 vector) {
    const int row = table_->SelectedRow();
    table_->SetCell(row, firstColumn_, vector.x);
    table_->SetCell(row, columnAt(firstColumn_, 1), vector.y);
    table_->SetCell(row, columnAt(firstColumn_, 2), vector.z);
}
