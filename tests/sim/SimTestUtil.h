#pragma once
// Frames built the way the PC builds them, for driving the stand model.
#include "Protocol.h"

#include <initializer_list>
#include <string>

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

} // namespace simtest
