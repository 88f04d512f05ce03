#pragma once
// The journal line: its seven texts, their date and time forms, the bytes of
// one line of "StendZorva.log", and the writer that appends the lines.
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <array>
#include <cstddef>
#include <string>
#include <vector>

class JournalGrid;

inline constexpr const char* kJournalFileName = "StendZorva.log";
// Lines that could not reach the journal by the time the program closed;
// the next start writes them ahead of anything new.
inline constexpr const char* kJournalPendingSuffix = ".pending";

struct JournalEntry {
    QString date;     // 1 "Дата"
    QString time;     // 2 "Время"
    QString serial;   // 3 "Номер"
    QString action;   // 4 "Действие"
    QString current;  // 5 "Ток, мкА"
    QString result;   // 6 "Результат"
    QString stand;    // 7 "Стенд"

    static constexpr int kFields = 7;
    // The texts in field order; index i goes to grid column i + 1.
    std::array<QString, kFields> Fields() const;
};

// Regional separators of the short date and time formats.
struct DateTimeSeparators {
    // Those of the Russian regional settings the stands' journals were kept with.
    QString date = QStringLiteral(".");
    QString time = QStringLiteral(":");
};
// The separators of a locale's short formats; the defaults above where a
// format has no punctuation between numbers (the C locale's "d MMM yyyy").
DateTimeSeparators SeparatorsOfLocale(const QLocale& locale);
// SeparatorsOfLocale(QLocale::system()).
DateTimeSeparators SystemDateTimeSeparators();
// The punctuation a QLocale short date / time format puts between its first
// two neighbouring numeric fields ("dd.MM.yyyy" -> ".", "h:mm AP" -> ":",
// white space around it dropped); fallback when that is no punctuation or a
// date shows its month as a name.
QString SeparatorOfFormat(const QString& format, const QString& fallback);

// "dd/mm/yyy" and "hh:nn:ss": 05.03.2017 and 14:07:09 with Russian separators.
QString JournalDateText(const QDate& date, const DateTimeSeparators& seps);
QString JournalTimeText(const QTime& time, const DateTimeSeparators& seps);

// An entry of the given clock reading and texts; the serial number text is
// the caller's (FormatSerialNumber), the numbers are plain decimals.
JournalEntry MakeJournalEntry(const QDateTime& when, const DateTimeSeparators& seps,
                              const QString& serial, const QString& action, unsigned current,
                              const QString& result, unsigned stand);

// Windows-1251 bytes of one line: each field followed by ";", then CR LF.
std::string JournalLineBytes(const JournalEntry& entry);

// Appends journal lines to one file. Each call writes every waiting line and
// the new one with a single write and syncs it to disk before it returns.
// A file that cannot be opened (locked by another program, no rights, folder
// gone) does not lose the entry: it waits in memory, in order, and is written
// ahead of the next entry or by Flush(). While lines wait they are also kept
// in the side file fileName + ".pending" (when that can be written), which the
// next writer on the same file writes first, so a close or crash keeps them.
class JournalWriter {
public:
    explicit JournalWriter(std::string fileName);  // AppDataDir + kJournalFileName in the program
    ~JournalWriter();                               // Flush()
    // A side file left by an earlier run is read here and written at once
    // when the journal can be opened.
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // True when this line and everything before it is in the journal file.
    bool Write(const JournalEntry& entry);
    // Tries the waiting lines again (the main window calls it at close).
    // True when nothing waits any more.
    bool Flush();

    int PendingCount() const { return static_cast<int>(pending_.size()); }
    const std::string& FileName() const { return fileName_; }
    std::string PendingFileName() const { return fileName_ + kJournalPendingSuffix; }

private:
    bool TryAppendPending();
    bool SavePendingFile();
    void LoadPendingFile();

    std::string fileName_;
    std::vector<std::string> pending_;  // whole lines, CR LF included, oldest first
    bool pendingFileHasLines_ = false;  // the side file exists and must go once written
};

// Status bar text while entries wait, "" when none do.
QString JournalPendingText(int count);

// The main window's journal entry: a new grid row and the file line get the
// same seven texts. Returns the grid row; the file's outcome shows in
// writer.PendingCount().
int WriteJournalEntry(JournalGrid& grid, JournalWriter& writer, const JournalEntry& entry);
