// Soak: the real main window (offscreen) polls stand-sim --scenario production
// with many damaged replies, service commands mixed in, for a given number of
// exchanges; then the faulted stand goes away, a clean one comes up on the same
// link and the port is chosen again. Checked and printed: no crash, no hang
// (every tick and command returns within its bound), no journal entry from a
// reply whose bytes the program had to reject, the failure display on every
// failed tick, memory at start and after 10k, 50k and the last exchange, and the
// normal display on the first tick after the faults stop.
//
// usage: soak [--sim PATH] [--exchanges N] [--faults LIST] [--cycle-ms MS] [--seed N] [--every K]
// Exit status 0 when every check held, 1 otherwise, 3 on a hang, 4 when interrupted.
#include "app/Umain.h"
#include "monitor/StatusView.h"
#include "platform/Text.h"
#include "service/SerialWrite.h"
#include "service/Usernum.h"
#include "store/Func.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <map>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// One exchange that gets no reply costs the port time-out: 500 ms plus 1 ms a
// byte. A tick makes at most three (identity, serial-write result, status).
constexpr double kTickBoundMs = 2000;
// A service command here makes at most eight block exchanges of 33 bytes.
constexpr double kCommandBoundMs = 8 * 533 + 1000;
constexpr int kHangSeconds = 30;

std::string SelfDir()
{
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    const std::string p(buf, static_cast<size_t>(n));
    return p.substr(0, p.rfind('/'));
}

std::string DefaultSim()
{
    const std::string dir = SelfDir();
    for (const std::string& p : {dir + "/stand-sim", dir + "/../sim/stand-sim"})
        if (access(p.c_str(), X_OK) == 0)
            return p;
    return {};
}

long RssKiB()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

long HeapKiB()
{
    return static_cast<long>(mallinfo2().uordblks / 1024);
}

// The simulators running, so an interrupted or hung soak does not leave them behind.
std::atomic<pid_t> g_children[2] = {-1, -1};

void StopChildren()
{
    for (auto& pid : g_children)
        if (pid_t p = pid.exchange(-1); p > 0)
            kill(p, SIGTERM);
}

// stand-sim as a child, its trace (STAND_SIM_LOG=1) going to a file.
class Sim {
public:
    ~Sim() { Stop(); }
    bool Start(const std::string& exe, const std::vector<std::string>& args, const std::string& tracePath)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        const int trace = tracePath.empty() ? -1 : ::open(tracePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_ = fork();
        if (pid_ < 0)
            return false;
        if (pid_ == 0) {
            dup2(fds[1], STDOUT_FILENO);
            if (trace >= 0) {
                dup2(trace, STDERR_FILENO);
                setenv("STAND_SIM_LOG", "1", 1);
            } else {
                unsetenv("STAND_SIM_LOG");
            }
            std::vector<std::string> all{exe};
            all.insert(all.end(), args.begin(), args.end());
            std::vector<char*> argv;
            for (auto& a : all)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(exe.c_str(), argv.data());
            _exit(127);
        }
        for (auto& slot : g_children) {
            pid_t none = -1;
            if (slot.compare_exchange_strong(none, pid_))
                break;
        }
        if (trace >= 0)
            ::close(trace);
        close(fds[1]);
        out_ = fds[0];
        std::string got;
        while (got.find('\n') == std::string::npos) {
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, 10000) <= 0)
                return false;
            char b[256];
            const ssize_t n = read(out_, b, sizeof b);
            if (n <= 0)
                return false;
            got.append(b, static_cast<size_t>(n));
        }
        return got.find("ready") != std::string::npos;
    }
    void Stop()
    {
        if (pid_ > 0) {
            for (auto& slot : g_children) {
                pid_t mine = pid_;
                slot.compare_exchange_strong(mine, -1);
            }
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        if (out_ >= 0)
            close(out_);
        out_ = -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

// The journal fields after date and time, as the program must write them for
// one status reply (stand number from the identity the program holds).
std::vector<std::string> ExpectedLines(int events, const std::string& serial, int state, int microamps, int stand)
{
    std::vector<std::string> out;
    auto line = [&](const char* action, const std::string& result) {
        return serial + ";" + ToCp1251(QString::fromUtf8(action)) + ";" + std::to_string(microamps) + ";" +
               ToCp1251(QString::fromUtf8(result.c_str())) + ";" + std::to_string(stand) + ";";
    };
    if (events & 0x01)
        out.push_back(line((events & 0x04) ? "Программирование" : "Повтор програм.", "OK"));
    if (events & 0x02)
        out.push_back(line("Программирование", "Ошибка " + std::to_string(state)));
    if (events & 0x08)
        out.push_back(line("Тестирование", "OK"));
    return out;
}

std::string SerialText(unsigned year, unsigned number)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02u-%05u", year, number);
    return buf;
}

// What the program reads of a status reply: its first 13 bytes, kept only when they sum to 0.
bool AcceptedWindow(const std::vector<uint8_t>& bytes)
{
    if (bytes.size() < 13)
        return false;
    unsigned sum = 0;
    for (size_t i = 0; i < 13; ++i)
        sum += bytes[i];
    return (sum & 0xFF) == 0;
}

std::vector<std::string> LinesOfWindow(const std::vector<uint8_t>& b, int stand)
{
    return ExpectedLines(b[11], SerialText(b[10], b[8] | (b[9] << 8)), b[0], b[1] | (b[2] << 8), stand);
}

// Reads the simulator's trace as it grows: counts exchanges and faults, and
// sorts every status reply into what the journal must, may or must not show.
class TraceReader {
public:
    explicit TraceReader(const std::string& path) : path_(path) {}

    void Poll()
    {
        std::ifstream in(path_, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(offset_));
        std::string chunk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        offset_ += chunk.size();
        partial_ += chunk;
        size_t pos;
        while ((pos = partial_.find('\n')) != std::string::npos) {
            Line(partial_.substr(0, pos));
            partial_.erase(0, pos + 1);
        }
    }

    void SetStand(int stand) { stand_ = stand; }

    uint64_t exchanges = 0;
    std::map<std::string, uint64_t> faults;  // by kind
    uint64_t statusReplies = 0;
    uint64_t eventReplies = 0, faultedEventReplies = 0;
    std::map<std::string, uint64_t> stillValid;  // faulted status replies whose first 13 bytes still sum to 0, by kind
    std::vector<std::string> must;     // from replies the program has to accept
    std::vector<uint64_t> mustAfterLate;  // for each: exchanges since the last late reply (any command)
    std::vector<std::string> mustNot;  // from event replies whose bytes it has to reject
    std::vector<std::string> may;      // from late replies: they may land in a later exchange

private:
    void Line(const std::string& line)
    {
        const std::string prefix = "stand-sim: ";
        if (line.rfind(prefix, 0) != 0)
            return;
        std::string rest = line.substr(prefix.size());
        if (rest.rfind("event ", 0) == 0) {
            std::istringstream in(rest.substr(6));
            std::string hex, serial, kind;
            int state = 0, microamps = 0;
            if (in >> hex >> serial >> state >> microamps >> kind)
                event_ = ExpectedLines(std::stoi(hex, nullptr, 16), serial, state, microamps, stand_);
            hasEvent_ = true;
            return;
        }
        if (rest.size() < 4 || rest.compare(1, 4, " -> ") != 0)
            return;
        ++exchanges;
        const char command = rest[0];
        std::string kind = "none";
        std::vector<uint8_t> bytes;
        if (size_t f = rest.find(", fault: "); f != std::string::npos) {
            std::istringstream in(rest.substr(f + 9));
            std::string eq;
            in >> kind >> eq;
            unsigned b;
            while (in >> std::hex >> b)
                bytes.push_back(static_cast<uint8_t>(b));
        }
        ++faults[kind];
        const uint64_t sinceLate = exchanges - lastLate_;
        if (kind == "late")
            lastLate_ = exchanges;
        const bool eventReply = hasEvent_;
        std::vector<std::string> event = std::move(event_);
        hasEvent_ = false;
        event_.clear();
        if (command != 'S')
            return;
        ++statusReplies;
        eventReply ? ++eventReplies : 0;
        if (kind == "none") {
            if (eventReply)
                for (auto& l : event)
                    AddMust(l, sinceLate);
            return;
        }
        eventReply ? ++faultedEventReplies : 0;
        if (kind == "late") {
            if (AcceptedWindow(bytes))
                for (auto& l : LinesOfWindow(bytes, stand_))
                    may.push_back(l);
            return;
        }
        if (AcceptedWindow(bytes)) {
            // A changed byte with the sum fixed, or noise that happens to sum to 0:
            // the check byte cannot tell, so the program takes what the window says.
            ++stillValid[kind];
            for (auto& l : LinesOfWindow(bytes, stand_))
                AddMust(l, sinceLate);
        } else if (eventReply) {
            mustNot.insert(mustNot.end(), event.begin(), event.end());
        }
    }

    void AddMust(const std::string& line, uint64_t sinceLate)
    {
        must.push_back(line);
        mustAfterLate.push_back(sinceLate);
    }

    uint64_t lastLate_ = UINT64_MAX / 2;
    std::string path_;
    size_t offset_ = 0;
    std::string partial_;
    int stand_ = 1;
    bool hasEvent_ = false;
    std::vector<std::string> event_;
};

std::vector<std::string> JournalFields(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find("\r\n", pos);
        if (end == std::string::npos)
            end = bytes.size();
        const std::string line = bytes.substr(pos, end - pos);
        const size_t first = line.find(';');
        const size_t second = first == std::string::npos ? first : line.find(';', first + 1);
        out.push_back(second == std::string::npos ? line : line.substr(second + 1));
        pos = end + 2;
    }
    return out;
}

std::string HexFileOfFF(size_t length)
{
    std::string out;
    char line[80];
    for (size_t a = 0; a < length; a += 16) {
        unsigned sum = 16 + (a >> 8) + (a & 0xFF);
        int len = std::snprintf(line, sizeof line, ":10%04X00", static_cast<unsigned>(a));
        for (int i = 0; i < 16; ++i) {
            len += std::snprintf(line + len, sizeof line - static_cast<size_t>(len), "FF");
            sum += 0xFF;
        }
        std::snprintf(line + len, sizeof line - static_cast<size_t>(len), "%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
        out += line;
    }
    return out + ":00000001FF\r\n";
}

struct Timing {
    uint64_t count = 0;
    double maxMs = 0, totalMs = 0;
    uint64_t overBound = 0;
};

std::atomic<int64_t> g_beatMs{0};
std::atomic<const char*> g_doing{"start"};

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

}  // namespace

int main(int argc, char** argv)
{
    std::string simExe = DefaultSim();
    uint64_t target = 100000;
    std::string faults = "corrupt=0.2,noise=0.18,drop=0.008,truncate=0.008,late=0.004,after=20";
    std::string cycleMs = "2000";
    std::string seed = "1";
    int every = 150;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i], value = argv[i + 1];
        if (name == "--sim")
            simExe = value;
        else if (name == "--exchanges")
            target = std::strtoull(value.c_str(), nullptr, 10);
        else if (name == "--faults")
            faults = value;
        else if (name == "--cycle-ms")
            cycleMs = value;
        else if (name == "--seed")
            seed = value;
        else if (name == "--every")
            every = std::max(1, std::atoi(value.c_str()));
        else {
            std::fprintf(stderr, "soak: unknown option %s\n", name.c_str());
            return 2;
        }
    }
    if (simExe.empty()) {
        std::fprintf(stderr, "soak: stand-sim not found (--sim PATH)\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The offscreen platform says this on every window geometry change.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (!text.contains(QStringLiteral("propagateSizeHints")))
            std::fprintf(stderr, "%s%s\n", type == QtWarningMsg ? "qt: " : "", text.toLocal8Bit().constData());
    });
    QApplication app(argc, argv);

    char tmpl[] = "/tmp/zorva-soak-XXXXXX";
    if (!mkdtemp(tmpl)) {
        std::perror("soak: mkdtemp");
        return 2;
    }
    const std::string root = tmpl;
    const std::string data = root + "/data/", state = root + "/state", tracePath = root + "/sim-trace.log";
    fs::create_directories(data);
    fs::create_directories(state);
    const std::string link = data + "COM1";
    std::ofstream(data + "fw.hex") << HexFileOfFF(256);

    for (int sig : {SIGINT, SIGTERM})
        std::signal(sig, [](int) {
            StopChildren();
            _exit(4);
        });
    std::thread([] {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            if (NowMs() - g_beatMs.load() > kHangSeconds * 1000) {
                std::fprintf(stderr, "soak: HANG: no return for %d s in %s\n", kHangSeconds, g_doing.load());
                std::fflush(stdout);
                StopChildren();
                _exit(3);
            }
        }
    }).detach();
    g_beatMs = NowMs();

    Sim sim;
    const std::vector<std::string> simArgs{"--link", link, "--scenario", "production", "--cycle-ms", cycleMs, "--seed",
                                           seed, "--state-dir", state};
    std::vector<std::string> faulted = simArgs;
    faulted.insert(faulted.end(), {"--faults", faults});
    if (!sim.Start(simExe, faulted, tracePath)) {
        std::fprintf(stderr, "soak: stand-sim did not start\n");
        return 2;
    }
    std::printf("soak: %" PRIu64 " exchanges, faults %s, cycle %s ms, seed %s, a service command every %d ticks\n",
                target, faults.c_str(), cycleMs.c_str(), seed.c_str(), every);
    std::fflush(stdout);

    int failures = 0;
    auto check = [&](bool ok, const char* what) {
        if (!ok) {
            ++failures;
            std::printf("FAIL: %s\n", what);
        }
        return ok;
    };

    auto window = std::make_unique<TMainZorvaForm>(data);
    TMainZorvaForm& w = *window;
    w.Timer1()->stop();
    w.FormCreate();
    w.Timer1()->stop();
    w.show();
    std::map<QString, uint64_t> messages;
    uint64_t serNumShown = 0;
    QString portText = QStringLiteral("1");
    w.askText_ = [&](const QString& caption, const QString&, QString& text) {
        if (caption == QStringLiteral("FLASH")) {
            text = QStringLiteral("32768");
            return true;
        }
        if (caption == QStringLiteral("COM порт")) {
            text = portText;
            return true;
        }
        return false;  // the board version is only read
    };
    w.askFile_ = [&] { return QString::fromStdString(data + "fw.hex"); };
    w.showMessage_ = [&](const ServiceMessage& m) { ++messages[m.caption + ": " + m.text]; };
    w.serNumShow_ = [&](TFSerNum&) {
        ++serNumShown;
        return static_cast<int>(QDialog::Accepted);
    };
    w.SetLabelLauncher([](const LabelLaunch&) { return true; });

    TraceReader trace(tracePath);
    Timing tickTiming;
    std::map<std::string, Timing> commandTiming;
    uint64_t ticks = 0, errorTicks = 0, unavailableTicks = 0, badFailureDisplay = 0, badGoodDisplay = 0;

    auto timed = [&](const char* name, Timing& t, double bound, auto&& call) {
        g_doing = name;
        g_beatMs = NowMs();
        const auto t0 = Clock::now();
        call();
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        g_beatMs = NowMs();
        ++t.count;
        t.totalMs += ms;
        t.maxMs = std::max(t.maxMs, ms);
        if (ms > bound)
            ++t.overBound;
    };
    // What the program's event loop does between ticks, deferred deletions
    // included (processEvents alone leaves them to a loop this harness never runs).
    auto runEvents = [] {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    auto tick = [&] {
        timed("Timer1Timer", tickTiming, kTickBoundMs, [&] { w.Timer1Timer(); });
        runEvents();
        ++ticks;
        const QString panel = w.PanelText(1);
        if (panel == QStringLiteral("Error") || panel == QStringLiteral("Стенд недоступен...")) {
            panel == QStringLiteral("Error") ? ++errorTicks : ++unavailableTicks;
            if (w.LabelI->text() != QStringLiteral("-") || !w.LabelUnit->text().isEmpty())
                ++badFailureDisplay;
        } else if (w.LabelI->text() == QStringLiteral("-") || w.LabelUnit->text().isEmpty()) {
            ++badGoodDisplay;
        }
    };

    struct Command {
        const char* name;
        std::function<void()> run;
    };
    const std::vector<Command> commands{
        {"F6 EPROM dump", [&] { w.mReadEPROMClick(); }},
        {"F7 FLASH view", [&] { w.mReadFLASHClick(); }},
        {"F8 FLASH next", [&] { w.mNextFLASHClick(); }},
        {"board info", [&] { w.mIDClick(); }},
        {"serial number window", [&] { w.mSerNumClick(); }},
        {"serial write", [&] {
             w.EditYear->setText(QStringLiteral("17"));
             w.EditNum->setText(QString::number(1000 + w.SerialWrite().SerialWriteStart % 50000));
             w.ButtonWriteSNClick();
         }},
        {"board version read", [&] { w.mPlataversionClick(); }},
        {"firmware compare", [&] { w.mCompareFileClick(); }},
    };

    struct Mark {
        const char* name;
        uint64_t at;
        uint64_t exchanges = 0;
        long rss = -1, heap = -1;
    };
    std::vector<Mark> marks{{"start", 200}};
    for (uint64_t at : {uint64_t{10000}, uint64_t{50000}})
        if (at < target)
            marks.push_back({at == 10000 ? "10k" : "50k", at});
    marks.push_back({"end", target});
    const auto started = Clock::now();
    size_t nextCommand = 0;
    bool standSet = false;
    while (trace.exchanges < target) {
        tick();
        if (!standSet && w.StandInfoKnown()) {
            trace.SetStand(w.Info().StandNumber);
            standSet = true;
        }
        if (ticks % static_cast<uint64_t>(every) == 0) {
            const Command& c = commands[nextCommand++ % commands.size()];
            timed(c.name, commandTiming[c.name], kCommandBoundMs, c.run);
            runEvents();
        }
        trace.Poll();
        for (Mark& m : marks)
            if (m.rss < 0 && trace.exchanges >= m.at) {
                m.exchanges = trace.exchanges;
                m.rss = RssKiB();
                m.heap = HeapKiB();
            }
        if (ticks % 5000 == 0) {
            std::printf("  %" PRIu64 " exchanges, %" PRIu64 " ticks, %.0f s, RSS %ld KiB\n", trace.exchanges, ticks,
                        std::chrono::duration<double>(Clock::now() - started).count(), RssKiB());
            std::fflush(stdout);
        }
    }
    const double faultedSeconds = std::chrono::duration<double>(Clock::now() - started).count();

    // The faulted stand goes away under the program: every tick fails, quickly.
    sim.Stop();
    trace.Poll();
    bool deadAllError = true;
    for (int i = 0; i < 5; ++i) {
        tick();
        deadAllError = deadAllError && w.PanelText(1) == QStringLiteral("Error");
    }

    // The simulator's own record of the event replies must agree with its trace.
    uint64_t logged = 0, loggedFaulted = 0;
    {
        std::ifstream events(state + "/events.log");
        std::string line;
        while (std::getline(events, line)) {
            ++logged;
            loggedFaulted += line.find(" faulted") != std::string::npos ? 1 : 0;
        }
    }

    // The journal against what the stand sent.
    std::map<std::string, long> counts;
    const std::vector<std::string> journal = JournalFields(data + "StendZorva.log");
    for (const auto& l : journal)
        ++counts[l];
    // A late reply that comes just after the next exchange's purge is read as that
    // exchange's reply, and the reply meant for it is purged by the one after:
    // the protocol has nothing to tell them apart. Lines missing within a few
    // hundred exchanges (less than a second) after a late reply are counted so.
    constexpr uint64_t kLateReach = 200;
    uint64_t missing = 0, missingAfterLate = 0;
    for (size_t i = 0; i < trace.must.size(); ++i) {
        const std::string& l = trace.must[i];
        if (counts[l]-- <= 0) {
            const bool afterLate = trace.mustAfterLate[i] <= kLateReach;
            afterLate ? ++missingAfterLate : ++missing;
            std::printf("  missing from the journal (%" PRIu64 " exchanges after a late reply): %s\n",
                        trace.mustAfterLate[i], FromCp1251(l).toStdString().c_str());
        }
    }
    std::map<std::string, long> mayLeft;
    for (const auto& l : trace.may)
        ++mayLeft[l];
    std::map<std::string, long> mustNot;
    for (const auto& l : trace.mustNot)
        ++mustNot[l];
    uint64_t fromLate = 0, acceptedInvalid = 0, unexplained = 0;
    for (auto& [line, n] : counts) {
        for (; n > 0; --n) {
            if (mayLeft[line] > 0) {
                --mayLeft[line];
                ++fromLate;
            } else if (mustNot.count(line)) {
                ++acceptedInvalid;
                std::printf("  accepted from a rejected reply: %s\n", FromCp1251(line).toStdString().c_str());
            } else {
                ++unexplained;
                std::printf("  unexplained journal line: %s\n", FromCp1251(line).toStdString().c_str());
            }
        }
    }

    // A clean stand on the same link; the operator chooses the port again.
    Sim clean;
    const bool cleanStarted = clean.Start(simExe, simArgs, {});
    w.mCOMClick();
    const QString port0 = w.PanelText(0);
    tick();
    const StandStatus& s = w.LatestStatus();
    const auto stateText = StateText(s.State);
    const CurrentView current = CurrentDisplay(s);
    const bool normal = w.PanelText(1).isEmpty() && (!stateText || w.LabelState->text() == *stateText) &&
                        w.LabelI->text() == current.value && w.LabelUnit->text() == current.unit;

    // What one journal row costs the window (its grid keeps every row of the run),
    // to set against the growth.
    const long heapBeforeRows = HeapKiB();
    for (int i = 0; i < 1000; ++i)
        w.WriteJournalEntry(QStringLiteral("Тестирование"), QStringLiteral("OK"));
    const long rowsKiB = HeapKiB() - heapBeforeRows;

    // The figures.
    std::printf("\nexchanges %" PRIu64 " in %.0f s (%" PRIu64 " ticks); replies by fault:", trace.exchanges,
                faultedSeconds, ticks);
    for (const auto& [kind, n] : trace.faults)
        std::printf(" %s %" PRIu64, kind.c_str(), n);
    std::printf("\nstatus replies %" PRIu64 ", with events %" PRIu64 " (faulted %" PRIu64 ")\n", trace.statusReplies,
                trace.eventReplies, trace.faultedEventReplies);
    std::printf("ticks: %" PRIu64 " Error, %" PRIu64 " unavailable; max %.1f ms, mean %.2f ms, over %.0f ms: %" PRIu64 "\n",
                errorTicks, unavailableTicks, tickTiming.maxMs, tickTiming.totalMs / std::max<uint64_t>(1, tickTiming.count),
                kTickBoundMs, tickTiming.overBound);
    for (const auto& [name, t] : commandTiming)
        std::printf("  %-22s %4" PRIu64 " runs, max %7.1f ms, over %.0f ms: %" PRIu64 "\n", name.c_str(), t.count, t.maxMs,
                    kCommandBoundMs, t.overBound);
    std::printf("serial number window opened and OK'd %" PRIu64 " times; messages shown:\n", serNumShown);
    for (const auto& [text, n] : messages)
        std::printf("  %6" PRIu64 "  %s\n", n, text.toStdString().c_str());
    std::printf("events.log: %" PRIu64 " event replies, %" PRIu64 " faulted\n", logged, loggedFaulted);
    std::printf("journal: %zu lines; from intact or still-valid replies %zu, missing %" PRIu64
                " (and %" PRIu64 " displaced by a late reply); from rejected event replies (must be 0) %" PRIu64
                " of %zu possible; from late replies %" PRIu64 "; unexplained %" PRIu64 "\n",
                journal.size(), trace.must.size(), missing, missingAfterLate, acceptedInvalid, trace.mustNot.size(),
                fromLate, unexplained);
    std::printf("faulted status replies whose first 13 bytes still sum to 0 (taken as the stand's word):");
    for (const auto& [kind, n] : trace.stillValid)
        std::printf(" %s %" PRIu64, kind.c_str(), n);
    std::printf("\n");
    std::printf("display: failure display wrong %" PRIu64 " times, normal display wrong %" PRIu64 " times\n",
                badFailureDisplay, badGoodDisplay);
    std::printf("memory (RSS / heap in use, KiB):");
    for (const Mark& m : marks)
        std::printf("  %s@%" PRIu64 " %ld / %ld", m.name, m.exchanges, m.rss, m.heap);
    const Mark& m0 = marks[0];
    const Mark& m1 = marks.size() > 2 ? marks[1] : marks[0];
    const Mark& mEnd = marks.back();
    std::printf("\nmemory growth: start->end RSS %+ld KiB, heap %+ld KiB; %s->end RSS %+ld KiB, heap %+ld KiB\n",
                mEnd.rss - m0.rss, mEnd.heap - m0.heap, m1.name, mEnd.rss - m1.rss, mEnd.heap - m1.heap);
    std::printf("a journal row costs %.2f KiB of heap (1000 rows: %ld KiB); the run wrote %zu rows\n", rowsKiB / 1000.0,
                rowsKiB, journal.size());
    std::printf("dead port: every tick Error: %s; after the clean stand and \"COM порт\": panel 0 \"%s\", first tick "
                "normal: %s (panel 1 \"%s\", state \"%s\", current %s %s)\n",
                deadAllError ? "yes" : "no", port0.toStdString().c_str(), normal ? "yes" : "no",
                w.PanelText(1).toStdString().c_str(), w.LabelState->text().toStdString().c_str(),
                w.LabelI->text().toStdString().c_str(), w.LabelUnit->text().toStdString().c_str());

    check(trace.exchanges >= target, "fewer exchanges than asked");
    check(tickTiming.overBound == 0, "a tick took longer than its bound");
    for (const auto& [name, t] : commandTiming)
        check(t.overBound == 0, "a service command took longer than its bound");
    check(logged == trace.eventReplies && loggedFaulted == trace.faultedEventReplies,
          "events.log and the trace disagree");
    check(missing == 0, "a reply the program had to accept is missing from the journal");
    check(acceptedInvalid == 0, "a journal entry came from a reply whose bytes were invalid");
    check(unexplained == 0, "a journal entry no reply explains");
    check(badFailureDisplay == 0 && badGoodDisplay == 0, "the display did not follow the poll's outcome");
    check(deadAllError, "the dead port did not show Error on every tick");
    check(cleanStarted && port0 == QStringLiteral("COM1: OK"), "the port did not open again");
    check(normal, "the first tick after the faults stopped did not show the normal display");

    window->close();
    window.reset();
    clean.Stop();
    std::error_code ec;
    fs::remove_all(root, ec);
    std::printf("%s\n", failures == 0 ? "soak: all checks held" : "soak: CHECKS FAILED");
    return failures == 0 ? 0 : 1;
}
