#pragma once
// A pseudo-terminal whose terminal side is reachable as AppDataDir + "COM<n+1>",
// with the master side in the test's hands playing the stand.
#include "link/COM.h"
#include "store/Func.h"
#include "support/TempDir.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using Bytes = std::vector<uint8_t>;

class PtyPort {
public:
    explicit PtyPort(int32_t port = 11) : port_(port)
    {
        savedDataDir_ = AppDataDir;
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0)
            slave_ = ptsname(master_);
        AppDataDir = dir_.dir();
        if (!slave_.empty())
            symlink(slave_.c_str(), LinkPath().c_str());
    }
    ~PtyPort()
    {
        CloseMaster();
        AppDataDir = savedDataDir_;
    }
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    bool Ok() const { return master_ >= 0 && !slave_.empty(); }
    int32_t Port() const { return port_; }
    std::string LinkPath() const { return dir_.file("COM" + std::to_string(port_ + 1)); }
    const TempDir& Dir() const { return dir_; }

    // The line settings the program uses, with a given time-out constant.
    void Configure(COM& com, uint32_t timeoutMs = 500) const
    {
        com.Port = port_;
        com.BaudIndex = 11;
        com.Parity = 0;
        com.StopBits = 0;
        com.SetTimeout(timeoutMs);
    }

    void Send(const Bytes& bytes) const
    {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                return;
            done += static_cast<size_t>(n);
        }
    }

    // Up to n bytes the program sent, waiting at most timeoutMs in all.
    Bytes Receive(size_t n, int timeoutMs = 2000) const
    {
        Bytes out;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (out.size() < n) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0 || !(p.revents & POLLIN))
                break;
            uint8_t buf[256];
            ssize_t r = ::read(master_, buf, std::min(sizeof buf, n - out.size()));
            if (r <= 0)
                break;
            out.insert(out.end(), buf, buf + r);
        }
        return out;
    }

    // Bytes that reached the master within a short wait (none expected).
    Bytes Drain(int timeoutMs = 50) const { return Receive(4096, timeoutMs); }

    // The port vanishes: the stand's side is gone.
    void CloseMaster()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    int32_t port_;
    TempDir dir_;
    std::string savedDataDir_;
    int master_ = -1;
    std::string slave_;
};

inline int64_t ElapsedMs(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
}

// Waits until the program's side has at least one byte to read.
inline bool WaitReadable(int fd, int timeoutMs = 2000)
{
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, timeoutMs) == 1 && (p.revents & POLLIN);
}
