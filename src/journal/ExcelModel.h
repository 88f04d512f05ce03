#pragma once
// The workbook TExcel works on: what Excel would hold after the same calls,
// as far as the export uses it. Rows and columns count from 1.
#include <QString>
#include <cstdint>
#include <vector>

constexpr int kExcelMaxRows = 1048576;
constexpr int kExcelMaxColumns = 16384;
constexpr int kExcelMaxText = 32767;

// A rectangle of cells; empty (row1 = 0) when nothing is selected.
struct ExcelRange {
    int row1 = 0, column1 = 0, row2 = 0, column2 = 0;
    bool IsEmpty() const { return row1 < 1; }
    bool operator==(const ExcelRange&) const = default;
};

// One line between two cells; weight 0 is no line.
struct ExcelEdge {
    int16_t weight = 0;
    int16_t style = 0;
    bool IsSet() const { return weight != 0; }
    bool operator==(const ExcelEdge&) const = default;
};

struct ExcelCell {
    QString value;
    int32_t fill = -1;           // 0x00BBGGRR; -1: no fill
    uint16_t numberFormat = 0;   // index into ExcelWorkbook::numberFormats; 0 is "General"
    int16_t alignment = 0;       // 0: not set (Excel's general)
    ExcelEdge left, top;         // the lines on its left and top; right and bottom belong to the neighbours
    bool used = false;           // selected into a range that was given something
};

class ExcelSheet {
public:
    QString name;

    int RowCount() const { return static_cast<int>(rows_.size()); }  // highest row held
    int ColumnCount(int row) const;                                   // highest column held in a row
    // nullptr when the cell was never touched.
    const ExcelCell* Cell(int row, int column) const;
    ExcelCell& At(int row, int column);  // creates it
    // The four lines of a cell, shared with its neighbours as in Excel.
    ExcelEdge Left(int row, int column) const;
    ExcelEdge Top(int row, int column) const;
    ExcelEdge Right(int row, int column) const { return Left(row, column + 1); }
    ExcelEdge Bottom(int row, int column) const { return Top(row + 1, column); }

    // Column widths in characters of the standard font; 0: Excel's default.
    double ColumnWidth(int column) const;
    void SetColumnWidth(int column, double width);
    int WidthCount() const { return static_cast<int>(widths_.size()); }

    void Reserve(int rows, int columns);

private:
    std::vector<std::vector<ExcelCell>> rows_;
    std::vector<double> widths_;
};

struct ExcelWorkbook {
    std::vector<ExcelSheet> sheets;      // the first is the bound worksheet
    std::vector<QString> numberFormats{QStringLiteral("General")};

    uint16_t FormatIndex(const QString& format);  // interned
};

// Weight and line style Excel takes in BorderAround (Excel's own values).
bool IsKnownBorder(int weight, int lineStyle);
// Horizontal alignments Excel takes (Excel's own values).
bool IsKnownAlignment(int alignment);

// A1 address (optionally with "$") → row and column; false when it is not one.
bool ParseCellAddress(const QString& text, int* row, int* column);
// Excel's format grammar, as far as a wrong format would be refused: quotes
// closed, every "\", "*" and "_" followed by its character, brackets closed.
bool IsValidNumberFormat(const QString& format);
// Width in characters Excel's AutoFit gives a column holding the text:
// one per character whatever the alphabet, the longest line, some padding.
double FitWidth(const QString& text);
