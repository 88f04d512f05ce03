#pragma once
// The journal grid's cells: row 0 holds the headers, column 0 the row
// numbers; a data row whose column 0 is empty is free. There is always at
// least one data row. Plain data, so the view, the writer, the loader and
// the export all share it; a listener (the window's model) hears of changes.
#include <QString>
#include <array>
#include <vector>

class JournalGridListener {
public:
    virtual ~JournalGridListener() = default;
    virtual void GridAboutToReset() = 0;
    virtual void GridReset() = 0;
    virtual void RowAboutToBeAdded(int row) = 0;
    virtual void RowAdded(int row) = 0;
    virtual void RowChanged(int row) = 0;
};

class JournalGrid {
public:
    static constexpr int kColumns = 8;
    using Row = std::array<QString, kColumns>;

    JournalGrid();  // header row + the empty row 1
    // A copy takes the cells, never the listener.
    JournalGrid(const JournalGrid& other) : rows_(other.rows_) {}
    JournalGrid& operator=(const JournalGrid& other);

    int RowCount() const { return static_cast<int>(rows_.size()); }
    int ColumnCount() const { return kColumns; }
    const QString& Cell(int row, int column) const { return rows_[row][column]; }
    void SetCell(int row, int column, const QString& text);
    void SetRow(int row, const Row& cells);  // one change notice for the whole row

    int AppendJournalRow();          // the row the next entry fills, numbered, data cells emptied
    void ClearJournalRow(int row);   // columns 0 to 7 emptied
    void Reset();                    // header row + empty row 1
    // Takes the rows of a grid built aside (a loaded file), with one reset notice.
    void TakeRows(JournalGrid& other);

    void SetListener(JournalGridListener* listener) { listener_ = listener; }

private:
    static std::vector<Row> EmptyRows();

    std::vector<Row> rows_;
    JournalGridListener* listener_ = nullptr;
};
