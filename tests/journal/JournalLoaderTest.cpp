#include "journal/Journal.h"
#include "journal/JournalGrid.h"
#include "journal/JournalLoader.h"
#include "support/TempDir.h"
#include "LockHolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Row = std::vector<QString>;  // columns 0 to 7

Row RowOf(const JournalGrid& grid, int row)
{
    Row r;
    for (int c = 0; c < JournalGrid::kColumns; ++c)
        r.push_back(grid.Cell(row, c));
    return r;
}

Row R(std::initializer_list<const char*> cells)
{
    Row r;
    for (const char* c : cells)
        r.push_back(QString::fromUtf8(c));
    while (r.size() < JournalGrid::kColumns)
        r.push_back(QString());
    return r;
}

std::vector<Row> DataRows(const JournalGrid& grid)
{
    std::vector<Row> rows;
    for (int row = 1; row < grid.RowCount(); ++row)
        rows.push_back(RowOf(grid, row));
    return rows;
}

void ExpectHeader(const JournalGrid& grid)
{
    EXPECT_EQ(RowOf(grid, 0), R({"№", "Дата", "Время", "Номер", "Действие", "Ток, мкА",
                                  "Результат", "Стенд"}));
}

}  // namespace

TEST(JournalLoader, FileContentsBecomeNumberedRows)
{
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<Row> rows;
    };
    const std::string longField(300, 'x');
    const Case cases[] = {
        {"three journal lines",
         "05.03.2017;14:07:09;17-00023;\xD2\xE5\xF1\xF2\xE8\xF0\xEE\xE2\xE0\xED\xE8\xE5;152;OK;3;\r\n"
         "05.03.2017;14:08:00;17-00024;\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE8\xF0\xEE\xE2\xE0\xED\xE8\xE5;0;"
         "\xCE\xF8\xE8\xE1\xEA\xE0 2;254;\r\n"
         "06.03.2017;09:00:01;17-00025;T;10;OK;3;\r\n",
         {R({"1", "05.03.2017", "14:07:09", "17-00023", "Тестирование", "152", "OK", "3"}),
          R({"2", "05.03.2017", "14:08:00", "17-00024", "Программирование", "0", "Ошибка 2", "254"}),
          R({"3", "06.03.2017", "09:00:01", "17-00025", "T", "10", "OK", "3"})}},
        {"empty file", "", {R({})}},
        {"blank line in the middle", "a;b;\r\n\r\nc;\r\n",
         {R({"1", "a", "b"}), R({"2"}), R({"3", "c"})}},
        {"last field without its ;", "d;t;s;a;1;OK;3\r\n", {R({"1", "d", "t", "s", "a", "1", "OK"})}},
        {"no ; at all", "hello\r\n", {R({"1"})}},
        {"last line without line end", "a;b;\r\nc;d;", {R({"1", "a", "b"}), R({"2", "c", "d"})}},
        {"more than seven fields", "1;2;3;4;5;6;7;8;9;\r\n", {R({"1", "1", "2", "3", "4", "5", "6", "7"})}},
        {"empty fields", ";;x;;\r\n", {R({"1", "", "", "x", ""})}},
        {"LF only", "a;b;\nc;\n", {R({"1", "a", "b"}), R({"2", "c"})}},
        {"lone CR ends the line and the field search", "a;b\rc;d;\r\n",
         {R({"1", "a"}), R({"2", "c", "d"})}},
        {"third line-end byte starts an empty line", "a;\r\r\r\nb;\r\n",
         {R({"1", "a"}), R({"2"}), R({"3", "b"})}},
        {"long line in pieces of 255", "d;t;s;" + longField + ";c;r;1;\r\n",
         {R({"1", "d", "t", "s"}),
          [] {
              Row r = R({"2", "", "c", "r", "1"});
              r[1] = QString(51, u'x');
              return r;
          }()}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        dir.write("j.log", c.bytes);
        JournalGrid grid;
        ASSERT_TRUE(LoadJournalFile(dir.file("j.log"), grid)) << c.name;
        ExpectHeader(grid);
        EXPECT_EQ(DataRows(grid), c.rows) << c.name;
    }
}

TEST(JournalLoader, EntriesWrittenAfterALoadComeBelowIt)
{
    TempDir dir;
    dir.write("j.log", "a;\r\nb;\r\nc;\r\n");
    JournalGrid grid;
    ASSERT_TRUE(LoadJournalFile(dir.file("j.log"), grid));
    JournalWriter writer(dir.file("StendZorva.log"));
    JournalEntry e;
    e.serial = QStringLiteral("17-00001");
    EXPECT_EQ(WriteJournalEntry(grid, writer, e), 4);
    EXPECT_EQ(grid.Cell(4, 0), QStringLiteral("4"));
    EXPECT_EQ(grid.Cell(4, 3), QStringLiteral("17-00001"));
}

TEST(JournalLoader, EmptyFileAfterEntriesLeavesTheFreeRowForTheNextEntry)
{
    TempDir dir;
    dir.write("empty.log", "");
    JournalGrid grid;
    grid.AppendJournalRow();
    grid.AppendJournalRow();
    ASSERT_TRUE(LoadJournalFile(dir.file("empty.log"), grid));
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(RowOf(grid, 1), R({}));
    EXPECT_EQ(grid.AppendJournalRow(), 1);
}

TEST(JournalLoader, AShorterFileLeavesNothingOfALongerOne)
{
    TempDir dir;
    std::string longer;
    for (int i = 0; i < 50; ++i)
        longer += "01.01.2020;10:00:00;20-000" + std::to_string(10 + i) + ";LONGER;999;OK;9;\r\n";
    dir.write("long.log", longer);
    dir.write("short.log", "x;\r\n");
    JournalGrid grid;
    ASSERT_TRUE(LoadJournalFile(dir.file("long.log"), grid));
    EXPECT_EQ(grid.RowCount(), 51);
    ASSERT_TRUE(LoadJournalFile(dir.file("short.log"), grid));
    ExpectHeader(grid);
    EXPECT_EQ(DataRows(grid), std::vector<Row>{R({"1", "x"})});
}

TEST(JournalLoader, AFileThatCannotBeOpenedLeavesTheGridAlone)
{
    TempDir dir;
    dir.write("held.log", "new;\r\n");
    JournalGrid grid;
    const int row = grid.AppendJournalRow();
    grid.SetCell(row, 3, QStringLiteral("17-00001"));
    const std::vector<Row> before = DataRows(grid);

    EXPECT_FALSE(LoadJournalFile(dir.file("missing.log"), grid));
    EXPECT_EQ(DataRows(grid), before);
    EXPECT_FALSE(LoadJournalFile(dir.path(), grid));  // a folder, not a file
    EXPECT_EQ(DataRows(grid), before);
    EXPECT_FALSE(LoadJournalFile("/dev/zero", grid));  // would never end
    EXPECT_EQ(DataRows(grid), before);

    LockHolder other(dir.file("held.log"));
    ASSERT_TRUE(other.Locked());
    EXPECT_FALSE(LoadJournalFile(dir.file("held.log"), grid));
    EXPECT_EQ(DataRows(grid), before);
    other.Release();
    EXPECT_TRUE(LoadJournalFile(dir.file("held.log"), grid));
    EXPECT_EQ(DataRows(grid), std::vector<Row>{R({"1", "new"})});
}

TEST(JournalLoader, ReadsBackWhatTheWriterWrote)
{
    TempDir dir;
    JournalGrid written;
    {
        JournalWriter writer(dir.file("StendZorva.log"));
        const DateTimeSeparators seps{QStringLiteral("."), QStringLiteral(":")};
        for (int i = 0; i < 20; ++i)
            WriteJournalEntry(written, writer,
                              MakeJournalEntry(QDateTime(QDate(2017, 3, 5), QTime(14, 7, i)), seps,
                                               QStringLiteral("17-%1").arg(i, 5, 10, QLatin1Char('0')),
                                               i % 2 ? QStringLiteral("Тестирование")
                                                     : QStringLiteral("Повтор програм."),
                                               150u + i, QStringLiteral("OK"), 3u));
    }
    JournalGrid loaded;
    ASSERT_TRUE(LoadJournalFile(dir.file("StendZorva.log"), loaded));
    EXPECT_EQ(DataRows(loaded), DataRows(written));
}
