#pragma once
// Cuts the byte stream from the PC into command frames.
#include "Protocol.h"

#include <cstdint>
#include <vector>

namespace standsim {

struct Frame {
    Bytes bytes;
    int64_t firstByteUs = 0; // when its first byte arrived
};

class FrameReader {
public:
    // A partial frame older than this when new bytes arrive is stale: the PC
    // sends its frames whole, so what is left over belongs to nobody.
    static constexpr int64_t kStaleUs = 100'000;

    // Takes bytes received at nowUs and returns the valid frames completed by them.
    // Bytes that start no command are dropped; a complete frame with a bad sum is
    // dropped by its first byte only, and the search goes on from the next byte.
    std::vector<Frame> Push(const uint8_t* data, size_t n, int64_t nowUs);

    size_t Pending() const { return buf_.size(); }
    size_t Rejected() const { return rejected_; } // complete frames with a bad sum

private:
    struct Byte {
        uint8_t value;
        int64_t atUs;
    };
    // The consumed front is cut off once per Push, so the buffer keeps its
    // capacity and a steady exchange allocates nothing here.
    std::vector<Byte> buf_;
    int64_t lastUs_ = 0;
    size_t rejected_ = 0;
};

} // namespace standsim
