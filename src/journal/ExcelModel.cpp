#include "journal/ExcelModel.h"

#include <algorithm>
#include <cmath>

int ExcelSheet::ColumnCount(int row) const
{
    if (row < 1 || row > RowCount())
        return 0;
    return static_cast<int>(rows_[row - 1].size());
}

const ExcelCell* ExcelSheet::Cell(int row, int column) const
{
    if (row < 1 || column < 1 || row > RowCount())
        return nullptr;
    const auto& cells = rows_[row - 1];
    if (column > static_cast<int>(cells.size()))
        return nullptr;
    return &cells[column - 1];
}

ExcelCell& ExcelSheet::At(int row, int column)
{
    if (row > RowCount())
        rows_.resize(row);
    auto& cells = rows_[row - 1];
    if (column > static_cast<int>(cells.size())) {
        // Rows of a table are alike: make room for as many cells as the row above.
        if (cells.capacity() < static_cast<size_t>(column) && row > 1)
            cells.reserve(std::max<size_t>(column, rows_[row - 2].size()));
        cells.resize(column);
    }
    return cells[column - 1];
}

ExcelEdge ExcelSheet::Left(int row, int column) const
{
    const ExcelCell* cell = Cell(row, column);
    return cell ? cell->left : ExcelEdge{};
}

ExcelEdge ExcelSheet::Top(int row, int column) const
{
    const ExcelCell* cell = Cell(row, column);
    return cell ? cell->top : ExcelEdge{};
}

double ExcelSheet::ColumnWidth(int column) const
{
    if (column < 1 || column > WidthCount())
        return 0;
    return widths_[column - 1];
}

void ExcelSheet::SetColumnWidth(int column, double width)
{
    if (column < 1)
        return;
    if (column > WidthCount())
        widths_.resize(column, 0.0);
    widths_[column - 1] = width;
}

void ExcelSheet::Reserve(int rows, int columns)
{
    if (rows > RowCount())
        rows_.reserve(rows);
    for (auto& cells : rows_)
        cells.reserve(columns);
}

uint16_t ExcelWorkbook::FormatIndex(const QString& format)
{
    for (size_t i = 0; i < numberFormats.size(); ++i)
        if (numberFormats[i] == format)
            return static_cast<uint16_t>(i);
    numberFormats.push_back(format);
    return static_cast<uint16_t>(numberFormats.size() - 1);
}

bool ParseCellAddress(const QString& text, int* row, int* column)
{
    int i = 0;
    const int n = static_cast<int>(text.size());
    if (i < n && text[i] == u'$')
        ++i;
    long long col = 0;
    int letters = 0;
    while (i < n && letters < 4) {
        const QChar ch = text[i].toUpper();
        if (ch < u'A' || ch > u'Z')
            break;
        col = col * 26 + (ch.unicode() - u'A' + 1);
        ++letters;
        ++i;
    }
    if (letters == 0 || letters > 3 || col > kExcelMaxColumns)
        return false;
    if (i < n && text[i] == u'$')
        ++i;
    long long r = 0;
    int digits = 0;
    while (i < n && text[i] >= u'0' && text[i] <= u'9' && digits < 8) {
        r = r * 10 + (text[i].unicode() - u'0');
        ++digits;
        ++i;
    }
    if (i != n || digits == 0 || r < 1 || r > kExcelMaxRows)
        return false;
    *row = static_cast<int>(r);
    *column = static_cast<int>(col);
    return true;
}

bool IsValidNumberFormat(const QString& format)
{
    const int n = static_cast<int>(format.size());
    if (n > 255)
        return false;
    for (int i = 0; i < n; ++i) {
        const QChar ch = format[i];
        if (ch == u'\\' || ch == u'*' || ch == u'_') {
            if (i + 1 >= n)
                return false;
            ++i;
        } else if (ch == u'"') {
            const int close = static_cast<int>(format.indexOf(u'"', i + 1));
            if (close < 0)
                return false;
            i = close;
        } else if (ch == u'[') {
            const int close = static_cast<int>(format.indexOf(u']', i + 1));
            if (close < 0)
                return false;
            i = close;
        }
    }
    return true;
}

double FitWidth(const QString& text)
{
    int longest = 0;
    int current = 0;
    for (auto it = text.cbegin(); it != text.cend(); ++it) {
        if (*it == u'\n' || *it == u'\r') {
            current = 0;
            continue;
        }
        if (it->isLowSurrogate())
            continue;  // one character, two code units
        longest = std::max(longest, ++current);
    }
    if (longest == 0)
        return 0;
    // Letters run wider than the digits the unit is measured in.
    return std::min(255.0, std::ceil(longest * 1.15) + 1.0);
}

bool IsKnownBorder(int weight, int lineStyle)
{
    const bool weightKnown = weight == 1 || weight == 2 || weight == -4138 || weight == 4;
    const bool styleKnown = lineStyle == 1 || lineStyle == -4115 || lineStyle == 4 || lineStyle == 5
                            || lineStyle == -4118 || lineStyle == -4119 || lineStyle == 13
                            || lineStyle == -4142;
    return weightKnown && styleKnown;
}

bool IsKnownAlignment(int alignment)
{
    switch (alignment) {
    case 1:      // general
    case -4131:  // left
    case -4108:  // centre
    case -4152:  // right
    case 5:      // fill
    case -4130:  // justify
    case 7:      // centre across selection
    case -4117:  // distributed
        return true;
    default:
        return false;
    }
}
