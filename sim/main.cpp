// stand-sim: the test stand on a pseudo-terminal. See Usage() for the command line.
#include "Options.h"
#include "PtyServer.h"
#include "Responder.h"
#include "StandModel.h"
#include "StateStore.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <sys/prctl.h>

using namespace standsim;

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

bool Verbose()
{
    const char* v = std::getenv("STAND_SIM_LOG");
    return v && *v && *v != '0';
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    Options opt;
    std::string err;
    switch (ParseOptions(args, opt, &err)) {
    case ParseResult::Help:
        std::fputs(Usage().c_str(), stdout);
        return 0;
    case ParseResult::Error:
        std::fprintf(stderr, "stand-sim: %s\n(stand-sim --help shows the usage)\n", err.c_str());
        return 2;
    case ParseResult::Run:
        break;
    }

    // Blocked from here on; the server lets them through only while it waits.
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGTERM);
    sigaddset(&mask, SIGINT);
    sigprocmask(SIG_BLOCK, &mask, nullptr);
    struct sigaction sa{};
    sa.sa_handler = OnSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    StandModel model(opt.model, PtyServer::NowUs() / 1000);
    std::unique_ptr<StateStore> store;
    if (!opt.stateDir.empty()) {
        store = std::make_unique<StateStore>(opt.stateDir);
        const auto standOverride = opt.standGiven ? std::optional<uint8_t>(opt.model.stand) : std::nullopt;
        if (!AttachStore(model, *store, standOverride, &err)) {
            std::fprintf(stderr, "stand-sim: %s\n", err.c_str());
            return 1;
        }
    }

    const bool verbose = Verbose();
    Responder::EventSink sink;
    if (store || verbose) {
        StateStore* s = store.get();
        sink = [s, verbose](const std::string& line) {
            if (s)
                s->AppendEventLine(line);
            if (verbose)
                std::fprintf(stderr, "stand-sim: event %s\n", line.c_str());
        };
    }
    Responder responder(model, opt.faults, opt.model.seed, opt.pace, sink);
    if (verbose) {
        responder.onExchange = [](const Bytes& frame, const FaultedReply& reply) {
            // A faulted reply's bytes as sent, so a soak can tell which of them a program may accept.
            std::string sent;
            if (reply.kind != FaultKind::None) {
                sent = " =";
                char hex[4];
                for (uint8_t b : reply.bytes) {
                    std::snprintf(hex, sizeof hex, " %02X", b);
                    sent += hex;
                }
            }
            std::fprintf(stderr, "stand-sim: %c -> %zu bytes%s%s%s\n", frame[0], reply.bytes.size(),
                         reply.kind == FaultKind::None ? "" : ", fault: ", reply.kind == FaultKind::None ? "" : FaultName(reply.kind),
                         sent.c_str());
        };
    }
    // Byte-rate pacing wants wake-ups close to the microseconds asked for.
    if (opt.pace)
        prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

    PtyServer server;
    if (!server.Open(opt.link, &err)) {
        std::fprintf(stderr, "stand-sim: %s\n", err.c_str());
        return 1;
    }
    std::printf("stand-sim: ready %s\n", server.SlavePath().c_str());
    std::fflush(stdout);

    const bool ok = server.Run(responder, &g_stop, &err);
    server.Close();
    if (!ok) {
        std::fprintf(stderr, "stand-sim: %s\n", err.c_str());
        return 1;
    }
    return 0;
}
