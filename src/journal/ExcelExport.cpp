#include "journal/Excel.h"
#include "journal/JournalGrid.h"

#include <QMessageBox>
#include <QWidget>

namespace {

constexpr int kGrey = 0xF7F7F7;
constexpr int kWhite = 0xFFFFFF;

void Report(const ExcelDesk& desk, const QString& text)
{
    const QString caption = QStringLiteral("Ошибка");
    if (desk.report)
        desk.report(caption, text);
    else
        QMessageBox::critical(desk.window, caption, text);
}

}  // namespace

bool ExportGridToExcel(QWidget* window, const JournalGrid& grid, const QString& title)
{
    ExcelDesk desk;
    desk.window = window;
    return ExportGridToExcel(window, grid, title, desk);
}

bool ExportGridToExcel(QWidget* window, const JournalGrid& grid, const QString& title,
                       const ExcelDesk& desk)
{
    const int rows = grid.RowCount();
    const int columns = grid.ColumnCount();
    // Rows beyond a worksheet's last would be dropped without a word.
    if (!FitsWorksheet(rows, columns)) {
        Report(desk, QStringLiteral("Журнал не помещается на лист Excel: %1 строк, а на листе их не более %2.")
                         .arg(rows)
                         .arg(kExcelMaxRows));
        return false;
    }

    TExcel excel(xl::NewInstance, desk);
    if (!excel.Open(1, QString()))
        return false;
    excel.SetVisible(true);
    excel.SetSheetName(title.isEmpty() && window ? window->windowTitle() : title);

    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            excel.WriteCell(r + 1, c + 1, grid.Cell(r, c), r == 0 || c == 0 ? kGrey : kWhite, true);

    excel.SelectRange(QStringLiteral("A1"), TExcel::CellAddress(rows, columns, false, false));
    excel.SetBorder(xl::Thick, xl::Continuous);
    excel.SetHorizontalAlignment(xl::Center);
    excel.AutoFitColumns();

    if (!excel.Close(false, QString())) {
        Report(desk, excel.LastError());
        return false;
    }
    return true;
}
