// The operator's workflow end to end over a pseudo-terminal: the simulator's
// production scenario, the poll, the journal file and grid, automatic labels.
#include "app/AppFixture.h"
#include "app/ProductionSupport.h"
#include "journal/JournalGrid.h"
#include "journal/Ulogform.h"
#include "platform/Text.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>


using namespace production;

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

    ASSERT_TRUE(PollUntilPassed(app, work, 4));

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

TEST(Production, RejectedRepliesNeverReachTheJournalAndTheDisplayRecovers)
{
    AppFixture app;
    TempDir state;
    // Lost and cut replies only: every faulted status reply is one the program must reject.
    ASSERT_TRUE(app.StartSim({"--scenario", "production", "--cycle-ms", "1000", "--seed", "11", "--faults",
                              "drop=0.2,truncate=0.2", "--state-dir", state.path()}));
    TMainZorvaForm& w = app.Open();

    int errors = 0, recoveries = 0;
    bool inError = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (PassedBoards(state) < 4 && std::chrono::steady_clock::now() < deadline) {
        app.Ticks(1);
        bool error = w.PanelText(1) == QStringLiteral("Error");
        if (error) {
            ++errors;
            EXPECT_EQ(w.LabelI->text(), QStringLiteral("-"));
            EXPECT_EQ(w.LabelUnit->text(), QString());
        } else if (inError) {
            ++recoveries;
            EXPECT_NE(w.LabelI->text(), QStringLiteral("-"));
        }
        inError = error;
    }
    app.Ticks(3);
    ASSERT_GE(PassedBoards(state), 4);
    EXPECT_GT(errors, 0);
    EXPECT_GT(recoveries, 0);

    std::vector<SimEvent> events = ReadSimEvents(state.read("events.log"));
    ASSERT_TRUE(std::any_of(events.begin(), events.end(), [](const SimEvent& e) { return !e.intact; }))
        << "the seed gave no faulted event reply; the test shows nothing";
    EXPECT_EQ(JournalWithoutDateTime(app.data.read("StendZorva.log")), ExpectedJournal(events, 1));
}

namespace {

// Another program holds the journal file open without sharing until Release().
class JournalHolder {
public:
    explicit JournalHolder(const std::string& path)
    {
        int ready[2];
        EXPECT_EQ(pipe(release_), 0);
        EXPECT_EQ(pipe(ready), 0);
        pid_ = fork();
        if (pid_ == 0) {
            int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0644);
            flock(fd, LOCK_EX);
            char c = 1;
            (void)!write(ready[1], &c, 1);
            (void)!read(release_[0], &c, 1);
            _exit(0);
        }
        char c;
        EXPECT_EQ(read(ready[0], &c, 1), 1);
        close(ready[0]);
        close(ready[1]);
    }
    void Release()
    {
        if (pid_ <= 0)
            return;
        char c = 1;
        (void)!write(release_[1], &c, 1);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    ~JournalHolder() { Release(); }

private:
    pid_t pid_ = -1;
    int release_[2] = {-1, -1};
};

}  // namespace

TEST(Production, EntriesWaitForALockedJournalAndLandInOrderAcrossARestart)
{
    AppFixture app;
    TempDir state;
    ASSERT_TRUE(app.StartSim({"--scenario", "production", "--cycle-ms", "1000", "--seed", "3", "--state-dir",
                              state.path()}));
    TMainZorvaForm& w = app.Open();
    ASSERT_TRUE(PollUntilPassed(app, state, 1));
    {
        JournalHolder holder(app.data.file("StendZorva.log"));
        ASSERT_TRUE(PollUntilPassed(app, state, 3));
        EXPECT_TRUE(w.JournalWarning()->isVisible() || !w.JournalWarning()->isHidden());
        EXPECT_TRUE(w.JournalWarning()->text().startsWith(QStringLiteral("Журнал занят")))
            << w.JournalWarning()->text().toStdString();
        // Close while the file is still held: nothing may be lost.
        app.Close();
        holder.Release();
    }
    app.sim.Stop();
    TMainZorvaForm& again = app.Open();
    EXPECT_TRUE(again.JournalWarning()->text().isEmpty());
    app.Close();

    EXPECT_EQ(JournalWithoutDateTime(app.data.read("StendZorva.log")),
              ExpectedJournal(ReadSimEvents(state.read("events.log")), 1));
}
