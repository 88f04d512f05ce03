#pragma once
// From bytes received to bytes to send, with their times: frames are cut, the
// model answers, faults are applied, events are logged, and --pace spreads each
// reply over the wire time of a real 115200-baud line. No I/O of its own, so
// tests drive it with any clock.
#include "Faults.h"
#include "FrameReader.h"
#include "StandModel.h"

#include <functional>
#include <string>
#include <vector>

namespace standsim {

struct OutChunk {
    Bytes bytes;
    int64_t dueUs = 0; // not to be written before this time
};

// Wire time of n bytes at 115200 baud, 10 bits a byte (86.8 us each).
constexpr int64_t WireUs(size_t n) { return static_cast<int64_t>(n) * 10'000'000 / 115200; }

class Responder {
public:
    using EventSink = std::function<void(const std::string& line)>;

    Responder(StandModel& model, const FaultPlan& faults, uint64_t seed, bool pace, EventSink events = {});

    // Bytes that arrived at nowUs; returns what to send and when, in order of time.
    std::vector<OutChunk> Feed(const uint8_t* data, size_t n, int64_t nowUs);

    // "<events hex> <year>-<number> <state> <microamps> intact|faulted"
    static std::string EventLine(const StatusReply& r, bool faulted);

    const FrameReader& Reader() const { return reader_; }

    // Told of every answered frame and what went on the line for it (tracing).
    std::function<void(const Bytes& frame, const FaultedReply& reply)> onExchange;

private:
    StandModel& model_;
    FrameReader reader_;
    FaultInjector faults_;
    bool pace_;
    EventSink events_;
    int64_t lineFreeUs_ = 0;
};

} // namespace standsim
