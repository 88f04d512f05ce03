#include "journal/JournalGrid.h"

JournalGrid::JournalGrid()
{
    Reset();
}

void JournalGrid::Reset()
{
    rows_.assign(2, Row{});
    rows_[0] = Row{QStringLiteral("№"), QStringLiteral("Дата"), QStringLiteral("Время"),
                   QStringLiteral("Номер"), QStringLiteral("Действие"), QStringLiteral("Ток, мкА"),
                   QStringLiteral("Результат"), QStringLiteral("Стенд")};
}

int JournalGrid::AppendJournalRow()
{
    int row = RowCount() - 1;
    if (!rows_[row][0].isEmpty()) {
        rows_.push_back(Row{});
        row = RowCount() - 1;
    }
    rows_[row][0] = QString::number(row);
    for (int c = 1; c < kColumns; ++c)
        rows_[row][c].clear();
    return row;
}

void JournalGrid::ClearJournalRow(int row)
{
    for (auto& cell : rows_[row])
        cell.clear();
}
