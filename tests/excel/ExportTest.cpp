// The journal export, read back from the written workbook by openpyxl.
#include "ExcelDeskFake.h"
#include "XlsxReader.h"
#include "journal/Excel.h"
#include "journal/JournalGrid.h"

#include <QFile>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

const QString kTitle = QStringLiteral("Журнал стенда");

JournalGrid GridOf(int entries)
{
    JournalGrid grid;
    for (int i = 0; i < entries; ++i) {
        const int row = grid.AppendJournalRow();
        grid.SetCell(row, 1, QStringLiteral("11.12.2024"));
        grid.SetCell(row, 2, QStringLiteral("10:%1:00").arg(i % 60, 2, 10, QChar(u'0')));
        grid.SetCell(row, 3, QStringLiteral("24-%1").arg(i + 1, 5, 10, QChar(u'0')));
        grid.SetCell(row, 4, i % 2 ? QStringLiteral("Программирование") : QStringLiteral("Тестирование"));
        grid.SetCell(row, 5, QString::number(1200 + i));
        grid.SetCell(row, 6, i % 7 ? QStringLiteral("OK") : QStringLiteral("Ошибка программирования"));
        grid.SetCell(row, 7, QStringLiteral("3"));
    }
    return grid;
}

QString Col(int column)
{
    return TExcel::CellAddress(1, column, false, false).chopped(1);
}

int Characters(const QString& text)
{
    return static_cast<int>(text.toUcs4().size());
}

// Exports the grid and reads the one workbook it wrote.
QJsonObject ExportAndRead(FakeDesk& desk, const JournalGrid& grid, const QString& title = kTitle,
                          QWidget* window = nullptr)
{
    EXPECT_TRUE(ExportGridToExcel(window, grid, title, desk.Make()));
    EXPECT_TRUE(desk.reports.isEmpty()) << desk.reports.join("|").toStdString();
    if (desk.opened.isEmpty())
        return {};
    QString error;
    const QJsonObject book = ReadXlsx(desk.opened.last(), &error);
    EXPECT_FALSE(book.isEmpty()) << error.toStdString();
    return book;
}

// Every property the export promises, checked cell by cell against the grid.
void ExpectTable(const QJsonObject& book, const JournalGrid& grid)
{
    const int rows = grid.RowCount();
    const int columns = grid.ColumnCount();
    ASSERT_EQ(book["sheets"].toArray().size(), 1);
    EXPECT_EQ(book["formulas"].toInt(), 0);
    const QJsonObject sheet = FirstSheet(book);
    EXPECT_EQ(sheet["name"].toString(), kTitle);
    EXPECT_EQ(sheet["dimensions"].toString(), QStringLiteral("A1:H%1").arg(rows));
    EXPECT_EQ(sheet["cells"].toObject().size(), rows * columns);
    const QJsonObject widths = sheet["widths"].toObject();
    for (int c = 0; c < columns; ++c) {
        int longest = 0;
        for (int r = 0; r < rows; ++r)
            longest = std::max(longest, Characters(grid.Cell(r, c)));
        const double width = widths[Col(c + 1)].toDouble();
        EXPECT_GE(width, longest + 1) << "column " << c;
        EXPECT_LE(width, longest * 1.5 + 4) << "column " << c;
    }
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            const QString at = TExcel::CellAddress(r + 1, c + 1, false, false);
            SCOPED_TRACE(at.toStdString());
            const QJsonObject cell = CellOf(sheet, at);
            ASSERT_FALSE(cell.isEmpty());
            const QString text = grid.Cell(r, c);
            if (text.isEmpty()) {
                EXPECT_TRUE(cell["value"].isNull());
            } else {
                EXPECT_EQ(cell["value"].toString(), text);
                EXPECT_EQ(cell["type"].toString(), QStringLiteral("s"));
            }
            EXPECT_EQ(cell["format"].toString(), QStringLiteral("@"));
            EXPECT_EQ(cell["fill"].toString(), r == 0 || c == 0 ? QStringLiteral("F7F7F7") : QStringLiteral("FFFFFF"));
            EXPECT_EQ(cell["align"].toString(), QStringLiteral("center"));
            const auto edge = [](bool outer) { return outer ? QStringLiteral("thick") : QStringLiteral("thin"); };
            EXPECT_EQ(cell["top"].toString(), edge(r == 0));
            EXPECT_EQ(cell["bottom"].toString(), edge(r == rows - 1));
            EXPECT_EQ(cell["left"].toString(), edge(c == 0));
            EXPECT_EQ(cell["right"].toString(), edge(c == columns - 1));
        }
}

TEST(ExportTest, EmptyJournalGivesTheHeadersAndOneEmptyFramedRow)
{
    FakeDesk desk;
    const JournalGrid grid;
    const QJsonObject book = ExportAndRead(desk, grid);
    ExpectTable(book, grid);
    const QJsonObject sheet = FirstSheet(book);
    const char* headers[] = {"№", "Дата", "Время", "Номер", "Действие", "Ток, мкА", "Результат", "Стенд"};
    for (int c = 0; c < 8; ++c)
        EXPECT_EQ(CellOf(sheet, Col(c + 1) + "1")["value"].toString(), QString::fromUtf8(headers[c]));
    EXPECT_EQ(sheet["max_row"].toInt(), 2);
    EXPECT_EQ(sheet["max_column"].toInt(), 8);
}

TEST(ExportTest, HundredEntriesGiveHundredAndOneFramedRows)
{
    FakeDesk desk;
    const JournalGrid grid = GridOf(100);
    const QJsonObject book = ExportAndRead(desk, grid);
    ExpectTable(book, grid);
    const QJsonObject sheet = FirstSheet(book);
    EXPECT_EQ(CellOf(sheet, "A101")["value"].toString(), QStringLiteral("100"));
    EXPECT_EQ(CellOf(sheet, "D101")["value"].toString(), QStringLiteral("24-00100"));
    EXPECT_EQ(CellOf(sheet, "F2")["value"].toString(), QStringLiteral("1200"));  // a text, not the number 1200
}

TEST(ExportTest, CellTextsStayTextsWhateverTheyLookLike)
{
    FakeDesk desk;
    JournalGrid grid;
    const QStringList texts = {QStringLiteral("=1+1"), QStringLiteral("0012"), QStringLiteral("1E5"),
                               QStringLiteral("11.12.2024"), QStringLiteral("+7"), QStringLiteral("<b>&amp;\"'"),
                               QStringLiteral("@SUM(A1)"), QStringLiteral("Ёжик ёлка Щ")};
    const int row = grid.AppendJournalRow();
    for (int c = 1; c < 8; ++c)
        grid.SetCell(row, c, texts[c]);
    grid.SetCell(0, 1, texts[0]);  // a header may look like a formula too
    const QJsonObject book = ExportAndRead(desk, grid);
    ExpectTable(book, grid);
    EXPECT_EQ(CellOf(FirstSheet(book), "B1")["value"].toString(), QStringLiteral("=1+1"));
}

TEST(ExportTest, EmptyTitleNamesTheSheetAfterTheWindow)
{
    FakeDesk desk;
    QWidget window;
    window.setWindowTitle(QStringLiteral("Журнал"));
    const QJsonObject book = ExportAndRead(desk, JournalGrid(), QString(), &window);
    EXPECT_EQ(FirstSheet(book)["name"].toString(), QStringLiteral("Журнал"));
    EXPECT_TRUE(QFileInfo(desk.opened.last()).fileName().startsWith(QStringLiteral("Журнал ")));
}

TEST(ExportTest, EachExportOpensAFurtherWorkbook)
{
    FakeDesk desk;
    const JournalGrid grid = GridOf(3);
    ASSERT_TRUE(ExportGridToExcel(nullptr, grid, kTitle, desk.Make()));
    ASSERT_TRUE(ExportGridToExcel(nullptr, grid, kTitle, desk.Make()));
    ASSERT_EQ(desk.opened.size(), 2);
    EXPECT_NE(desk.opened[0], desk.opened[1]);
    for (const QString& file : desk.opened) {
        EXPECT_EQ(QFileInfo(file).absolutePath(), QFileInfo(desk.folder()).absoluteFilePath());
        EXPECT_GT(QFileInfo(file).size(), 0);
    }
    EXPECT_EQ(desk.files().size(), 2);
}

TEST(ExportTest, WithoutASpreadsheetProgramTheOperatorIsToldWhereTheWorkbookIs)
{
    FakeDesk desk;
    desk.programFound = false;
    const JournalGrid grid = GridOf(2);
    EXPECT_FALSE(ExportGridToExcel(nullptr, grid, kTitle, desk.Make()));
    ASSERT_EQ(desk.opened.size(), 1);
    ASSERT_EQ(desk.reports.size(), 1);
    const QString file = desk.opened[0];
    EXPECT_TRUE(desk.reports[0].startsWith(QStringLiteral("Ошибка\n")));
    EXPECT_TRUE(desk.reports[0].contains(file)) << desk.reports[0].toStdString();
    // The workbook is there and complete: the export is not lost.
    ExpectTable(ReadXlsx(file), grid);
}

TEST(ExportTest, AnUnwritableTemporaryFolderIsReported)
{
    FakeDesk desk;
    desk.tmp.write("not-a-folder", "x");
    const QByteArray saved = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(QString::fromStdString(desk.tmp.file("not-a-folder"))));
    ExcelDesk d = desk.Make();
    d.tempDir.clear();  // the system's temporary folder
    const bool ok = ExportGridToExcel(nullptr, GridOf(2), kTitle, d);
    if (saved.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", saved);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(desk.opened.isEmpty());
    ASSERT_EQ(desk.reports.size(), 1);
    EXPECT_TRUE(desk.reports[0].startsWith(QStringLiteral("Ошибка\nНе удалось записать книгу Excel")))
        << desk.reports[0].toStdString();
    EXPECT_TRUE(desk.reports[0].contains(QStringLiteral("not-a-folder")));
    EXPECT_EQ(desk.files(), QStringList{QStringLiteral("not-a-folder")});
}

}  // namespace
