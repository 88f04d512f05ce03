// The port going wrong under the running window: the stand's terminal closed
// and made again (a pulled and re-plugged USB adapter), a port that answers
// only noise, and a port another program holds.
#include "app/AppFixture.h"
#include "monitor/StatusView.h"

#include <QLabel>
#include <QProgressBar>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <random>
#include <thread>
#include <unistd.h>

namespace {

// Where a descriptor of this process leads.
std::string FdTarget(int fd)
{
    char buf[256];
    ssize_t n = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

std::string LinkTarget(const std::string& link)
{
    char buf[256];
    ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

// Descriptors of this process open on the terminal `tty`.
int OpenOn(const std::string& tty)
{
    int count = 0;
    for (int fd = 0; fd < 1024; ++fd)
        count += !tty.empty() && FdTarget(fd) == tty ? 1 : 0;
    return count;
}

void ExpectNormalDisplay(TMainZorvaForm& w)
{
    EXPECT_EQ(w.PanelText(1), QString());
    const StandStatus& s = w.LatestStatus();
    if (auto text = StateText(s.State)) {
        EXPECT_EQ(w.LabelState->text(), *text);
    }
    CurrentView current = CurrentDisplay(s);
    EXPECT_EQ(w.LabelI->text(), current.value);
    EXPECT_EQ(w.LabelUnit->text(), current.unit);
}

void ExpectFailureDisplay(TMainZorvaForm& w, const QString& panel)
{
    EXPECT_EQ(w.PanelText(1), panel);
    EXPECT_EQ(w.LabelI->text(), QStringLiteral("-"));
    EXPECT_EQ(w.LabelUnit->text(), QString());
    for (TShape* lamp : w.Shapes)
        EXPECT_EQ(lamp->BrushColor(), Colors::Silver);
}

void ChoosePort(TMainZorvaForm& w, const QString& number)
{
    w.askText_ = [number](const QString& caption, const QString&, QString& text) {
        EXPECT_EQ(caption, QStringLiteral("COM порт"));
        text = number;
        return true;
    };
    w.mCOMClick();
}

// A pseudo-terminal that answers every two bytes it receives (the length of a
// status or identity command) with 13 to 40 random bytes in one write, and
// keeps what it sent.
class NoisePeer {
public:
    NoisePeer(const std::string& link, uint32_t seed) : rng_(seed)
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        EXPECT_GE(master_, 0);
        EXPECT_EQ(grantpt(master_), 0);
        EXPECT_EQ(unlockpt(master_), 0);
        char name[128];
        EXPECT_EQ(ptsname_r(master_, name, sizeof name), 0);
        // Held open, so the terminal stays up between the program's opens.
        slave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        unlink(link.c_str());
        EXPECT_EQ(symlink(name, link.c_str()), 0);
        thread_ = std::thread([this] { Run(); });
    }
    ~NoisePeer()
    {
        stop_ = true;
        thread_.join();
        close(slave_);
        close(master_);
    }
    std::vector<std::vector<uint8_t>> Sent()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return sent_;
    }

private:
    void Run()
    {
        int pending = 0;
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN))
                continue;
            uint8_t buf[256];
            ssize_t n = read(master_, buf, sizeof buf);
            for (pending += n > 0 ? static_cast<int>(n) : 0; pending >= 2; pending -= 2) {
                std::vector<uint8_t> noise(13 + rng_() % 28);
                for (auto& b : noise)
                    b = static_cast<uint8_t>(rng_());
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    sent_.push_back(noise);
                }
                EXPECT_EQ(write(master_, noise.data(), noise.size()), static_cast<ssize_t>(noise.size()));
            }
        }
    }

    int master_ = -1, slave_ = -1;
    std::mt19937 rng_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::vector<uint8_t>> sent_;
    std::thread thread_;
};

// An Intel HEX file of `length` bytes from address 0, 16 a record.
std::string HexFile(size_t length)
{
    std::string out;
    char line[80];
    for (size_t a = 0; a < length; a += 16) {
        unsigned sum = 16 + (a >> 8) + (a & 0xFF);
        int len = std::snprintf(line, sizeof line, ":10%04X00", static_cast<unsigned>(a));
        for (size_t i = 0; i < 16; ++i) {
            const unsigned b = (a + i) * 7 & 0xFF;
            len += std::snprintf(line + len, sizeof line - static_cast<size_t>(len), "%02X", b);
            sum += b;
        }
        std::snprintf(line + len, sizeof line - static_cast<size_t>(len), "%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
        out += line;
    }
    return out + ":00000001FF\r\n";
}

}  // namespace

// The stand's terminal disappears (the simulator killed, as a pulled adapter)
// and a new one comes up at the same link: the window keeps polling on the dead
// port and shows the failure, and choosing the port again brings the stand back
// on the new terminal, with the dead one let go.
TEST(PortFaults, APulledAndReplugedPortComesBackWhenTheOperatorChoosesItAgain)
{
    struct Case {
        const char* name;
        bool identityKnown;  // the stand answered before it went away
        QString failure;
    };
    for (const Case& c : {Case{"after the identity", true, QStringLiteral("Error")},
                          Case{"before the identity", false, QStringLiteral("Стенд недоступен...")}}) {
        SCOPED_TRACE(c.name);
        AppFixture app;
        ASSERT_TRUE(app.StartSim({"--stand", "4"}));
        const std::string oldTty = LinkTarget(app.data.file("COM1"));
        TMainZorvaForm& w = app.Open();
        ASSERT_EQ(w.PanelText(0), QStringLiteral("COM1: OK"));
        if (c.identityKnown) {
            app.Ticks(2);
            ExpectNormalDisplay(w);
            ASSERT_EQ(w.LabelState->text(), QStringLiteral("Нет действий"));
        }

        app.sim.Kill();
        for (int i = 0; i < 3; ++i) {
            app.Ticks(1);
            ExpectFailureDisplay(w, c.failure);
        }
        // Failure displays leave the last state text on screen.
        EXPECT_EQ(w.LabelState->text(), c.identityKnown ? QStringLiteral("Нет действий") : QStringLiteral("----"));

        // Plugged in again: a new terminal behind the same name. The window still
        // holds the dead one until the operator chooses the port.
        ASSERT_TRUE(app.StartSim({"--stand", "4"}));
        const std::string newTty = LinkTarget(app.data.file("COM1"));
        ASSERT_NE(newTty, oldTty);
        app.Ticks(1);
        ExpectFailureDisplay(w, c.failure);

        ChoosePort(w, QStringLiteral("1"));
        EXPECT_EQ(w.PanelText(0), QStringLiteral("COM1: OK"));
        ASSERT_TRUE(w.Channel().IsOpen());
        EXPECT_EQ(FdTarget(w.Channel().Handle), newTty);
        EXPECT_EQ(OpenOn(oldTty), 0) << "the dead terminal is still held";

        app.Ticks(2);
        ExpectNormalDisplay(w);
        EXPECT_EQ(w.LabelState->text(), QStringLiteral("Нет действий"));
        EXPECT_EQ(w.PanelText(2), QStringLiteral("Стенд №4 ПО v2"));
    }
}

// Choosing the port while the adapter is out: its name leads nowhere (as a
// /dev/serial/by-id link does), so the port is not open and the poll fails at
// once; the next choice after it is back opens it.
TEST(PortFaults, ChoosingAPortWhoseAdapterIsOutAndThenBack)
{
    AppFixture app;
    ASSERT_TRUE(app.StartSim());
    TMainZorvaForm& w = app.Open();
    app.Ticks(1);
    ExpectNormalDisplay(w);

    app.sim.Stop();
    app.NoPort();
    ChoosePort(w, QStringLiteral("1"));
    EXPECT_EQ(w.PanelText(0), QStringLiteral("COM1: Не открыт"));
    EXPECT_FALSE(w.Channel().IsOpen());
    app.Ticks(2);
    ExpectFailureDisplay(w, QStringLiteral("Error"));

    ASSERT_TRUE(app.StartSim());
    ChoosePort(w, QStringLiteral("1"));
    EXPECT_EQ(w.PanelText(0), QStringLiteral("COM1: OK"));
    app.Ticks(1);
    ExpectNormalDisplay(w);
}

// A port that answers only noise: every reply the check byte rejects is an
// Error tick, and no noise becomes a journal entry. (A window of noise that
// happens to sum to 0 is the stand's word to the program; the peer knows which
// it sent, so such a tick is expected to pass.)
TEST(PortFaults, APortThatAnswersOnlyNoiseShowsErrorAndJournalsNothing)
{
    AppFixture app;
    ASSERT_TRUE(app.StartSim());
    TMainZorvaForm& w = app.Open();
    app.Ticks(2);
    ASSERT_TRUE(w.StandInfoKnown());
    app.sim.Kill();

    NoisePeer peer(app.data.file("COM1"), 20170305);
    ChoosePort(w, QStringLiteral("1"));
    ASSERT_EQ(w.PanelText(0), QStringLiteral("COM1: OK"));

    int errors = 0;
    for (int i = 0; i < 40; ++i) {
        app.Ticks(1);
        std::vector<std::vector<uint8_t>> sent = peer.Sent();
        ASSERT_EQ(sent.size(), static_cast<size_t>(i + 1)) << "one status query a tick";
        unsigned sum = 0;
        for (size_t k = 0; k < 13; ++k)
            sum += sent.back()[k];
        if ((sum & 0xFF) != 0) {
            ++errors;
            ExpectFailureDisplay(w, QStringLiteral("Error"));
        } else {
            ExpectNormalDisplay(w);
        }
    }
    EXPECT_GT(errors, 30);
    EXPECT_EQ(app.data.read("StendZorva.log"), std::string());
}

// Another program holds the port first: the window cannot open it and says so;
// once the other lets go, choosing the port again brings the stand. While the
// window holds it, the other cannot take it.
TEST(PortFaults, APortHeldByAnotherProgramIsNotOpenUntilItIsLetGo)
{
    AppFixture app;
    ASSERT_TRUE(app.StartSim());
    AppDataDir = GetAppDataDir("StendZorva", app.data.path());
    COM other;
    other.Port = 0;
    other.BaudIndex = 11;
    other.StopBits = 0;
    ASSERT_TRUE(other.Open());

    TMainZorvaForm& w = app.Open();
    EXPECT_EQ(w.PanelText(0), QStringLiteral("COM1: Не открыт"));
    EXPECT_FALSE(w.Channel().IsOpen());
    app.Ticks(2);
    ExpectFailureDisplay(w, QStringLiteral("Стенд недоступен..."));

    // Choosing it while it is still held changes nothing.
    ChoosePort(w, QStringLiteral("1"));
    EXPECT_EQ(w.PanelText(0), QStringLiteral("COM1: Не открыт"));

    other.Close();
    ChoosePort(w, QStringLiteral("1"));
    EXPECT_EQ(w.PanelText(0), QStringLiteral("COM1: OK"));
    app.Ticks(2);
    ExpectNormalDisplay(w);
    EXPECT_EQ(w.PanelText(2), QStringLiteral("Стенд №1 ПО v2"));

    COM late;
    late.Port = 0;
    late.BaudIndex = 11;
    late.StopBits = 0;
    EXPECT_FALSE(late.Open());
}

// The port dies in the middle of a firmware upload or comparison: the command
// ends with its error box instead of waiting on the dead port, the progress
// panel goes, and the poll is back and shows the failure.
TEST(PortFaults, APortThatDiesDuringAFirmwareCommandEndsItWithAnError)
{
    struct Case {
        const char* name;
        void (TMainZorvaForm::*command)();
    };
    for (const Case& c : {Case{"upload", &TMainZorvaForm::mProchaClick},
                          Case{"comparison", &TMainZorvaForm::mCompareFileClick}}) {
        SCOPED_TRACE(c.name);
        AppFixture app;
        ASSERT_TRUE(app.StartSim());
        TMainZorvaForm& w = app.Open();
        app.Ticks(1);
        app.data.write("fw.hex", HexFile(8192));
        w.askFile_ = [&] { return QString::fromStdString(app.data.file("fw.hex")); };
        std::vector<ServiceMessage> messages;
        w.showMessage_ = [&](const ServiceMessage& m) { messages.push_back(m); };
        // The comparison needs a firmware in the stand first.
        w.mProchaClick();
        ASSERT_TRUE(messages.empty());
        int blocks = 0;
        QObject::connect(w.ProgressBar1, &QProgressBar::valueChanged, [&](int) {
            if (++blocks == 20)
                app.sim.Kill();
        });

        (w.*c.command)();
        EXPECT_GE(blocks, 20);
        EXPECT_LT(blocks, 256) << "the command went on past the dead port";
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].caption, QStringLiteral("Ошибка"));
        EXPECT_TRUE(w.PanelProgress->isHidden());

        app.Ticks(1);
        ExpectFailureDisplay(w, QStringLiteral("Error"));
        ASSERT_FALSE(app.sim.Running());
        ASSERT_TRUE(app.StartSim());
        ChoosePort(w, QStringLiteral("1"));
        app.Ticks(1);
        ExpectNormalDisplay(w);
    }
}
