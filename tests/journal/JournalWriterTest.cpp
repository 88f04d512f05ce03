#include "journal/Journal.h"
#include "journal/JournalGrid.h"
#include "service/SerialNumber.h"
#include "support/TempDir.h"
#include "LockHolder.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <csignal>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// Counts the system writes that reach one watched file, to see how a line
// is put down. Everything else passes straight through.
namespace {
dev_t g_watchDev = 0;
ino_t g_watchIno = 0;
int g_watchedWrites = 0;
}  // namespace

extern "C" ssize_t write(int fd, const void* buf, size_t count)
{
    using WriteFn = ssize_t (*)(int, const void*, size_t);
    static WriteFn real = reinterpret_cast<WriteFn>(dlsym(RTLD_NEXT, "write"));
    if (g_watchIno != 0) {
        struct stat st {};
        if (fstat(fd, &st) == 0 && st.st_ino == g_watchIno && st.st_dev == g_watchDev)
            ++g_watchedWrites;
    }
    return real(fd, buf, count);
}

namespace {

const DateTimeSeparators kRussian{QStringLiteral("."), QStringLiteral(":")};

JournalEntry Entry(const QString& serial, const QString& action = QStringLiteral("Тестирование"),
                   const QString& result = QStringLiteral("OK"))
{
    return MakeJournalEntry(QDateTime(QDate(2017, 3, 5), QTime(14, 7, 9)), kRussian, serial, action,
                            152, result, 3);
}

std::string Line(const JournalEntry& e)
{
    return JournalLineBytes(e);
}

int CountCrLf(const std::string& s)
{
    int n = 0;
    for (size_t i = 0; i + 1 < s.size(); ++i)
        if (s[i] == '\r' && s[i + 1] == '\n')
            ++n;
    return n;
}

bool IsPunctuation(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (!c.isPunct() && !c.isSymbol())
            return false;
    return true;
}

}  // namespace

// ---- texts of an entry ------------------------------------------------------

TEST(JournalTexts, DateAndTimeFollowTheRegionalSeparators)
{
    struct Case {
        DateTimeSeparators seps;
        QDateTime when;
        const char* date;
        const char* time;
    };
    const Case cases[] = {
        {kRussian, QDateTime(QDate(2017, 3, 5), QTime(14, 7, 9)), "05.03.2017", "14:07:09"},
        {{"/", ":"}, QDateTime(QDate(2017, 3, 5), QTime(14, 7, 9)), "05/03/2017", "14:07:09"},
        {{"-", "."}, QDateTime(QDate(1999, 12, 31), QTime(0, 0, 0)), "31-12-1999", "00.00.00"},
        {kRussian, QDateTime(QDate(2024, 1, 9), QTime(23, 59, 59)), "09.01.2024", "23:59:59"},
        {kRussian, QDateTime(QDate(987, 6, 7), QTime(8, 5, 3)), "07.06.0987", "08:05:03"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JournalDateText(c.when.date(), c.seps), QString::fromUtf8(c.date));
        EXPECT_EQ(JournalTimeText(c.when.time(), c.seps), QString::fromUtf8(c.time));
    }
}

TEST(JournalTexts, SeparatorOfALocaleFormat)
{
    struct Case {
        const char* format;
        const char* sep;  // "#" is the fallback given
    };
    const Case cases[] = {
        {"dd.MM.yyyy", "."},
        {"M/d/yy", "/"},
        {"yyyy-MM-dd", "-"},
        {"dd.MM.yy", "."},
        {"HH:mm:ss", ":"},
        {"h:mm AP", ":"},
        {"H.mm", "."},
        {"AP h:mm", ":"},         // a marker first: the separator of the numbers
        {"d. M. yyyy", "."},      // white space around the punctuation dropped
        {"yyyy. MM. dd.", "."},
        {"yyyy", "#"},
        {"", "#"},
        {"d MMM yyyy", "#"},      // the C locale: month by name, space between
        {"dd MM yyyy", "#"},      // white space alone
        {"MMM d, yyyy", "#"},     // no month in digits, whatever stands between the others
        {"dd-MMM-yy", "#"},
        {"dddd, d.M.yyyy", "."},  // a day name first: the separator of the numbers
        {"d 'de' MMMM", "#"},
        {"dd'x'MM'x'yy", "#"},    // a quoted letter is a letter
        {"dd'/'MM'/'yy", "/"},    // quoted punctuation is punctuation
        {"yyyy年M月d日", "#"},     // 年 and 月 are letters
        {"HH 'h' mm", "#"},
        {"HHmmss", "#"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SeparatorOfFormat(QString::fromUtf8(c.format), QStringLiteral("#")), QString::fromUtf8(c.sep))
            << c.format;
    }
    // Real locale formats: Russian gives the journal's 05.03.2017 and 14:07:09;
    // the C (POSIX) locale of a bare machine shows no numeric date and falls
    // back to the Russian separators.
    const struct {
        QLocale locale;
        const char* date;
        const char* time;
        const char* sample;  // 11 December 2026, 09:05:03
    } locales[] = {
        {QLocale(QLocale::Russian, QLocale::Russia), ".", ":", "11.12.2026 09:05:03"},
        {QLocale(QLocale::English, QLocale::UnitedStates), "/", ":", "11/12/2026 09:05:03"},
        {QLocale(QLocale::German, QLocale::Germany), ".", ":", "11.12.2026 09:05:03"},
        {QLocale(QLocale::Swedish, QLocale::Sweden), "-", ":", "11-12-2026 09:05:03"},  // yyyy-MM-dd
        {QLocale::c(), ".", ":", "11.12.2026 09:05:03"},
        {QLocale(QStringLiteral("POSIX")), ".", ":", "11.12.2026 09:05:03"},
    };
    for (const auto& l : locales) {
        const DateTimeSeparators seps = SeparatorsOfLocale(l.locale);
        EXPECT_EQ(seps.date, QString::fromUtf8(l.date)) << l.locale.name().toStdString();
        EXPECT_EQ(seps.time, QString::fromUtf8(l.time)) << l.locale.name().toStdString();
        EXPECT_EQ(JournalDateText(QDate(2026, 12, 11), seps) + u' ' + JournalTimeText(QTime(9, 5, 3), seps),
                  QString::fromUtf8(l.sample))
            << l.locale.name().toStdString();
    }
    const DateTimeSeparators system = SystemDateTimeSeparators();
    EXPECT_TRUE(IsPunctuation(system.date)) << system.date.toStdString();
    EXPECT_TRUE(IsPunctuation(system.time)) << system.time.toStdString();
}

TEST(JournalTexts, EntryFieldsAndLineBytes)
{
    struct Case {
        uint8_t year;
        uint16_t number;
        const char* action;
        unsigned current;
        const char* result;
        unsigned stand;
        std::string line;  // Windows-1251 bytes, written out by hand
    };
    const std::string date = "05.03.2017;14:07:09;";
    const Case cases[] = {
        {17, 23, "Тестирование", 152, "OK", 3,
         date + "17-00023;\xD2\xE5\xF1\xF2\xE8\xF0\xEE\xE2\xE0\xED\xE8\xE5;152;OK;3;\r\n"},
        {5, 7, "Программирование", 0, "Ошибка 2", 254,
         date +
             "05-00007;\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE8\xF0\xEE\xE2\xE0\xED\xE8\xE5;0;"
             "\xCE\xF8\xE8\xE1\xEA\xE0 2;254;\r\n"},
        {99, 65535, "Повтор програм.", 65535, "OK", 0,
         date + "99-65535;\xCF\xEE\xE2\xF2\xEE\xF0 \xEF\xF0\xEE\xE3\xF0\xE0\xEC.;65535;OK;0;\r\n"},
        {1, 1, "", 1, "", 1, date + "01-00001;;1;;1;\r\n"},
    };
    for (const Case& c : cases) {
        const JournalEntry e = MakeJournalEntry(QDateTime(QDate(2017, 3, 5), QTime(14, 7, 9)),
                                                kRussian, FormatSerialNumber(c.year, c.number),
                                                QString::fromUtf8(c.action), c.current,
                                                QString::fromUtf8(c.result), c.stand);
        EXPECT_EQ(e.serial, FormatSerialNumber(c.year, c.number));
        EXPECT_EQ(e.current, QString::number(c.current));
        EXPECT_EQ(e.stand, QString::number(c.stand));
        EXPECT_EQ(JournalLineBytes(e), c.line) << c.action;
    }
}

TEST(JournalTexts, PendingWarningCountsAndFitsTheStatusBar)
{
    EXPECT_TRUE(JournalPendingText(0).isEmpty());
    EXPECT_EQ(JournalPendingText(1), QStringLiteral("Журнал занят: 1 запись ждёт"));
    EXPECT_EQ(JournalPendingText(3), QStringLiteral("Журнал занят: 3 записи ждут"));
    EXPECT_EQ(JournalPendingText(11), QStringLiteral("Журнал занят: 11 записей ждут"));
    EXPECT_EQ(JournalPendingText(22), QStringLiteral("Журнал занят: 22 записи ждут"));
    EXPECT_EQ(JournalPendingText(105), QStringLiteral("Журнал занят: 105 записей ждут"));
    EXPECT_LE(JournalPendingText(1234567).size(), 60);
}

// ---- the writer --------------------------------------------------------------

TEST(JournalWriter, CreatesAMissingFileAndAppendsToAnExistingOne)
{
    TempDir dir;
    {
        JournalWriter writer(dir.file("StendZorva.log"));
        EXPECT_TRUE(writer.Write(Entry("17-00001")));
        EXPECT_EQ(dir.read("StendZorva.log"), Line(Entry("17-00001")));
    }
    const std::string earlier = "old line;\r\n";
    dir.write("StendZorva.log", earlier);
    JournalWriter writer(dir.file("StendZorva.log"));
    std::string expected = earlier;
    for (int i = 0; i < 5; ++i) {
        const JournalEntry e = Entry(FormatSerialNumber(17, i));
        EXPECT_TRUE(writer.Write(e));
        expected += Line(e);
        EXPECT_EQ(dir.read("StendZorva.log"), expected);  // on disk before Write returns
    }
    EXPECT_EQ(CountCrLf(dir.read("StendZorva.log")), 6);
    EXPECT_EQ(writer.PendingCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("StendZorva.log.pending")));
}

TEST(JournalWriter, EachLineIsOneSystemWrite)
{
    TempDir dir;
    dir.write("StendZorva.log", "");
    struct stat st {};
    ASSERT_EQ(stat(dir.file("StendZorva.log").c_str(), &st), 0);
    JournalWriter writer(dir.file("StendZorva.log"));
    g_watchDev = st.st_dev;
    g_watchIno = st.st_ino;
    g_watchedWrites = 0;
    writer.Write(Entry("17-00001", QStringLiteral("Программирование"), QStringLiteral("Ошибка 5")));
    const int first = g_watchedWrites;
    writer.Write(Entry("17-00002"));
    const int second = g_watchedWrites - first;
    g_watchIno = 0;
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(CountCrLf(dir.read("StendZorva.log")), 2);
}

TEST(JournalWriter, LockedFileKeepsEntriesWaitingUntilItIsFree)
{
    TempDir dir;
    const std::string log = dir.file("StendZorva.log");
    JournalWriter writer(log);
    const JournalEntry a = Entry("17-00001"), b = Entry("17-00002"), c = Entry("17-00003");

    LockHolder other(log);
    ASSERT_TRUE(other.Locked());
    EXPECT_FALSE(writer.Write(a));
    EXPECT_FALSE(writer.Write(b));
    EXPECT_EQ(writer.PendingCount(), 2);
    EXPECT_EQ(JournalPendingText(writer.PendingCount()), QStringLiteral("Журнал занят: 2 записи ждут"));
    EXPECT_EQ(dir.read("StendZorva.log"), "");
    // Kept on disk while they wait, so a crash does not take them.
    EXPECT_EQ(dir.read("StendZorva.log.pending"), Line(a) + Line(b));
    EXPECT_FALSE(writer.Flush());

    other.Release();
    EXPECT_TRUE(writer.Write(c));
    EXPECT_EQ(writer.PendingCount(), 0);
    EXPECT_TRUE(JournalPendingText(writer.PendingCount()).isEmpty());
    EXPECT_EQ(dir.read("StendZorva.log"), Line(a) + Line(b) + Line(c));
    EXPECT_FALSE(std::filesystem::exists(dir.file("StendZorva.log.pending")));
}

TEST(JournalWriter, FlushWritesWaitingEntriesOnceTheLockIsGone)
{
    TempDir dir;
    const std::string log = dir.file("StendZorva.log");
    dir.write("StendZorva.log", "earlier;\r\n");
    JournalWriter writer(log);
    {
        LockHolder other(log);
        ASSERT_TRUE(other.Locked());
        writer.Write(Entry("17-00001"));
    }
    EXPECT_EQ(writer.PendingCount(), 1);
    EXPECT_TRUE(writer.Flush());
    EXPECT_EQ(writer.PendingCount(), 0);
    EXPECT_EQ(dir.read("StendZorva.log"), "earlier;\r\n" + Line(Entry("17-00001")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("StendZorva.log.pending")));
}

TEST(JournalWriter, WaitingEntriesSurviveCloseAndRestart)
{
    TempDir dir;
    const std::string log = dir.file("StendZorva.log");
    const JournalEntry a = Entry("17-00001"), b = Entry("17-00002"), c = Entry("17-00003");
    const JournalEntry d = Entry("17-00004");

    LockHolder other(log);
    ASSERT_TRUE(other.Locked());
    {
        JournalWriter first(log);
        first.Write(a);
        first.Write(b);
        EXPECT_FALSE(first.Flush());  // the main window's close, journal still held
    }
    {
        // A start while the journal is still held: the waiting lines are known.
        JournalWriter second(log);
        EXPECT_EQ(second.PendingCount(), 2);
        EXPECT_FALSE(second.Write(c));
        EXPECT_EQ(second.PendingCount(), 3);
    }
    EXPECT_EQ(dir.read("StendZorva.log"), "");
    other.Release();

    JournalWriter third(log);  // writes what waits as soon as it can
    EXPECT_EQ(third.PendingCount(), 0);
    EXPECT_EQ(dir.read("StendZorva.log"), Line(a) + Line(b) + Line(c));
    EXPECT_TRUE(third.Write(d));
    EXPECT_EQ(dir.read("StendZorva.log"), Line(a) + Line(b) + Line(c) + Line(d));
    EXPECT_FALSE(std::filesystem::exists(dir.file("StendZorva.log.pending")));
}

TEST(JournalWriter, MissingFolderKeepsEntriesInMemoryUntilItComesBack)
{
    TempDir dir;
    const std::string folder = dir.file("data");
    const std::string log = folder + "/StendZorva.log";
    JournalWriter writer(log);
    const JournalEntry a = Entry("17-00001"), b = Entry("17-00002");
    EXPECT_FALSE(writer.Write(a));
    EXPECT_EQ(writer.PendingCount(), 1);
    std::filesystem::create_directory(folder);
    EXPECT_TRUE(writer.Write(b));
    EXPECT_EQ(dir.read("data/StendZorva.log"), Line(a) + Line(b));
}

TEST(JournalWriter, AWriteCutShortLeavesNoHalfLine)
{
    TempDir dir;
    const std::string log = dir.file("StendZorva.log");
    const std::string earlier = "earlier;\r\n";
    dir.write("StendZorva.log", earlier);
    JournalWriter writer(log);

    // A file size limit a few bytes past the end makes the system write only
    // part of the line, as a full disk would.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit tight = saved;
    tight.rlim_cur = earlier.size() + 10;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    const bool written = writer.Write(Entry("17-00001"));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(writer.PendingCount(), 1);
    EXPECT_EQ(dir.read("StendZorva.log"), earlier);
    EXPECT_TRUE(writer.Write(Entry("17-00002")));
    EXPECT_EQ(dir.read("StendZorva.log"), earlier + Line(Entry("17-00001")) + Line(Entry("17-00002")));
}

TEST(JournalWriter, GridRowAndFileLineGetTheSameTexts)
{
    TempDir dir;
    JournalGrid grid;
    JournalWriter writer(dir.file("StendZorva.log"));
    const JournalEntry a = Entry("17-00001");
    const JournalEntry b = Entry("05-00007", QStringLiteral("Программирование"), QStringLiteral("Ошибка 2"));
    EXPECT_EQ(WriteJournalEntry(grid, writer, a), 1);
    EXPECT_EQ(WriteJournalEntry(grid, writer, b), 2);
    ASSERT_EQ(grid.RowCount(), 3);
    for (int row = 1; row <= 2; ++row) {
        const auto fields = (row == 1 ? a : b).Fields();
        EXPECT_EQ(grid.Cell(row, 0), QString::number(row));
        for (int i = 0; i < JournalEntry::kFields; ++i)
            EXPECT_EQ(grid.Cell(row, i + 1), fields[i]);
    }
    EXPECT_EQ(dir.read("StendZorva.log"), Line(a) + Line(b));

    // A locked file still shows the entry in the grid.
    LockHolder other(dir.file("StendZorva.log"));
    ASSERT_TRUE(other.Locked());
    EXPECT_EQ(WriteJournalEntry(grid, writer, a), 3);
    EXPECT_EQ(grid.Cell(3, 3), a.serial);
    EXPECT_EQ(writer.PendingCount(), 1);
}
