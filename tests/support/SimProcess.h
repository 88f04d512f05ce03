#pragma once
// The stand simulator as a child process on a pseudo-terminal:
// stand-sim --link <path> <args...>. Start() returns once the link exists.
#include <string>
#include <vector>

class SimProcess {
public:
    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts the simulator with its link at linkPath; false when it did not
    // report ready within a few seconds.
    bool Start(const std::string& linkPath, const std::vector<std::string>& args = {});
    // SIGTERM, then wait for it; returns its exit status (or -1).
    int Stop();
    // SIGKILL without letting it clean up: the port vanishes under the program.
    void Kill();
    bool Running() const { return pid_ > 0; }
    int Pid() const { return pid_; }
    const std::string& Link() const { return link_; }

private:
    int pid_ = -1;
    int out_ = -1;
    std::string link_;
};
