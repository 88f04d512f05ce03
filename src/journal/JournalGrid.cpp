#include "journal/JournalGrid.h"

JournalGrid::JournalGrid()
    : rows_(EmptyRows())
{
}

std::vector<JournalGrid::Row> JournalGrid::EmptyRows()
{
    std::vector<Row> rows(2, Row{});
    rows[0] = Row{QStringLiteral("№"), QStringLiteral("Дата"), QStringLiteral("Время"),
                  QStringLiteral("Номер"), QStringLiteral("Действие"), QStringLiteral("Ток, мкА"),
                  QStringLiteral("Результат"), QStringLiteral("Стенд")};
    return rows;
}

JournalGrid& JournalGrid::operator=(const JournalGrid& other)
{
    if (this != &other) {
        if (listener_)
            listener_->GridAboutToReset();
        rows_ = other.rows_;
        if (listener_)
            listener_->GridReset();
    }
    return *this;
}

void JournalGrid::SetCell(int row, int column, const QString& text)
{
    rows_[row][column] = text;
    if (listener_)
        listener_->RowChanged(row);
}

void JournalGrid::SetRow(int row, const Row& cells)
{
    rows_[row] = cells;
    if (listener_)
        listener_->RowChanged(row);
}

void JournalGrid::Reset()
{
    if (listener_)
        listener_->GridAboutToReset();
    rows_ = EmptyRows();
    if (listener_)
        listener_->GridReset();
}

void JournalGrid::TakeRows(JournalGrid& other)
{
    if (listener_)
        listener_->GridAboutToReset();
    rows_.swap(other.rows_);
    other.rows_ = EmptyRows();
    if (listener_)
        listener_->GridReset();
}

int JournalGrid::AppendJournalRow()
{
    int row = RowCount() - 1;
    const bool add = !rows_[row][0].isEmpty();
    if (add) {
        row = RowCount();
        if (listener_)
            listener_->RowAboutToBeAdded(row);
        rows_.push_back(Row{});
    }
    rows_[row][0] = QString::number(row);
    for (int c = 1; c < kColumns; ++c)
        rows_[row][c].clear();
    if (listener_) {
        if (add)
            listener_->RowAdded(row);
        else
            listener_->RowChanged(row);
    }
    return row;
}

void JournalGrid::ClearJournalRow(int row)
{
    for (auto& cell : rows_[row])
        cell.clear();
    if (listener_)
        listener_->RowChanged(row);
}
