#pragma once
// The journal grid's cells: row 0 holds the headers, column 0 the row
// numbers; a data row whose column 0 is empty is free. There is always at
// least one data row. Plain data, so the view, the writer, the loader and
// the export all share it.
#include <QString>
#include <array>
#include <vector>

class JournalGrid {
public:
    static constexpr int kColumns = 8;
    using Row = std::array<QString, kColumns>;

    JournalGrid();  // header row + the empty row 1

    int RowCount() const { return static_cast<int>(rows_.size()); }
    int ColumnCount() const { return kColumns; }
    const QString& Cell(int row, int column) const { return rows_[row][column]; }
    void SetCell(int row, int column, const QString& text) { rows_[row][column] = text; }

    int AppendJournalRow();          // the row the next entry fills, numbered, data cells emptied
    void ClearJournalRow(int row);   // columns 0 to 7 emptied
    void Reset();                    // header row + empty row 1

private:
    std::vector<Row> rows_;
};
