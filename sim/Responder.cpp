#include "Responder.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <utility>

namespace standsim {

Responder::Responder(StandModel& model, const FaultPlan& faults, uint64_t seed, bool pace, EventSink events)
    : model_(model), faults_(faults, seed), pace_(pace), events_(std::move(events))
{
}

std::string Responder::EventLine(const StatusReply& r, bool faulted)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "%02X %02u-%05u %u %u %s", r.events, unsigned(r.serial.year),
                  unsigned(r.serial.number), unsigned(r.state), unsigned(r.microamps),
                  faulted ? "faulted" : "intact");
    return buf;
}

std::vector<OutChunk> Responder::Feed(const uint8_t* data, size_t n, int64_t nowUs)
{
    std::vector<OutChunk> out;
    for (const Frame& frame : reader_.Push(data, n, nowUs)) {
        const auto reply = model_.Answer(frame.bytes, nowUs / 1000);
        if (!reply)
            continue;
        std::optional<StatusReply> status;
        if (frame.bytes[0] == 'S' && reply->size() == 13 && (*reply)[11] != 0 && events_)
            status = StatusReply::Decode(*reply);
        FaultedReply f = faults_.Apply(std::move(*reply));
        if (status)
            events_(EventLine(*status, f.kind != FaultKind::None));
        if (onExchange)
            onExchange(frame.bytes, f);
        if (f.bytes.empty())
            continue;
        if (!pace_) {
            out.push_back({std::move(f.bytes), nowUs + (f.late ? FaultInjector::kLateMs * 1000 : 0)});
            continue;
        }
        // A reply starts once the command has had its own wire time; each byte is handed
        // over when its stop bit would have ended on a real line.
        int64_t start = std::max(frame.firstByteUs + WireUs(frame.bytes.size()), nowUs);
        if (f.late)
            start = nowUs + FaultInjector::kLateMs * 1000;
        else
            start = std::max(start, lineFreeUs_);
        for (size_t i = 0; i < f.bytes.size(); ++i)
            out.push_back({Bytes{f.bytes[i]}, start + WireUs(i + 1)});
        if (!f.late)
            lineFreeUs_ = start + WireUs(f.bytes.size());
    }
    std::stable_sort(out.begin(), out.end(), [](const OutChunk& a, const OutChunk& b) { return a.dueUs < b.dueUs; });
    return out;
}

} // namespace standsim
