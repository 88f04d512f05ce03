#include "Faults.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace standsim {

namespace {

bool ParseRate(std::string_view v, double& out)
{
    if (v.empty() || v.size() > 32)
        return false;
    std::string s(v);
    char* end = nullptr;
    out = std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size() && std::isfinite(out) && out >= 0.0 && out <= 1.0;
}

} // namespace

bool ParseFaultPlan(std::string_view text, FaultPlan& out, std::string* err)
{
    FaultPlan plan;
    while (!text.empty()) {
        const size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        if (item.empty())
            continue;
        const size_t eq = item.find('=');
        if (eq == std::string_view::npos) {
            *err = "fault item without '=': " + std::string(item);
            return false;
        }
        const std::string_view name = item.substr(0, eq);
        const std::string_view value = item.substr(eq + 1);
        if (name == "after") {
            auto [p, ec] = std::from_chars(value.data(), value.data() + value.size(), plan.after);
            if (ec != std::errc{} || p != value.data() + value.size() || value.empty()) {
                *err = "after= needs a whole number: " + std::string(item);
                return false;
            }
            continue;
        }
        double* rate = name == "drop"       ? &plan.drop
                       : name == "truncate" ? &plan.truncate
                       : name == "corrupt"  ? &plan.corrupt
                       : name == "late"     ? &plan.late
                       : name == "noise"    ? &plan.noise
                                            : nullptr;
        if (!rate) {
            *err = "unknown fault: " + std::string(name);
            return false;
        }
        if (!ParseRate(value, *rate)) {
            *err = "fault rate must be a number from 0 to 1: " + std::string(item);
            return false;
        }
    }
    if (plan.drop + plan.truncate + plan.corrupt + plan.late + plan.noise > 1.0 + 1e-9) {
        *err = "fault rates add up to more than 1";
        return false;
    }
    out = plan;
    return true;
}

const char* FaultName(FaultKind k)
{
    switch (k) {
    case FaultKind::None: return "none";
    case FaultKind::Drop: return "drop";
    case FaultKind::Truncate: return "truncate";
    case FaultKind::Corrupt: return "corrupt";
    case FaultKind::Late: return "late";
    case FaultKind::Noise: return "noise";
    }
    return "?";
}

FaultInjector::FaultInjector(const FaultPlan& plan, uint64_t seed)
    : plan_(plan), rng_(seed ^ 0x9E3779B97F4A7C15ull) // a stream of its own, apart from the boards'
{
}

FaultedReply FaultInjector::Apply(Bytes reply)
{
    const size_t size = reply.size();
    FaultedReply out;
    out.bytes = std::move(reply);
    const uint64_t n = ++replies_;
    if (n <= plan_.after || !plan_.Any() || size == 0)
        return out;

    const double r = Uniform();
    double edge = plan_.drop;
    if (r < edge) {
        out.kind = FaultKind::Drop;
        out.bytes.clear();
        return out;
    }
    if (r < (edge += plan_.truncate)) {
        out.kind = FaultKind::Truncate;
        out.bytes.resize(size > 1 ? 1 + Rand(static_cast<uint32_t>(size - 1)) : 0);
        return out;
    }
    if (r < (edge += plan_.corrupt)) {
        out.kind = FaultKind::Corrupt;
        const uint8_t delta = static_cast<uint8_t>(1 + Rand(255));
        if (size >= 2 && Rand(2) == 0) {
            // The first byte (an echo, or the state) is wrong while the sum still holds:
            // only the program's own checks of the content can tell.
            out.bytes.front() = static_cast<uint8_t>(out.bytes.front() + delta);
            out.bytes.back() = static_cast<uint8_t>(out.bytes.back() - delta);
        } else {
            const size_t at = Rand(static_cast<uint32_t>(size));
            out.bytes[at] = static_cast<uint8_t>(out.bytes[at] + delta);
        }
        return out;
    }
    if (r < (edge += plan_.late)) {
        out.kind = FaultKind::Late;
        out.late = true;
        return out;
    }
    if (r < (edge += plan_.noise)) {
        out.kind = FaultKind::Noise;
        Bytes noise(1 + Rand(8));
        for (auto& b : noise)
            b = static_cast<uint8_t>(rng_());
        out.bytes.insert(out.bytes.begin(), noise.begin(), noise.end());
        return out;
    }
    return out;
}

} // namespace standsim
