// Firmware upload and comparison of a full 32 KiB image through UploadFirmware
// and CompareFirmware against stand-sim --pace (the stand's real byte rate).
// Each is 1024 block exchanges of 69 bytes (36 + 33) at 115200 baud, 10 bits a
// byte: 6.13 s of wire time. Printed: the ratio of each run to that, goal <= 1.10;
// for the comparison also the ratio to its own line time (1024 x 37 bytes, 3.29 s).
// usage: firmware_bench [path/to/stand-sim] [runs]   (default: beside this program, or ../sim/)
#include "link/COM.h"
#include "link/StandProtocol.h"
#include "service/FirmwareTransfer.h"
#include "store/Func.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <poll.h>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kGoal = 1.10;
constexpr double kWireSeconds = 1024.0 * 69 * 10 / 115200;
// A FLASH read is a 4-byte command and a 33-byte reply: the comparison's own line time.
constexpr double kReadWireSeconds = 1024.0 * 37 * 10 / 115200;

std::string SelfDir()
{
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    const std::string p(buf, static_cast<size_t>(n));
    return p.substr(0, p.rfind('/'));
}

std::string FindSim(int argc, char** argv)
{
    if (argc > 1 && argv[1][0] != '\0')
        return argv[1];
    const std::string dir = SelfDir();
    for (const std::string& p : {dir + "/stand-sim", dir + "/../sim/stand-sim"})
        if (access(p.c_str(), X_OK) == 0)
            return p;
    return {};
}

// stand-sim --pace as a child; ready once it printed its "ready" line.
class Sim {
public:
    ~Sim() { Stop(); }
    bool Start(const std::string& exe, const std::string& link)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        pid_ = fork();
        if (pid_ < 0)
            return false;
        if (pid_ == 0) {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            close(fds[1]);
            execl(exe.c_str(), exe.c_str(), "--link", link.c_str(), "--pace", static_cast<char*>(nullptr));
            _exit(127);
        }
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

}  // namespace

int main(int argc, char** argv)
{
    const std::string exe = FindSim(argc, argv);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    if (exe.empty()) {
        std::fprintf(stderr, "firmware_bench: stand-sim not found\n");
        return 2;
    }
    char dirTemplate[] = "/tmp/firmware_bench.XXXXXX";
    if (!mkdtemp(dirTemplate))
        return 2;
    const std::string dir = dirTemplate;
    AppDataDir = dir + "/";
    Sim sim;
    COM com;
    int status = 0;
    if (!sim.Start(exe, dir + "/COM1")) {
        std::fprintf(stderr, "firmware_bench: stand-sim did not start\n");
        status = 2;
    } else {
        com.Port = 0;
        com.BaudIndex = 11;
        com.Parity = 0;
        com.StopBits = 0;
        com.SetTimeout(500);
        if (!com.Open()) {
            std::fprintf(stderr, "firmware_bench: cannot open the link\n");
            status = 2;
        }
    }
    if (status == 0) {
        StandLink link(com);
        auto fw = std::make_unique<FirmwareImage>();
        ClearFirmwareImage(*fw);
        std::mt19937 rng(1);
        for (int i = 0; i < MaxFirmwareLength; ++i)
            fw->image[i] = static_cast<uint8_t>(rng());
        int blocks = 0;
        const TransferProgress progress{[](int) {}, [&blocks](int) { ++blocks; }};
        std::printf("firmware_bench: 32768 bytes, 1024 blocks, wire time %.2f s, goal ratio <= %.2f\n", kWireSeconds, kGoal);
        double worstUp = 0, worstCmp = 0;
        for (int run = 0; run < runs; ++run) {
            blocks = 0;
            auto t0 = Clock::now();
            const UploadResult up = UploadFirmware(link, *fw, MaxFirmwareLength, progress);
            const double upSeconds = std::chrono::duration<double>(Clock::now() - t0).count();
            const int upBlocks = blocks;
            blocks = 0;
            t0 = Clock::now();
            const CompareResult cmp = CompareFirmware(link, *fw, MaxFirmwareLength, progress);
            const double cmpSeconds = std::chrono::duration<double>(Clock::now() - t0).count();
            if (up != UploadResult::Ok || cmp != CompareResult::Match || upBlocks != 1024 || blocks != 1024) {
                std::fprintf(stderr, "firmware_bench: run %d failed: %s / %s\n", run + 1,
                             ResultText(up).toStdString().c_str(), ResultText(cmp).toStdString().c_str());
                status = 1;
                break;
            }
            // The upload also writes 18 EPROM bytes (4 + 2 bytes each) and the comparison
            // reads one EPROM block (3 + 33); they are part of the command, so they are counted.
            std::printf("run %d: upload %.3f s, ratio %.3f; compare %.3f s, ratio %.3f (%.3f to its own line time)\n",
                        run + 1, upSeconds, upSeconds / kWireSeconds, cmpSeconds, cmpSeconds / kWireSeconds,
                        cmpSeconds / kReadWireSeconds);
            worstUp = std::max(worstUp, upSeconds / kWireSeconds);
            worstCmp = std::max(worstCmp, cmpSeconds / kWireSeconds);
        }
        if (status == 0) {
            std::printf("worst: upload ratio %.3f %s; compare ratio %.3f %s\n", worstUp, worstUp <= kGoal ? "ok" : "OVER GOAL",
                        worstCmp, worstCmp <= kGoal ? "ok" : "OVER GOAL");
            if (worstUp > kGoal || worstCmp > kGoal)
                status = 1;
        }
    }
    com.Close();
    sim.Stop();
    std::system(("rm -rf '" + dir + "'").c_str());
    return status;
}
