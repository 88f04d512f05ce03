#include "journal/Journal.h"

#include "journal/JournalGrid.h"
#include "platform/Text.h"
#include "store/AppendFile.h"

#include <QFile>
#include <QLocale>
#include <QSaveFile>

#include <cstdio>
#include <vector>

std::array<QString, JournalEntry::kFields> JournalEntry::Fields() const
{
    return {date, time, serial, action, current, result, stand};
}

namespace {

struct FormatField {
    QChar letter;
    int count = 0;
    bool Numeric() const
    {
        // Day and month names ("ddd", "MMM") and the AM/PM marker are words.
        switch (letter.unicode()) {
        case u'd':
        case u'M': return count <= 2;
        case u'y':
        case u'h':
        case u'H':
        case u'm':
        case u's':
        case u'z': return true;
        default: return false;
        }
    }
};

// A QLocale format as fields and the literal text before each of them
// (quotes taken off, '' read as one quote); literal text after the last
// field is of no use here and dropped.
struct FormatPiece {
    QString before;
    FormatField field;
};

std::vector<FormatPiece> SplitFormat(const QString& format)
{
    std::vector<FormatPiece> pieces;
    QString literal;
    bool quoted = false;
    for (int i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == u'\'') {
            if (i + 1 < format.size() && format[i + 1] == u'\'') {
                literal += c;
                i += 2;
            } else {
                quoted = !quoted;
                ++i;
            }
            continue;
        }
        // Only Latin letters name fields; other letters (年, 月) are text.
        const bool fieldLetter = !quoted && c.unicode() < 128 && c.isLetter();
        if (!fieldLetter) {
            literal += c;
            ++i;
            continue;
        }
        FormatPiece piece{literal, {c, 0}};
        while (i < format.size() && format[i] == c) {
            ++piece.field.count;
            ++i;
        }
        pieces.push_back(piece);
        literal.clear();
    }
    return pieces;
}

bool IsSeparatorText(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (!c.isPunct() && !c.isSymbol())
            return false;
    return true;
}

}  // namespace

QString SeparatorOfFormat(const QString& format, const QString& fallback)
{
    const std::vector<FormatPiece> pieces = SplitFormat(format);
    // A date needs a month in digits: "d MMM yyyy" has no separator of numbers.
    bool date = false;
    bool numericMonth = false;
    for (const FormatPiece& p : pieces) {
        const char16_t l = p.field.letter.unicode();
        date = date || l == u'd' || l == u'M' || l == u'y';
        numericMonth = numericMonth || (l == u'M' && p.field.Numeric());
    }
    if (date && !numericMonth)
        return fallback;
    // The text between the first two neighbouring numeric fields, as Windows
    // keeps it as the one regional separator; "d. M. yyyy" gives ".".
    for (size_t i = 1; i < pieces.size(); ++i) {
        if (!pieces[i - 1].field.Numeric() || !pieces[i].field.Numeric())
            continue;
        const QString sep = pieces[i].before.trimmed();
        return IsSeparatorText(sep) ? sep : fallback;
    }
    return fallback;
}

DateTimeSeparators SeparatorsOfLocale(const QLocale& locale)
{
    DateTimeSeparators seps;
    seps.date = SeparatorOfFormat(locale.dateFormat(QLocale::ShortFormat), seps.date);
    seps.time = SeparatorOfFormat(locale.timeFormat(QLocale::ShortFormat), seps.time);
    return seps;
}

DateTimeSeparators SystemDateTimeSeparators()
{
    return SeparatorsOfLocale(QLocale::system());
}

namespace {

QString Digits(int value, int width)
{
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

}  // namespace

QString JournalDateText(const QDate& date, const DateTimeSeparators& seps)
{
    return Digits(date.day(), 2) + seps.date + Digits(date.month(), 2) + seps.date +
           Digits(date.year(), 4);
}

QString JournalTimeText(const QTime& time, const DateTimeSeparators& seps)
{
    return Digits(time.hour(), 2) + seps.time + Digits(time.minute(), 2) + seps.time +
           Digits(time.second(), 2);
}

JournalEntry MakeJournalEntry(const QDateTime& when, const DateTimeSeparators& seps,
                              const QString& serial, const QString& action, unsigned current,
                              const QString& result, unsigned stand)
{
    JournalEntry e;
    e.date = JournalDateText(when.date(), seps);
    e.time = JournalTimeText(when.time(), seps);
    e.serial = serial;
    e.action = action;
    e.current = QString::number(current);
    e.result = result;
    e.stand = QString::number(stand);
    return e;
}

std::string JournalLineBytes(const JournalEntry& entry)
{
    QString line;
    for (const QString& field : entry.Fields()) {
        line += field;
        line += u';';
    }
    std::string bytes = ToCp1251(line);
    bytes += "\r\n";
    return bytes;
}

JournalWriter::JournalWriter(std::string fileName)
    : fileName_(std::move(fileName))
{
    LoadPendingFile();
    if (!pending_.empty())
        TryAppendPending();
}

JournalWriter::~JournalWriter()
{
    Flush();
}

bool JournalWriter::Write(const JournalEntry& entry)
{
    pending_.push_back(JournalLineBytes(entry));
    return TryAppendPending();
}

bool JournalWriter::Flush()
{
    return pending_.empty() || TryAppendPending();
}

bool JournalWriter::TryAppendPending()
{
    std::string block;
    for (const std::string& line : pending_)
        block += line;

    bool written = false;
    {
        TAppendFile file(fileName_);
        if (file.IsOpen()) {
            written = file.Write(block.data(), static_cast<uint32_t>(block.size())) && file.Sync();
            if (!written && file.BytesWritten > 0) {
                // Take back a partial block, so no half line stays behind
                // and the retry does not write a line twice.
                file.Seek(-static_cast<int32_t>(file.BytesWritten), TFileOrigin::Current);
                file.Truncate();
                file.Sync();
            }
        }
    }
    if (!written) {
        SavePendingFile();
        return false;
    }
    pending_.clear();
    if (pendingFileHasLines_) {
        const QString side = QFile::decodeName(QByteArray::fromStdString(PendingFileName()));
        // A side file that cannot go would bring its lines back twice at the
        // next start; emptying it in place keeps them out.
        if (!QFile::remove(side)) {
            QFile f(side);
            if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
                f.close();
        }
        pendingFileHasLines_ = false;
    }
    return true;
}

bool JournalWriter::SavePendingFile()
{
    std::string block;
    for (const std::string& line : pending_)
        block += line;
    QSaveFile file(QFile::decodeName(QByteArray::fromStdString(PendingFileName())));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(block.data(), static_cast<qint64>(block.size())) !=
            static_cast<qint64>(block.size()) ||
        !file.commit())
        return false;
    pendingFileHasLines_ = true;
    return true;
}

void JournalWriter::LoadPendingFile()
{
    QFile file(QFile::decodeName(QByteArray::fromStdString(PendingFileName())));
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray all = file.readAll();
    file.close();
    pendingFileHasLines_ = !all.isEmpty();
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = all.indexOf("\r\n", start);
        std::string line;
        if (end < 0) {
            // A tail without its line end still is an entry; it gets one.
            line.assign(all.constData() + start, static_cast<size_t>(all.size() - start));
            line += "\r\n";
            start = all.size();
        } else {
            line.assign(all.constData() + start, static_cast<size_t>(end + 2 - start));
            start = end + 2;
        }
        pending_.push_back(std::move(line));
    }
}

QString JournalPendingText(int count)
{
    if (count <= 0)
        return {};
    const int tens = count % 100;
    const int ones = count % 10;
    if (tens / 10 != 1 && ones == 1)
        return QStringLiteral("Журнал занят: %1 запись ждёт").arg(count);
    if (tens / 10 != 1 && ones >= 2 && ones <= 4)
        return QStringLiteral("Журнал занят: %1 записи ждут").arg(count);
    return QStringLiteral("Журнал занят: %1 записей ждут").arg(count);
}

int WriteJournalEntry(JournalGrid& grid, JournalWriter& writer, const JournalEntry& entry)
{
    const int row = grid.AppendJournalRow();
    const auto fields = entry.Fields();
    for (int i = 0; i < JournalEntry::kFields; ++i)
        grid.SetCell(row, i + 1, fields[i]);
    writer.Write(entry);
    return row;
}
