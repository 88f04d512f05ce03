// stand-sim as a command, end to end over a real pseudo-terminal.
#include "SimTestUtil.h"
#include "support/SimProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace standsim;
using simtest::Cmd;
using simtest::Hex;
using simtest::Port;

namespace {

struct Outcome {
    int exit = -1;
    std::string out, err;
};

struct Child {
    pid_t pid = -1;
    int out = -1, err = -1;
};

Child Spawn(const std::vector<std::string>& args)
{
    int o[2], e[2];
    if (pipe(o) != 0 || pipe(e) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(o[1], STDOUT_FILENO);
        dup2(e[1], STDERR_FILENO);
        close(o[0]);
        close(e[0]);
        std::vector<std::string> a{STAND_SIM_PATH};
        a.insert(a.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& s : a)
            argv.push_back(s.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(o[1]);
    close(e[1]);
    return {pid, o[0], e[0]};
}

// Reads both pipes to their end, then reaps the child.
Outcome Finish(Child c)
{
    Outcome r;
    pollfd p[2] = {{c.out, POLLIN, 0}, {c.err, POLLIN, 0}};
    int open = 2;
    while (open > 0 && poll(p, 2, 10000) > 0) {
        for (int i = 0; i < 2; ++i) {
            if (p[i].fd < 0 || !(p[i].revents & (POLLIN | POLLHUP)))
                continue;
            char buf[4096];
            const ssize_t n = read(p[i].fd, buf, sizeof buf);
            if (n <= 0) {
                close(p[i].fd);
                p[i].fd = -1;
                --open;
            } else {
                (i == 0 ? r.out : r.err).append(buf, static_cast<size_t>(n));
            }
        }
    }
    int status = 0;
    waitpid(c.pid, &status, 0);
    r.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// Runs stand-sim to its end (only for runs that end by themselves).
Outcome RunSim(const std::vector<std::string>& args) { return Finish(Spawn(args)); }

// Reads stdout up to the first newline.
std::string FirstLine(int fd)
{
    std::string line;
    char ch;
    while (line.find('\n') == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 10000) <= 0 || read(fd, &ch, 1) != 1)
            break;
        line += ch;
    }
    return line;
}

} // namespace

TEST(StandSimCommand, AnswersOverThePseudoTerminalUntilSigterm)
{
    TempDir dir;
    const std::string link = dir.file("COM1");
    SimProcess sim;
    ASSERT_TRUE(sim.Start(link, {"--stand", "3", "--state-dir", dir.file("state")}));
    struct stat st{};
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    char target[256] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target).rfind("/dev/pts/", 0), 0u) << target;
    {
        Port port(link);
        ASSERT_TRUE(port.ok());
        const Bytes status = port.Exchange(Cmd({'S'}), 13);
        ASSERT_EQ(status.size(), 13u) << Hex(status);
        EXPECT_EQ(Checksum8(status), 0);
        EXPECT_EQ(status[0], 255);
        EXPECT_EQ(Hex(port.Exchange(Cmd({'N'}), 3)), "03 02 FB");
        // Written through before the reply leaves.
        EXPECT_EQ(Hex(port.Exchange(Cmd({'E', 0x9E, 0x05}), 2)), "05 FB");
        EXPECT_EQ(uint8_t(dir.read("state/eprom.bin")[0x9E]), 5);
    }
    {
        // The program closed its side and opens it again: the stand is still there.
        Port again(link);
        EXPECT_EQ(again.Exchange(Cmd({'a'}), 3), Cmd({'a', 0}));
    }
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_NE(lstat(link.c_str(), &st), 0) << "link left behind";
}

TEST(StandSimCommand, PrintsOneReadyLineAndEndsCleanlyOnEitherSignal)
{
    for (int sig : {SIGTERM, SIGINT}) {
        TempDir dir;
        const std::string link = dir.file("ttyStand");
        Child c = Spawn({"--link", link, "--scenario", "production"});
        ASSERT_GT(c.pid, 0);
        const std::string line = FirstLine(c.out);
        char target[256] = {};
        ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(line, "stand-sim: ready " + std::string(target) + "\n");
        kill(c.pid, sig);
        const Outcome r = Finish(c);
        EXPECT_EQ(r.exit, 0) << sig;
        EXPECT_EQ(r.out, "") << "nothing after the ready line";
        EXPECT_EQ(r.err, "") << "quiet by default";
        struct stat st{};
        EXPECT_NE(lstat(link.c_str(), &st), 0) << "link left behind";
    }
}

TEST(StandSimCommand, PacedAndLateRepliesArriveWhole)
{
    TempDir dir;
    SimProcess sim;
    ASSERT_TRUE(sim.Start(dir.file("COM1"), {"--pace", "--faults", "late=1,after=1"}));
    Port port(dir.file("COM1"));
    ASSERT_TRUE(port.ok());
    const Bytes block = port.Exchange(Cmd({'f', 0x00, 0x80}), 33);
    EXPECT_EQ(block, Cmd(Bytes(32, 0xFF)));
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Hex(port.Exchange(Cmd({'N'}), 3)), "01 02 FD");
    // Late means after the program's 500 ms time-out has passed.
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(690));
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(StandSimCommand, ReplacesOnlyASymlink)
{
    TempDir dir;
    const std::string link = dir.file("COM1");
    ASSERT_EQ(symlink("/nonexistent", link.c_str()), 0);
    {
        SimProcess sim;
        ASSERT_TRUE(sim.Start(link));
        EXPECT_EQ(sim.Stop(), 0);
    }
    dir.write("COM2", "keep");
    const Outcome r = RunSim({"--link", dir.file("COM2")});
    EXPECT_EQ(r.exit, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("not a symlink"), std::string::npos) << r.err;
    EXPECT_EQ(dir.read("COM2"), "keep");
}

TEST(StandSimCommand, HelpAndBadOptions)
{
    const Outcome help = RunSim({"--help"});
    EXPECT_EQ(help.exit, 0);
    for (const char* part : {"--link PATH", "--scenario idle|production|silent", "--faults LIST", "drop=R",
                             "truncate=R", "corrupt=R", "late=R", "noise=R", "after=N", "65535", "0xEE",
                             "events.log"})
        EXPECT_NE(help.out.find(part), std::string::npos) << part;

    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--bogus"}, {"--link"}, {"--scenario", "idle"}, {"--link", "/tmp/x", "--faults", "drop=3"}}) {
        const Outcome r = RunSim(args);
        EXPECT_EQ(r.exit, 2) << args[0];
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_FALSE(r.err.empty());
    }
}
