#pragma once
// The stand's end of the line: a pseudo-terminal whose slave a symlink points to.
#include "Responder.h"

#include <csignal>
#include <deque>
#include <string>

namespace standsim {

class PtyServer {
public:
    PtyServer() = default;
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Opens the terminal (raw, 115200 8N1) and makes link a symlink to its slave.
    // A link path that exists and is not a symlink is left alone: false.
    bool Open(const std::string& link, std::string* err);
    const std::string& SlavePath() const { return slavePath_; }

    // Answers until *stop becomes non-zero or RequestStop() is called. For the
    // command, SIGTERM and SIGINT are blocked by the caller; they are let through
    // only while waiting, so none is missed.
    bool Run(Responder& responder, volatile std::sig_atomic_t* stop, std::string* err);
    // From another thread (a test running the stand in-process): makes Run return.
    void RequestStop();

    // Removes the link (when it still points to this terminal) and closes the terminal.
    void Close();

    static int64_t NowUs();

private:
    bool Flush(int64_t nowUs);

    int master_ = -1;
    int wake_ = -1;  // eventfd for RequestStop
    int slave_ = -1; // held open: the master never sees a hang-up when the program closes
    std::string slavePath_;
    std::string link_;
    std::deque<OutChunk> queue_; // by due time
    size_t written_ = 0;         // of the front chunk
    Bytes batch_;                // due chunks joined for one write; kept for its capacity
};

} // namespace standsim
