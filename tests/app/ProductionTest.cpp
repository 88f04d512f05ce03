// The operator's workflow end to end over a pseudo-terminal: the simulator's
// production scenario, the poll, the journal file and grid, automatic labels.
#include "app/AppFixture.h"
#include "journal/JournalGrid.h"
#include "journal/Ulogform.h"
#include "platform/Text.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

namespace {

std::vector<std::string> Lines(const std::string& bytes, const std::string& sep)
{
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find(sep, pos);
        if (end == std::string::npos)
            end = bytes.size();
        out.push_back(bytes.substr(pos, end - pos));
        pos = end + sep.size();
    }
    return out;
}

struct SimEvent {
    int events;
    std::string serial;
    int state;
    int microamps;
    bool intact;
};

std::vector<SimEvent> ReadSimEvents(const std::string& text)
{
    std::vector<SimEvent> out;
    for (const std::string& line : Lines(text, "\n")) {
        std::istringstream in(line);
        std::string hex, serial, kind;
        int state = 0, microamps = 0;
        if (in >> hex >> serial >> state >> microamps >> kind)
            out.push_back({std::stoi(hex, nullptr, 16), serial, state, microamps, kind == "intact"});
    }
    return out;
}

// The journal lines one status reply's events give, in the writer's order.
std::vector<std::string> ExpectedFields(const SimEvent& e, int stand)
{
    std::vector<std::string> out;
    auto line = [&](const QString& action, const QString& result) {
        return e.serial + ";" + ToCp1251(action) + ";" + std::to_string(e.microamps) + ";" + ToCp1251(result) + ";" +
               std::to_string(stand) + ";";
    };
    if (e.events & 0x01)
        out.push_back(line((e.events & 0x04) ? "Программирование" : "Повтор програм.", "OK"));
    if (e.events & 0x02)
        out.push_back(line("Программирование", "Ошибка " + QString::number(e.state)));
    if (e.events & 0x08)
        out.push_back(line("Тестирование", "OK"));
    return out;
}

// Date and time are the writer's own; the rest of the line must match the stand's event.
std::string WithoutDateTime(const std::string& line)
{
    size_t first = line.find(';');
    size_t second = line.find(';', first + 1);
    return line.substr(second + 1);
}

class CurrentDir {
public:
    explicit CurrentDir(const QString& dir) : old_(QDir::currentPath()) { QDir::setCurrent(dir); }
    ~CurrentDir() { QDir::setCurrent(old_); }

private:
    QString old_;
};

void WriteLabelStandIn(const std::string& path, const std::string& record)
{
    std::ofstream out(path);
    out << "#!/bin/sh\necho \"$(basename \"$0\") $*\" >> '" << record << "'\n";
    out.close();
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

}  // namespace

TEST(Production, EveryEventBecomesOneJournalLineAndGridRowAndEachPassedBoardOneLabel)
{
    AppFixture app;
    TempDir work;
    const std::string record = work.file("labels.txt");
    WriteLabelStandIn(work.file("LblPrint.exe"), record);
    WriteLabelStandIn(work.file("LblPrintR.exe"), record);
    CurrentDir cwd(QString::fromStdString(work.path()));

    ASSERT_TRUE(app.StartSim({"--scenario", "production", "--cycle-ms", "1200", "--seed", "7", "--stand", "5",
                              "--state-dir", work.path()}));
    TMainZorvaForm& w = app.Open();
    w.mAutoPrint->setChecked(true);

    // Poll as fast as the stand answers until it has passed four boards.
    auto passed = [&] {
        int n = 0;
        for (const SimEvent& e : ReadSimEvents(work.read("events.log")))
            n += (e.events & 0x08) ? 1 : 0;
        return n;
    };
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (passed() < 4 && std::chrono::steady_clock::now() < deadline)
        app.Ticks(1);
    app.Ticks(3);
    ASSERT_GE(passed(), 4);

    std::vector<SimEvent> events = ReadSimEvents(work.read("events.log"));
    std::vector<std::string> expected;
    int passedBoards = 0;
    for (const SimEvent& e : events) {
        ASSERT_TRUE(e.intact);
        for (const std::string& f : ExpectedFields(e, 5))
            expected.push_back(f);
        passedBoards += (e.events & 0x08) ? 1 : 0;
    }

    std::vector<std::string> lines = Lines(app.data.read("StendZorva.log"), "\r\n");
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(WithoutDateTime(lines[i]), expected[i]) << "line " << i;

    // The grid got the same texts, row for row.
    const JournalGrid& grid = w.LogForm()->Grid();
    ASSERT_EQ(grid.RowCount(), static_cast<int>(lines.size()) + 1);
    for (int r = 1; r < grid.RowCount(); ++r) {
        std::string row;
        for (int c = 1; c < JournalGrid::kColumns; ++c)
            row += ToCp1251(grid.Cell(r, c)) + ";";
        EXPECT_EQ(row, lines[static_cast<size_t>(r - 1)]);
    }
    EXPECT_NE(w.LabelLastSerNum->text(), QStringLiteral("----"));

    // One label per passed board, right side, with its number; none for programming.
    std::vector<std::string> labels;
    auto labelDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((labels = Lines(work.read("labels.txt"), "\n")).size() < static_cast<size_t>(passedBoards) &&
           std::chrono::steady_clock::now() < labelDeadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::vector<std::string> expectedLabels;
    for (const SimEvent& e : events)
        if (e.events & 0x08)
            expectedLabels.push_back("LblPrintR.exe SN=" + e.serial);
    std::sort(labels.begin(), labels.end());
    std::sort(expectedLabels.begin(), expectedLabels.end());
    EXPECT_EQ(labels, expectedLabels);
}
