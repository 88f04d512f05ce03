#include "Options.h"

#include <charconv>

namespace standsim {

namespace {

template <typename T>
bool ParseNumber(const std::string& s, T lo, T hi, T& out)
{
    T v{};
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc{} || p != s.data() + s.size() || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

} // namespace

std::string Usage()
{
    return R"(usage: stand-sim --link PATH [--scenario idle|production|silent] [--stand N]
                 [--fw-version V] [--cycle-ms MS] [--pace] [--faults LIST]
                 [--seed N] [--state-dir DIR] [--help]

A test stand on a pseudo-terminal. PATH becomes a symlink to the terminal (an
existing PATH is replaced only when it is a symlink); once it exists the one
line "stand-sim: ready <terminal>" goes to stdout. SIGTERM or SIGINT removes the
link and ends the program.

  --link PATH        where the symlink to the terminal goes (required)
  --scenario S       idle: state 255, the serial of the last board (default)
                     production: boards are programmed and tested, events are sent
                     silent: nothing is ever answered
  --stand N          stand number in EPROM 10h, 0..255 (default 1); also
                     overrides the number kept in --state-dir
  --fw-version V     firmware version reported by 'N' (default 2)
  --cycle-ms MS      production: one board from programming to test result
                     (default 30000, at least 10)
  --pace             send replies at the real 115200-baud byte rate
  --faults LIST      faults on replies, LIST = item{,item}:
                       drop=R      no reply
                       truncate=R  only part of the reply
                       corrupt=R   one byte changed, or the first byte changed
                                   with the check byte fixed
                       late=R      the reply comes after 700 ms
                       noise=R     random bytes before the reply
                       after=N     the first N replies are left alone
                     R is a rate per reply from 0 to 1, one fault per reply, the
                     rates adding up to at most 1; e.g. "drop=1,after=18" fails
                     every reply from the 19th on
  --seed N           seed of the boards' and the faults' random draws (default 1)
  --state-dir DIR    eprom.bin and flash.bin are loaded from DIR and written
                     through after every change; DIR/events.log gets one line per
                     status reply that carried an event:
                       <events hex> <year>-<number> <state> <microamps> intact|faulted

Test hooks of the serial write ('A', then 'a'): the result is 1 (in progress)
for 300 ms, then 2 (written: the board holds the number); number 0 gives 3
(failed) after 300 ms; number 65535 stays at 1 for ever; year 0xEE (238) gives 0
after 300 ms.

STAND_SIM_LOG=1 in the environment traces frames and events on stderr.
)";
}

ParseResult ParseOptions(const std::vector<std::string>& args, Options& out, std::string* err)
{
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        if (const size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            hasValue = true;
        }
        auto take = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= args.size()) {
                *err = name + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        auto bad = [&](const char* what) {
            *err = name + ": " + what + ": " + value;
            return ParseResult::Error;
        };

        if (name == "--help" || name == "-h") {
            return ParseResult::Help;
        } else if (name == "--pace") {
            if (hasValue)
                return bad("takes no value");
            o.pace = true;
        } else if (name == "--link") {
            if (!take())
                return ParseResult::Error;
            if (value.empty())
                return bad("empty path");
            o.link = value;
        } else if (name == "--scenario") {
            if (!take())
                return ParseResult::Error;
            if (value == "idle")
                o.model.scenario = Scenario::Idle;
            else if (value == "production")
                o.model.scenario = Scenario::Production;
            else if (value == "silent")
                o.model.scenario = Scenario::Silent;
            else
                return bad("not idle, production or silent");
        } else if (name == "--stand") {
            if (!take())
                return ParseResult::Error;
            if (!ParseNumber<uint8_t>(value, 0, 255, o.model.stand))
                return bad("not a number 0..255");
            o.standGiven = true;
        } else if (name == "--fw-version") {
            if (!take())
                return ParseResult::Error;
            if (!ParseNumber<uint8_t>(value, 0, 255, o.model.fwVersion))
                return bad("not a number 0..255");
        } else if (name == "--cycle-ms") {
            if (!take())
                return ParseResult::Error;
            if (!ParseNumber<int64_t>(value, 10, 86'400'000, o.model.cycleMs))
                return bad("not a number 10..86400000");
        } else if (name == "--seed") {
            if (!take())
                return ParseResult::Error;
            if (!ParseNumber<uint64_t>(value, 0, UINT64_MAX, o.model.seed))
                return bad("not a whole number");
        } else if (name == "--faults") {
            if (!take())
                return ParseResult::Error;
            std::string why;
            if (!ParseFaultPlan(value, o.faults, &why)) {
                *err = "--faults: " + why;
                return ParseResult::Error;
            }
        } else if (name == "--state-dir") {
            if (!take())
                return ParseResult::Error;
            if (value.empty())
                return bad("empty path");
            o.stateDir = value;
        } else {
            *err = "unknown option: " + args[i];
            return ParseResult::Error;
        }
    }
    if (o.link.empty()) {
        *err = "--link PATH is required";
        return ParseResult::Error;
    }
    out = o;
    return ParseResult::Run;
}

} // namespace standsim
