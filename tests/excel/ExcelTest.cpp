// TExcel's operations over its workbook, and the workbook as written.
#include "ExcelDeskFake.h"
#include "XlsxReader.h"
#include "journal/Excel.h"
#include "journal/ExcelModel.h"
#include "journal/ExcelXlsx.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

struct AddressCase {
    int row, column;
    bool absRow, absColumn;
    const char* expected;
};

class CellAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(CellAddressTest, GivesA1Form)
{
    const AddressCase& c = GetParam();
    EXPECT_EQ(TExcel::CellAddress(c.row, c.column, c.absRow, c.absColumn), QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Table, CellAddressTest,
                         ::testing::Values(AddressCase{5, 8, false, false, "H5"},
                                           AddressCase{1, 1, false, false, "A1"},
                                           AddressCase{1, 26, false, false, "Z1"},
                                           AddressCase{1, 27, false, false, "AA1"},
                                           AddressCase{3, 52, false, false, "AZ3"},
                                           AddressCase{2, 53, false, false, "BA2"},
                                           AddressCase{7, 676, false, false, "YZ7"},
                                           AddressCase{7, 677, false, false, "ZA7"},
                                           AddressCase{9, 702, false, false, "ZZ9"},
                                           AddressCase{5, 8, true, true, "$H$5"},
                                           AddressCase{5, 8, true, false, "H$5"},
                                           AddressCase{5, 8, false, true, "$H5"},
                                           AddressCase{101, 8, false, false, "H101"},
                                           AddressCase{1048576, 28, false, false, "AB1048576"},
                                           AddressCase{1, 703, false, false, ""},
                                           AddressCase{1, 0, false, false, ""},
                                           AddressCase{1, -3, false, false, ""}));

TEST(CellAddressTest, EveryColumnParsesBackToItself)
{
    for (int column = 1; column <= 702; ++column) {
        int r = 0, c = 0;
        ASSERT_TRUE(ParseCellAddress(TExcel::CellAddress(12, column, true, true), &r, &c)) << column;
        EXPECT_EQ(r, 12);
        EXPECT_EQ(c, column);
    }
}

TEST(ExcelModelTest, AddressesThatAreNoCells)
{
    int r, c;
    for (const char* bad : {"", "A", "1", "A0", "AAAA1", "XFE1", "A1048577", "A1 ", "1A", "A-1", "$$A1", "Ж1"})
        EXPECT_FALSE(ParseCellAddress(QString::fromUtf8(bad), &r, &c)) << bad;
    ASSERT_TRUE(ParseCellAddress(QStringLiteral("xfd1048576"), &r, &c));
    EXPECT_EQ(r, 1048576);
    EXPECT_EQ(c, 16384);
}

TEST(ExcelModelTest, NumberFormatsExcelWouldRefuse)
{
    for (const char* bad : {"*", "0*", "_", "\\", "\"abc", "[Red", "0.00_"})
        EXPECT_FALSE(IsValidNumberFormat(QString::fromUtf8(bad))) << bad;
    for (const char* good : {"@", "General", "0.00", "* 0", "0_)", "\\*", "\"*\"", "[Red]0", "dd.mm.yyyy"})
        EXPECT_TRUE(IsValidNumberFormat(QString::fromUtf8(good))) << good;
}

TEST(ExcelModelTest, FitWidthCountsCharactersNotBytes)
{
    EXPECT_EQ(FitWidth(QString()), 0);
    // Cyrillic takes two bytes in UTF-8 but one character on screen.
    EXPECT_EQ(FitWidth(QStringLiteral("Результат")), FitWidth(QStringLiteral("Resultat1")));
    EXPECT_GE(FitWidth(QStringLiteral("Тестирование")), 12);
    EXPECT_LT(FitWidth(QStringLiteral("Тестирование")), 24);
    // The longest line counts, not the whole text.
    EXPECT_EQ(FitWidth(QStringLiteral("abc\nabcdef")), FitWidth(QStringLiteral("abcdef")));
    EXPECT_LE(FitWidth(QString(1000, u'x')), 255);
}

TEST(ExcelModelTest, WorksheetLimits)
{
    EXPECT_TRUE(FitsWorksheet(1, 1));
    EXPECT_TRUE(FitsWorksheet(1048576, 8));
    EXPECT_FALSE(FitsWorksheet(1048577, 8));
    EXPECT_FALSE(FitsWorksheet(10, 16385));
    EXPECT_FALSE(FitsWorksheet(0, 8));
}

// Every operation is asked of a TExcel that was never opened or was closed.
TEST(TExcelTest, DoesNothingWhenNotOpen)
{
    FakeDesk desk;
    for (bool wasOpened : {false, true}) {
        TExcel excel(xl::NewInstance, desk.Make());
        if (wasOpened) {
            ASSERT_TRUE(excel.Open(1, QString()));
            ASSERT_TRUE(excel.Close(true, QString()));
        }
        EXPECT_FALSE(excel.IsOpen());
        excel.SetVisible(true);
        EXPECT_FALSE(excel.IsVisible());
        EXPECT_FALSE(excel.SetSheetName(QStringLiteral("Журнал стенда")));
        EXPECT_FALSE(excel.SelectCell(1, 1));
        EXPECT_FALSE(excel.SelectRange(QStringLiteral("A1"), QStringLiteral("B2")));
        EXPECT_TRUE(excel.CurrentRange().IsEmpty());
        EXPECT_FALSE(excel.SetValue(QStringLiteral("x")));
        EXPECT_FALSE(excel.SetNumberFormat(QStringLiteral("@")));
        EXPECT_FALSE(excel.SetInteriorColor(0xF7F7F7));
        EXPECT_FALSE(excel.SetBorder(xl::Thin, xl::Continuous));
        EXPECT_FALSE(excel.SetHorizontalAlignment(xl::Center));
        EXPECT_FALSE(excel.AutoFitColumns());
        excel.WriteCell(1, 1, QStringLiteral("x"), 0xFFFFFF, true);
        EXPECT_EQ(excel.Worksheet(), nullptr);
        EXPECT_FALSE(excel.Close(false, QString()));
        EXPECT_FALSE(excel.Close(true, QString::fromStdString(desk.tmp.file("x.xlsx"))));
    }
    EXPECT_TRUE(desk.opened.isEmpty());
    EXPECT_TRUE(desk.files().isEmpty());
}

TEST(TExcelTest, OpenGivesANewHiddenWorkbookWithItsFirstSheetBound)
{
    FakeDesk desk;
    TExcel excel(xl::NewInstance, desk.Make());
    EXPECT_EQ(excel.ConnectionKind(), 1);
    ASSERT_TRUE(excel.Open(3, QString()));
    EXPECT_TRUE(excel.IsOpen());
    EXPECT_FALSE(excel.IsVisible());
    ASSERT_EQ(excel.Workbook()->sheets.size(), 3u);
    EXPECT_EQ(excel.Worksheet()->name, QStringLiteral("Лист1"));
    excel.SetVisible(true);
    EXPECT_TRUE(excel.IsVisible());
    excel.WriteCell(1, 1, QStringLiteral("старое"), -1, false);

    // Opening again drops the first workbook unsaved and starts anew.
    ASSERT_TRUE(excel.Open(1, QString()));
    EXPECT_EQ(excel.Worksheet()->Cell(1, 1), nullptr);
    EXPECT_TRUE(excel.CurrentRange().IsEmpty());
    EXPECT_TRUE(desk.files().isEmpty());
    EXPECT_TRUE(desk.opened.isEmpty());

    EXPECT_FALSE(excel.Open(0, QString()));
    EXPECT_FALSE(excel.Open(256, QString()));
}

TEST(TExcelTest, ATemplateThatCannotBeReadIsNotIgnored)
{
    FakeDesk desk;
    desk.tmp.write("template.xltx", "not read");
    TExcel excel(xl::NewInstance, desk.Make());
    EXPECT_FALSE(excel.Open(1, QString::fromStdString(desk.tmp.file("template.xltx"))));
    EXPECT_FALSE(excel.IsOpen());
    // A template path that names no file: Excel starts without a template.
    EXPECT_TRUE(excel.Open(1, QString::fromStdString(desk.tmp.file("missing.xltx"))));
}

TEST(TExcelTest, SheetNamesExcelRefusesLeaveTheNameAsItWas)
{
    FakeDesk desk;
    TExcel excel(xl::NewInstance, desk.Make());
    ASSERT_TRUE(excel.Open(2, QString()));
    for (const char* bad : {"", "a/b", "a\\b", "a:b", "a*b", "a?b", "[a]", "'a", "a'", "лист2",
                            "0123456789012345678901234567890x"})
        EXPECT_FALSE(excel.SetSheetName(QString::fromUtf8(bad))) << bad;
    EXPECT_EQ(excel.Worksheet()->name, QStringLiteral("Лист1"));
    EXPECT_TRUE(excel.SetSheetName(QStringLiteral("Журнал стенда")));
    EXPECT_EQ(excel.Worksheet()->name, QStringLiteral("Журнал стенда"));
    EXPECT_TRUE(excel.SetSheetName(QString(31, u'Ж')));
}

TEST(TExcelTest, SelectionsThatFailKeepThePreviousRange)
{
    FakeDesk desk;
    TExcel excel(xl::NewInstance, desk.Make());
    ASSERT_TRUE(excel.Open(1, QString()));
    ASSERT_TRUE(excel.SelectCell(5, 8));
    EXPECT_EQ(excel.CurrentRange(), (ExcelRange{5, 8, 5, 8}));
    EXPECT_FALSE(excel.SelectCell(0, 3));
    EXPECT_FALSE(excel.SelectCell(3, 0));
    EXPECT_FALSE(excel.SelectCell(1048577, 1));
    EXPECT_FALSE(excel.SelectRange(QStringLiteral("A1"), QString()));
    EXPECT_EQ(excel.CurrentRange(), (ExcelRange{5, 8, 5, 8}));
    // Either corner may come first.
    ASSERT_TRUE(excel.SelectRange(QStringLiteral("C$7"), QStringLiteral("$a2")));
    EXPECT_EQ(excel.CurrentRange(), (ExcelRange{2, 1, 7, 3}));
}

TEST(TExcelTest, RangeOperationsReachEveryCellOfTheRange)
{
    FakeDesk desk;
    TExcel excel(xl::NewInstance, desk.Make());
    ASSERT_TRUE(excel.Open(1, QString()));
    ASSERT_TRUE(excel.SelectRange(QStringLiteral("B2"), QStringLiteral("C3")));
    EXPECT_TRUE(excel.SetValue(QStringLiteral("v")));
    EXPECT_TRUE(excel.SetNumberFormat(QStringLiteral("0.00")));
    EXPECT_TRUE(excel.SetInteriorColor(0x0000FF));
    EXPECT_TRUE(excel.SetHorizontalAlignment(xl::Right));
    const ExcelSheet& ws = *excel.Worksheet();
    for (int r = 1; r <= 4; ++r)
        for (int c = 1; c <= 4; ++c) {
            const bool inside = r >= 2 && r <= 3 && c >= 2 && c <= 3;
            const ExcelCell* cell = ws.Cell(r, c);
            EXPECT_EQ(cell && cell->used, inside) << r << "," << c;
            if (inside) {
                EXPECT_EQ(cell->value, QStringLiteral("v"));
                EXPECT_EQ(excel.Workbook()->numberFormats[cell->numberFormat], QStringLiteral("0.00"));
                EXPECT_EQ(cell->fill, 0x0000FF);
                EXPECT_EQ(cell->alignment, xl::Right);
            }
        }
    // Refused calls change nothing.
    EXPECT_FALSE(excel.SetNumberFormat(QStringLiteral("*")));
    EXPECT_FALSE(excel.SetInteriorColor(-1));
    EXPECT_FALSE(excel.SetInteriorColor(0x1000000));
    EXPECT_FALSE(excel.SetHorizontalAlignment(12345));
    EXPECT_FALSE(excel.SetBorder(3, xl::Continuous));
    EXPECT_FALSE(excel.SetValue(QString(kExcelMaxText + 1, u'x')));
    EXPECT_EQ(excel.Workbook()->numberFormats[ws.Cell(2, 2)->numberFormat], QStringLiteral("0.00"));
    EXPECT_EQ(ws.Cell(2, 2)->fill, 0x0000FF);
    EXPECT_EQ(ws.Cell(2, 2)->alignment, xl::Right);
    EXPECT_EQ(ws.Cell(3, 3)->value, QStringLiteral("v"));
    EXPECT_FALSE(ws.Right(2, 2).IsSet());
}

TEST(TExcelTest, BorderAroundDrawsTheOutlineOnlyAndSharesLinesWithNeighbours)
{
    FakeDesk desk;
    TExcel excel(xl::NewInstance, desk.Make());
    ASSERT_TRUE(excel.Open(1, QString()));
    for (int r = 1; r <= 3; ++r)
        for (int c = 1; c <= 3; ++c)
            excel.WriteCell(r, c, QString(), -1, true);
    ASSERT_TRUE(excel.SelectRange(QStringLiteral("A1"), QStringLiteral("C3")));
    ASSERT_TRUE(excel.SetBorder(xl::Thick, xl::Continuous));
    const ExcelSheet& ws = *excel.Worksheet();
    const ExcelEdge thin{xl::Thin, xl::Continuous}, thick{xl::Thick, xl::Continuous};
    // Edge cells: outer lines thick, inner ones thin; the middle cell all thin.
    EXPECT_EQ(ws.Top(1, 2), thick);
    EXPECT_EQ(ws.Bottom(1, 2), thin);
    EXPECT_EQ(ws.Left(2, 1), thick);
    EXPECT_EQ(ws.Right(2, 1), thin);
    EXPECT_EQ(ws.Right(3, 3), thick);
    EXPECT_EQ(ws.Bottom(3, 3), thick);
    for (ExcelEdge e : {ws.Left(2, 2), ws.Top(2, 2), ws.Right(2, 2), ws.Bottom(2, 2)})
        EXPECT_EQ(e, thin);
    // The cells beyond hold the far lines but are not part of the sheet's content.
    ASSERT_NE(ws.Cell(4, 1), nullptr);
    EXPECT_FALSE(ws.Cell(4, 1)->used);
    EXPECT_FALSE(ws.Cell(1, 4)->used);
    // A line between two cells is one line: setting it from below changes it above.
    ASSERT_TRUE(excel.SelectCell(2, 2));
    ASSERT_TRUE(excel.SetBorder(xl::Medium, -4115));
    EXPECT_EQ(ws.Bottom(1, 2), (ExcelEdge{xl::Medium, -4115}));
    ASSERT_TRUE(excel.SetBorder(xl::Thin, xl::LineStyleNone));
    EXPECT_FALSE(ws.Right(2, 1).IsSet());
}

TEST(TExcelTest, AutoFitTakesTheLongestTextOfEachColumnInTheRange)
{
    FakeDesk desk;
    TExcel excel(xl::NewInstance, desk.Make());
    ASSERT_TRUE(excel.Open(1, QString()));
    excel.WriteCell(1, 1, QStringLiteral("№"), -1, false);
    excel.WriteCell(2, 1, QStringLiteral("100000"), -1, false);
    excel.WriteCell(1, 2, QStringLiteral("Действие"), -1, false);
    excel.WriteCell(2, 2, QStringLiteral("Программирование"), -1, false);
    excel.WriteCell(5, 2, QStringLiteral("вне диапазона, очень длинный текст"), -1, false);
    ASSERT_TRUE(excel.SelectRange(QStringLiteral("A1"), QStringLiteral("C2")));
    ASSERT_TRUE(excel.AutoFitColumns());
    const ExcelSheet& ws = *excel.Worksheet();
    EXPECT_EQ(ws.ColumnWidth(1), FitWidth(QStringLiteral("100000")));
    EXPECT_EQ(ws.ColumnWidth(2), FitWidth(QStringLiteral("Программирование")));
    EXPECT_EQ(ws.ColumnWidth(3), 0);  // nothing in it: left as it was
}

TEST(TExcelTest, CloseWithQuitDropsOrSavesAndOpensNothing)
{
    FakeDesk desk;
    const QString saved = QString::fromStdString(desk.tmp.file("saved.xlsx"));
    {
        TExcel excel(xl::NewInstance, desk.Make());
        ASSERT_TRUE(excel.Open(1, QString()));
        excel.WriteCell(1, 1, QStringLiteral("брошено"), -1, false);
        EXPECT_TRUE(excel.Close(true, QString()));
        EXPECT_FALSE(excel.IsOpen());
        EXPECT_TRUE(desk.files().isEmpty());

        ASSERT_TRUE(excel.Open(1, QString()));
        excel.WriteCell(1, 1, QStringLiteral("сохранено"), -1, false);
        desk.tmp.write("saved.xlsx", "old contents");
        EXPECT_TRUE(excel.Close(true, saved));
        EXPECT_EQ(excel.LastFile(), saved);

        ASSERT_TRUE(excel.Open(1, QString()));
        excel.WriteCell(1, 1, QStringLiteral("при разрушении"), -1, false);
    }  // destroyed while open: dropped unsaved
    EXPECT_TRUE(desk.opened.isEmpty());
    EXPECT_EQ(desk.files(), QStringList{QStringLiteral("saved.xlsx")});
    const QJsonObject sheet = FirstSheet(ReadXlsx(saved));
    EXPECT_EQ(CellOf(sheet, "A1")["value"].toString(), QStringLiteral("сохранено"));
}

TEST(TExcelTest, SavingToAFolderThatIsNotThereFailsAndSaysWhere)
{
    FakeDesk desk;
    TExcel excel(xl::NewInstance, desk.Make());
    ASSERT_TRUE(excel.Open(1, QString()));
    const QString path = QString::fromStdString(desk.tmp.file("no/such/book.xlsx"));
    EXPECT_FALSE(excel.Close(true, path));
    EXPECT_FALSE(excel.IsOpen());
    EXPECT_TRUE(excel.LastError().contains(path)) << excel.LastError().toStdString();
}

TEST(TExcelTest, HandOverWritesANewFileAndOpensIt)
{
    FakeDesk desk;
    TExcel excel(xl::NewInstance, desk.Make());
    ASSERT_TRUE(excel.Open(1, QString()));
    ASSERT_TRUE(excel.SetSheetName(QStringLiteral("Лист журнала")));
    excel.WriteCell(2, 3, QStringLiteral("красный"), 0x0000FF, true);  // 0x00BBGGRR
    excel.SelectCell(2, 3);
    excel.SetBorder(xl::Medium, -4118);
    ASSERT_TRUE(excel.Close(false, QStringLiteral("/ignored/path.xlsx")));
    EXPECT_FALSE(excel.IsOpen());
    ASSERT_EQ(desk.opened.size(), 1);
    EXPECT_EQ(desk.opened[0], excel.LastFile());
    EXPECT_TRUE(QFileInfo(excel.LastFile()).fileName().startsWith(QStringLiteral("Лист журнала ")));
    EXPECT_TRUE(excel.LastFile().endsWith(QStringLiteral(".xlsx")));
    EXPECT_EQ(desk.files().size(), 1);  // no scratch files left behind

    QString error;
    const QJsonObject book = ReadXlsx(excel.LastFile(), &error);
    ASSERT_FALSE(book.isEmpty()) << error.toStdString();
    const QJsonObject sheet = FirstSheet(book);
    EXPECT_EQ(sheet["name"].toString(), QStringLiteral("Лист журнала"));
    const QJsonObject c2 = CellOf(sheet, "C2");
    EXPECT_EQ(c2["value"].toString(), QStringLiteral("красный"));
    EXPECT_EQ(c2["fill"].toString(), QStringLiteral("FF0000"));
    EXPECT_EQ(c2["format"].toString(), QStringLiteral("@"));
    EXPECT_EQ(c2["left"].toString(), QStringLiteral("dotted"));
    EXPECT_TRUE(sheet["cells"].toObject().keys() == QStringList{QStringLiteral("C2")})
        << "nothing but the written cell";
}

TEST(TExcelTest, WorkbookFilesAreNeverOverwritten)
{
    FakeDesk desk;
    const QDateTime when(QDate(2024, 12, 11), QTime(9, 5, 7));
    const QString folder = desk.folder();
    const QString first = CreateWorkbookFile(folder, QStringLiteral("Журнал стенда"), when, nullptr);
    const QString second = CreateWorkbookFile(folder, QStringLiteral("Журнал стенда"), when, nullptr);
    const QString third = CreateWorkbookFile(folder, QStringLiteral("Журнал стенда"), when, nullptr);
    EXPECT_EQ(QFileInfo(first).fileName(), QStringLiteral("Журнал стенда 2024-12-11 09-05-07.xlsx"));
    EXPECT_EQ(QFileInfo(second).fileName(), QStringLiteral("Журнал стенда 2024-12-11 09-05-07 (2).xlsx"));
    EXPECT_EQ(QFileInfo(third).fileName(), QStringLiteral("Журнал стенда 2024-12-11 09-05-07 (3).xlsx"));
    QString error;
    EXPECT_TRUE(CreateWorkbookFile(folder + "/missing", "x", when, &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
}

}  // namespace
