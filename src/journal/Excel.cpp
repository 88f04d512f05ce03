#include "journal/Excel.h"

#include "journal/ExcelXlsx.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include <algorithm>

namespace {

const QString kXlsxMime = QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");

// xdg-open says yes as soon as it has started, whether or not anything can
// open the file; so ask the desktop first whether it has a program for
// workbooks at all.
bool OpenInSpreadsheetProgram(const QString& file)
{
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), kXlsxMime});
    if (query.waitForStarted(3000) && query.waitForFinished(5000)
        && query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0
        && query.readAllStandardOutput().trimmed().isEmpty())
        return false;
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
        return true;
    return QProcess::startDetached(QStringLiteral("xdg-open"), {file});
}

}  // namespace

TExcel::TExcel(int connectionKind, ExcelDesk desk) : connectionKind_(connectionKind), desk_(std::move(desk))
{
    if (!desk_.open)
        desk_.open = OpenInSpreadsheetProgram;
}

TExcel::~TExcel()
{
    if (open_)
        Close(true, QString());
}

bool TExcel::Open(int sheetCount, const QString& templatePath)
{
    if (open_)
        Close(true, QString());
    if (sheetCount < 1 || sheetCount > 255)
        return false;
    if (!templatePath.isEmpty() && QFileInfo(templatePath).isFile())
        return false;
    workbook_ = std::make_unique<ExcelWorkbook>();
    workbook_->sheets.resize(sheetCount);
    for (int i = 0; i < sheetCount; ++i)
        workbook_->sheets[i].name = QStringLiteral("Лист%1").arg(i + 1);
    open_ = true;
    visible_ = false;  // a new instance starts hidden
    range_ = {};
    lastError_.clear();
    return true;
}

bool TExcel::Close(bool quit, const QString& savePath)
{
    if (!open_)
        return false;
    bool ok = true;
    lastError_.clear();
    if (!quit) {
        // Let go of the workbook: it goes on in the spreadsheet program,
        // unsaved as far as the operator is concerned.
        const QString folder = desk_.tempDir.isEmpty() ? QDir::tempPath() : desk_.tempDir;
        QString why;
        const QString file = CreateWorkbookFile(folder, workbook_->sheets.front().name,
                                                QDateTime::currentDateTime(), &why);
        if (file.isEmpty()) {
            lastError_ = QStringLiteral("Не удалось записать книгу Excel в папку временных файлов\n%1\n(%2)")
                             .arg(QDir::toNativeSeparators(folder), why);
            ok = false;
        } else if (!WriteXlsx(*workbook_, file, folder, &why)) {
            QFile::remove(file);
            lastError_ = QStringLiteral("Не удалось записать книгу Excel в файл\n%1\n(%2)")
                             .arg(QDir::toNativeSeparators(file), why);
            ok = false;
        } else {
            lastFile_ = file;
            if (!desk_.open(file)) {
                lastError_ = QStringLiteral("Не удалось открыть книгу Excel: не найдена программа для "
                                            "таблиц.\nЖурнал сохранён в файле\n%1")
                                 .arg(QDir::toNativeSeparators(file));
                ok = false;
            }
        }
    } else if (!savePath.isEmpty()) {
        QString why;
        if (WriteXlsx(*workbook_, savePath, QFileInfo(savePath).absolutePath(), &why)) {
            lastFile_ = savePath;
        } else {
            lastError_ = QStringLiteral("Не удалось записать книгу Excel в файл\n%1\n(%2)")
                             .arg(QDir::toNativeSeparators(savePath), why);
            ok = false;
        }
    }
    open_ = false;
    workbook_.reset();
    range_ = {};
    return ok;
}

const ExcelSheet* TExcel::Worksheet() const
{
    return workbook_ ? &workbook_->sheets.front() : nullptr;
}

ExcelSheet* TExcel::sheet()
{
    return open_ && workbook_ ? &workbook_->sheets.front() : nullptr;
}

void TExcel::SetVisible(bool visible)
{
    if (open_)
        visible_ = visible;
}

bool TExcel::SetSheetName(const QString& name)
{
    ExcelSheet* ws = sheet();
    if (!ws)
        return false;
    // Excel's rules for a sheet's name; it refuses any other.
    static const QString forbidden = QStringLiteral("[]:*?/\\");
    if (name.isEmpty() || name.size() > 31 || name.startsWith(u'\'') || name.endsWith(u'\''))
        return false;
    for (QChar ch : name)
        if (forbidden.contains(ch) || ch.unicode() < 0x20)
            return false;
    for (const ExcelSheet& other : workbook_->sheets)
        if (&other != ws && other.name.compare(name, Qt::CaseInsensitive) == 0)
            return false;
    ws->name = name;
    return true;
}

bool TExcel::SelectCell(int row, int column)
{
    if (!open_ || row < 1 || column < 1 || row > kExcelMaxRows || column > kExcelMaxColumns)
        return false;
    range_ = {row, column, row, column};
    return true;
}

bool TExcel::SelectRange(const QString& first, const QString& second)
{
    if (!open_)
        return false;
    int r1, c1, r2, c2;
    if (!ParseCellAddress(first, &r1, &c1) || !ParseCellAddress(second, &r2, &c2))
        return false;
    range_ = {std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2)};
    return true;
}

namespace {

template <typename F>
bool ForEachCell(ExcelSheet* ws, const ExcelRange& range, F&& f)
{
    if (!ws || range.IsEmpty())
        return false;
    for (int r = range.row1; r <= range.row2; ++r)
        for (int c = range.column1; c <= range.column2; ++c) {
            ExcelCell& cell = ws->At(r, c);
            cell.used = true;
            f(cell);
        }
    return true;
}

}  // namespace

bool TExcel::SetValue(const QString& text)
{
    if (text.size() > kExcelMaxText)
        return false;
    return ForEachCell(sheet(), range_, [&](ExcelCell& cell) { cell.value = text; });
}

bool TExcel::SetNumberFormat(const QString& format)
{
    if (!sheet() || !IsValidNumberFormat(format))
        return false;
    const uint16_t index = workbook_->FormatIndex(format);
    return ForEachCell(sheet(), range_, [&](ExcelCell& cell) { cell.numberFormat = index; });
}

bool TExcel::SetInteriorColor(int colour)
{
    if (colour < 0 || colour > 0xFFFFFF)
        return false;
    return ForEachCell(sheet(), range_, [&](ExcelCell& cell) { cell.fill = colour; });
}

bool TExcel::SetBorder(int weight, int lineStyle)
{
    ExcelSheet* ws = sheet();
    if (!ws || range_.IsEmpty() || !IsKnownBorder(weight, lineStyle))
        return false;
    const ExcelEdge edge = lineStyle == xl::LineStyleNone
                               ? ExcelEdge{}
                               : ExcelEdge{static_cast<int16_t>(weight), static_cast<int16_t>(lineStyle)};
    const ExcelRange& g = range_;
    // Lines are shared with the neighbours: the right and bottom ones are
    // kept by the cells beyond the range, which stay unused.
    for (int c = g.column1; c <= g.column2; ++c) {
        ExcelCell& top = ws->At(g.row1, c);
        top.top = edge;
        top.used = true;
        ws->At(g.row2, c).used = true;
        if (g.row2 < kExcelMaxRows)
            ws->At(g.row2 + 1, c).top = edge;
    }
    for (int r = g.row1; r <= g.row2; ++r) {
        ExcelCell& left = ws->At(r, g.column1);
        left.left = edge;
        left.used = true;
        ws->At(r, g.column2).used = true;
        if (g.column2 < kExcelMaxColumns)
            ws->At(r, g.column2 + 1).left = edge;
    }
    return true;
}

bool TExcel::SetHorizontalAlignment(int alignment)
{
    if (!IsKnownAlignment(alignment))
        return false;
    return ForEachCell(sheet(), range_, [&](ExcelCell& cell) { cell.alignment = static_cast<int16_t>(alignment); });
}

bool TExcel::AutoFitColumns()
{
    ExcelSheet* ws = sheet();
    if (!ws || range_.IsEmpty())
        return false;
    for (int c = range_.column1; c <= range_.column2; ++c) {
        double width = 0;
        const int lastRow = std::min(range_.row2, ws->RowCount());
        for (int r = range_.row1; r <= lastRow; ++r)
            if (const ExcelCell* cell = ws->Cell(r, c))
                width = std::max(width, FitWidth(cell->value));
        if (width > 0)
            ws->SetColumnWidth(c, width);
    }
    return true;
}

void TExcel::WriteCell(int row, int column, const QString& text, int colour, bool border)
{
    SelectCell(row, column);
    SetValue(text);
    // "@" (text) where the original gave "*", which is no format at all: a
    // spreadsheet program refuses or mangles it. As text, nothing the stand
    // or a loaded file puts into a cell is read as a number or a formula.
    SetNumberFormat(QStringLiteral("@"));
    if (colour >= 0)
        SetInteriorColor(colour);
    if (border)
        SetBorder(xl::Thin, xl::Continuous);
}

QString TExcel::CellAddress(int row, int column, bool absoluteRow, bool absoluteColumn)
{
    if (column < 1 || column > 702)
        return QString();
    int hi = column / 26;
    int lo = column % 26;
    if (lo == 0) {
        hi -= 1;
        lo = 26;
    }
    QString letters;
    if (hi > 0)
        letters += QChar(u'A' + hi - 1);
    letters += QChar(u'A' + lo - 1);
    QString address;
    if (absoluteColumn)
        address += u'$';
    address += letters;
    if (absoluteRow)
        address += u'$';
    return address + QString::number(row);
}

bool FitsWorksheet(int rows, int columns)
{
    return rows >= 1 && columns >= 1 && rows <= kExcelMaxRows && columns <= kExcelMaxColumns;
}
