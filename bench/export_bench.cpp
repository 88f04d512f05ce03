// The journal export against LibreOffice Calc turning the same journal file
// into a workbook, both from the journal file on disk to an .xlsx file, each
// in a child process so that wall time and peak memory are its own.
//
//   export_bench [compare] [ENTRIES]      the comparison (default 100000 entries)
//   export_bench sample DIR               a small sample journal exported into DIR; prints the file
//   export_bench journal ENTRIES FILE     writes a journal file of that many entries
//   export_bench export FILE DIR          loads a journal file and exports it into DIR; prints the file
#include "journal/Excel.h"
#include "journal/JournalGrid.h"
#include "platform/Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kGoal = 3.0;  // at least this many times faster than Calc

QString Field(int i, int f)
{
    switch (f) {
    case 0: return QStringLiteral("%1.12.2024").arg(1 + i / 4000 % 28, 2, 10, QChar(u'0'));
    case 1: return QStringLiteral("%1:%2:%3").arg(i / 3600 % 24, 2, 10, QChar(u'0')).arg(i / 60 % 60, 2, 10, QChar(u'0')).arg(i % 60, 2, 10, QChar(u'0'));
    case 2: return QStringLiteral("24-%1").arg(i % 65536, 5, 10, QChar(u'0'));
    case 3: return i % 3 ? QStringLiteral("Тестирование") : QStringLiteral("Программирование");
    case 4: return QString::number(1100 + i % 400);
    case 5: return i % 11 ? QStringLiteral("OK") : QStringLiteral("Ошибка");
    default: return QStringLiteral("3");
    }
}

bool WriteJournal(int entries, const QString& path)
{
    std::ofstream out(QFile::encodeName(path).constData(), std::ios::binary);
    std::string line;
    for (int i = 0; i < entries && out; ++i) {
        QString text;
        for (int f = 0; f < 7; ++f)
            text += Field(i, f) + u';';
        line = ToCp1251(text);
        line += "\r\n";
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
    }
    return static_cast<bool>(out);
}

// The journal window's reading of a journal file, as far as the bench needs it.
bool LoadJournal(const QString& path, JournalGrid& grid)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = in.readAll();
    const QString text = FromCp1251(std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
    for (QStringView line : QStringView(text).split(u'\n', Qt::SkipEmptyParts)) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        const int row = grid.AppendJournalRow();
        qsizetype start = 0;
        for (int c = 1; c < 8; ++c) {
            const qsizetype semi = line.indexOf(u';', start);
            if (semi < 0)
                break;
            grid.SetCell(row, c, line.mid(start, semi - start).toString());
            start = semi + 1;
        }
    }
    return true;
}

// Exports with a desktop that opens nothing: the file is the result.
bool Export(const JournalGrid& grid, const QString& dir, QString* file)
{
    ExcelDesk desk;
    desk.tempDir = dir;
    desk.open = [file](const QString& f) {
        *file = f;
        return true;
    };
    desk.report = [](const QString& caption, const QString& text) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
    };
    return ExportGridToExcel(nullptr, grid, QStringLiteral("Журнал стенда"), desk);
}

struct Run {
    bool ok = false;
    double seconds = 0;     // wall
    double cpuSeconds = 0;  // user + system, less swayed by a busy machine
    long peakKiB = 0;
};

// Runs a program to its end; wall time and the peak memory of it and of the
// processes it waited for.
Run Measure(const std::vector<std::string>& argv, bool quiet)
{
    Run run;
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0)
        return run;
    if (pid == 0) {
        if (quiet) {
            std::FILE* null = std::fopen("/dev/null", "w");
            if (null) {
                dup2(fileno(null), 1);
                dup2(fileno(null), 2);
            }
        }
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakKiB = usage.ru_maxrss;
    run.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec
                     + usage.ru_stime.tv_usec / 1e6;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

std::string Self()
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget().toStdString();
}

int Compare(int entries)
{
    QTemporaryDir tmp;
    if (!tmp.isValid())
        return 2;
    const QString journal = tmp.filePath(QStringLiteral("StendZorva.log"));
    if (!WriteJournal(entries, journal)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(journal));
        return 2;
    }
    QDir(tmp.path()).mkdir(QStringLiteral("ours"));
    QDir(tmp.path()).mkdir(QStringLiteral("calc"));
    const std::string ours = tmp.filePath(QStringLiteral("ours")).toStdString();
    const std::string calc = tmp.filePath(QStringLiteral("calc")).toStdString();
    const std::string profile = "-env:UserInstallation=file://" + tmp.filePath(QStringLiteral("profile")).toStdString();
    const std::vector<std::string> soffice = {"soffice", profile, "--headless", "--norestore",
                                              "--infilter=Text - txt - csv (StarCalc):59,34,34", "--convert-to", "xlsx",
                                              "--outdir", calc};

    // Calc's first start builds its profile: not part of a conversion.
    const QString warm = tmp.filePath(QStringLiteral("warm.log"));
    WriteJournal(3, warm);
    auto warmArgs = soffice;
    warmArgs.push_back(warm.toStdString());
    if (!Measure(warmArgs, true).ok) {
        std::fprintf(stderr, "soffice is not there or failed (install libreoffice-calc)\n");
        return 2;
    }

    std::printf("journal: %d entries, %lld bytes\n", entries, static_cast<long long>(QFileInfo(journal).size()));
    const Run our = Measure({Self(), "export", journal.toStdString(), ours}, false);
    auto calcArgs = soffice;
    calcArgs.push_back(journal.toStdString());
    const Run peer = Measure(calcArgs, true);
    const bool calcWrote = QFileInfo::exists(tmp.filePath(QStringLiteral("calc/StendZorva.xlsx")));
    if (!our.ok || !peer.ok || !calcWrote) {
        std::fprintf(stderr, "a run failed: export %d, calc %d, calc file %d\n", our.ok, peer.ok, calcWrote);
        return 2;
    }
    const double ratio = peer.seconds / our.seconds;
    std::printf("export:        %8.3f s wall  %8.3f s cpu  peak %8ld KiB\n", our.seconds, our.cpuSeconds, our.peakKiB);
    std::printf("calc (peer):   %8.3f s wall  %8.3f s cpu  peak %8ld KiB\n", peer.seconds, peer.cpuSeconds,
                peer.peakKiB);
    std::printf("time ratio calc/export: %.2f (goal >= %.1f) %s\n", ratio, kGoal, ratio >= kGoal ? "PASS" : "FAIL");
    std::printf("cpu ratio calc/export: %.2f\n", peer.cpuSeconds / our.cpuSeconds);
    std::printf("memory ratio calc/export: %.2f\n", static_cast<double>(peer.peakKiB) / our.peakKiB);
    return ratio >= kGoal ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const QStringList args = [&] {
        QStringList list;
        for (int i = 1; i < argc; ++i)
            list << QString::fromLocal8Bit(argv[i]);
        return list;
    }();
    const QString mode = args.value(0, QStringLiteral("compare"));

    if (mode == QStringLiteral("journal") && args.size() == 3)
        return WriteJournal(args[1].toInt(), args[2]) ? 0 : 1;

    if (mode == QStringLiteral("export") && args.size() == 3) {
        JournalGrid grid;
        if (!LoadJournal(args[1], grid))
            return 1;
        const auto start = std::chrono::steady_clock::now();
        QString file;
        if (!Export(grid, args[2], &file))
            return 1;
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("export of %d grid rows: %.3f s (without loading the journal) -> %s\n", grid.RowCount(), s,
                    qPrintable(file));
        return 0;
    }

    if (mode == QStringLiteral("sample") && args.size() >= 2) {
        JournalGrid grid;
        const int entries = args.value(2, QStringLiteral("12")).toInt();
        for (int i = 0; i < entries; ++i) {
            const int row = grid.AppendJournalRow();
            for (int f = 0; f < 7; ++f)
                grid.SetCell(row, f + 1, Field(i * 997, f));
        }
        // What a loaded file may hold: a formula-looking text and a long one.
        const int row = grid.AppendJournalRow();
        grid.SetCell(row, 4, QStringLiteral("=1+1"));
        grid.SetCell(row, 6, QStringLiteral("Ошибка: нет связи с платой"));
        QString file;
        if (!Export(grid, args[1], &file))
            return 1;
        std::printf("%s\n", qPrintable(file));
        return 0;
    }

    bool ok = true;
    const int entries = mode == QStringLiteral("compare") ? args.value(1, QStringLiteral("100000")).toInt(&ok)
                                                          : mode.toInt(&ok);
    if (!ok || entries < 0) {
        std::fprintf(stderr, "usage: export_bench [compare] [ENTRIES] | sample DIR [N] | journal N FILE | export FILE DIR\n");
        return 2;
    }
    return Compare(entries);
}
