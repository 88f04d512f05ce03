#pragma once
// Frames built the way the PC builds them, for driving the stand model.
#include "Protocol.h"

#include <algorithm>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace simtest {

inline standsim::Bytes Cmd(std::initializer_list<uint8_t> body)
{
    standsim::Bytes b(body);
    standsim::AppendCheck(b);
    return b;
}

inline standsim::Bytes Cmd(standsim::Bytes b)
{
    standsim::AppendCheck(b);
    return b;
}

inline std::string Hex(const standsim::Bytes& b)
{
    static const char* d = "0123456789ABCDEF";
    std::string s;
    for (uint8_t v : b) {
        if (!s.empty())
            s += ' ';
        s += d[v >> 4];
        s += d[v & 15];
    }
    return s;
}

// The program's end of the line, opened through the link.
class Port {
public:
    explicit Port(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY))
    {
        termios t{};
        if (fd_ >= 0 && tcgetattr(fd_, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(fd_, TCSANOW, &t);
        }
    }
    ~Port()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    // Sends a frame and reads up to n bytes, giving up 2 s after the last byte.
    standsim::Bytes Exchange(const standsim::Bytes& frame, size_t n)
    {
        tcflush(fd_, TCIOFLUSH);
        if (write(fd_, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size()))
            return {};
        standsim::Bytes got;
        while (got.size() < n) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 2000) <= 0)
                break;
            uint8_t buf[64];
            const ssize_t r = read(fd_, buf, std::min(sizeof buf, n - got.size()));
            if (r <= 0)
                break;
            got.insert(got.end(), buf, buf + r);
        }
        return got;
    }

private:
    int fd_;
};

} // namespace simtest
