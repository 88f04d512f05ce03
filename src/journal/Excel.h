#pragma once
// The Excel layer and the journal export. There is no Excel to drive here:
// TExcel keeps Excel's calls over a workbook held in memory, and letting go
// of it (Close without quit) writes the workbook as a new .xlsx file in the
// temporary folder and opens it in the desktop's spreadsheet program, which
// is where the operator then saves or prints it.
#include "journal/ExcelModel.h"

#include <QString>
#include <functional>
#include <memory>

class QWidget;
class JournalGrid;

// Excel's values used by the export.
namespace xl {
constexpr int Continuous = 1;         // line style
constexpr int LineStyleNone = -4142;
constexpr int Hairline = 1;           // border weights
constexpr int Thin = 2;
constexpr int Medium = -4138;
constexpr int Thick = 4;
constexpr int ColorIndexNone = -4142;
constexpr int Center = -4108;         // horizontal alignments
constexpr int Left = -4131;
constexpr int Right = -4152;
constexpr int General = 1;
constexpr int NewInstance = 1;        // connection kind: always a new Excel
}

// What TExcel needs from the desktop. Every member may be left empty for the
// real one; tests put their own in so that no program is started and no
// message box is shown.
struct ExcelDesk {
    QWidget* window = nullptr;  // parent of the error messages
    // Opens a written workbook in the spreadsheet program; false when no
    // program could be started for it.
    std::function<bool(const QString& file)> open;
    // Shows an error to the operator (caption "Ошибка").
    std::function<void(const QString& caption, const QString& text)> report;
    QString tempDir;  // where handed-over workbooks go; empty: QDir::tempPath()
};

class TExcel {
public:
    explicit TExcel(int connectionKind, ExcelDesk desk = {});
    ~TExcel();  // still open: Close(true, "") drops the workbook unsaved
    TExcel(const TExcel&) = delete;
    TExcel& operator=(const TExcel&) = delete;

    // A new workbook of sheetCount sheets (1 to 255), its first sheet bound.
    // A template that exists cannot be read into the model: Open then fails
    // rather than start from a blank workbook unasked.
    bool Open(int sheetCount, const QString& templatePath);
    // quit = false: hand the workbook over to the spreadsheet program (the
    // path is not used). quit = true: save it to savePath, or drop it when
    // the path is empty. False when not open or the hand-over/save failed
    // (the operator has been told then).
    bool Close(bool quit, const QString& savePath);

    void SetVisible(bool visible);
    bool SetSheetName(const QString& name);
    bool SelectCell(int row, int column);
    bool SelectRange(const QString& first, const QString& second);
    bool SetValue(const QString& text);                 // always text, never a formula
    bool SetNumberFormat(const QString& format);        // refused when not a valid format
    bool SetInteriorColor(int colour);                  // 0x00BBGGRR
    bool SetBorder(int weight, int lineStyle);          // BorderAround
    bool SetHorizontalAlignment(int alignment);
    bool AutoFitColumns();
    void WriteCell(int row, int column, const QString& text, int colour, bool border);

    // A1 form of a cell, columns 1 to 702 (A to ZZ); empty outside them.
    static QString CellAddress(int row, int column, bool absoluteRow, bool absoluteColumn);

    // What the model holds, for whoever needs to look.
    bool IsOpen() const { return open_; }
    bool IsVisible() const { return visible_; }
    int ConnectionKind() const { return connectionKind_; }
    const ExcelWorkbook* Workbook() const { return workbook_.get(); }
    const ExcelSheet* Worksheet() const;
    ExcelRange CurrentRange() const { return range_; }
    QString LastFile() const { return lastFile_; }      // the last workbook written
    QString LastError() const { return lastError_; }    // why the last Close failed, for the operator

private:
    ExcelSheet* sheet();

    int connectionKind_;
    ExcelDesk desk_;
    std::unique_ptr<ExcelWorkbook> workbook_;
    bool open_ = false;
    bool visible_ = false;
    ExcelRange range_;
    QString lastFile_;
    QString lastError_;
};

// Whether a table of that many rows and columns fits on one worksheet.
bool FitsWorksheet(int rows, int columns);

// The journal window's "Экспорт в Microsoft Excel": the whole grid, header
// row and number column included, framed, centred and fitted, handed over to
// the spreadsheet program as a new workbook. The sheet is named after the
// title, or after the window's caption when the title is empty. False when
// the workbook could not be written or opened (the operator has been told).
bool ExportGridToExcel(QWidget* window, const JournalGrid& grid, const QString& title);
bool ExportGridToExcel(QWidget* window, const JournalGrid& grid, const QString& title,
                       const ExcelDesk& desk);
