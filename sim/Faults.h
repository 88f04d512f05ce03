#pragma once
// Faults on the stand's replies, to exercise the program's checks:
//   LIST = item{,item}   item = drop=R | truncate=R | corrupt=R | late=R | noise=R | after=N
// R is a rate per reply from 0 to 1 (the rates add up to at most 1: one fault per reply);
// after=N leaves the first N replies alone.
#include "Protocol.h"

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

namespace standsim {

struct FaultPlan {
    double drop = 0, truncate = 0, corrupt = 0, late = 0, noise = 0;
    uint64_t after = 0;
    bool Any() const { return drop + truncate + corrupt + late + noise > 0; }
};

// False with a reason for an unknown name, a rate outside 0..1, rates adding up to
// more than 1, or a malformed number.
bool ParseFaultPlan(std::string_view text, FaultPlan& out, std::string* err);

enum class FaultKind { None, Drop, Truncate, Corrupt, Late, Noise };
const char* FaultName(FaultKind k);

// What goes on the line for one reply.
struct FaultedReply {
    FaultKind kind = FaultKind::None;
    Bytes bytes;       // noise first, then the (possibly changed) reply; empty when dropped
    bool late = false; // to be sent only after kLateMs
};

class FaultInjector {
public:
    static constexpr int64_t kLateMs = 700;

    FaultInjector(const FaultPlan& plan, uint64_t seed);
    // Decides the fate of the next reply and applies it.
    FaultedReply Apply(Bytes reply);  // by value: a reply handed over is not copied
    uint64_t Replies() const { return replies_; }

private:
    double Uniform() { return static_cast<double>(rng_() >> 11) * 0x1.0p-53; }
    uint32_t Rand(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }

    FaultPlan plan_;
    std::mt19937_64 rng_;
    uint64_t replies_ = 0;
};

} // namespace standsim
