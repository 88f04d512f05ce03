#include "support/SimProcess.h"

#include <csignal>
#include <cstring>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

SimProcess::~SimProcess()
{
    if (pid_ > 0)
        Stop();
}

bool SimProcess::Start(const std::string& linkPath, const std::vector<std::string>& args)
{
    int pipefd[2];
    if (pipe(pipefd) != 0)
        return false;
    std::vector<std::string> argv{STAND_SIM_PATH, "--link", linkPath};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_t pid = fork();
    if (pid < 0) {
        close(pipefd[0]);
        close(pipefd[1]);
        return false;
    }
    if (pid == 0) {
        dup2(pipefd[1], STDOUT_FILENO);
        close(pipefd[0]);
        close(pipefd[1]);
        std::vector<char*> cargv;
        for (auto& a : argv)
            cargv.push_back(a.data());
        cargv.push_back(nullptr);
        execv(cargv[0], cargv.data());
        _exit(127);
    }
    close(pipefd[1]);
    pid_ = pid;
    out_ = pipefd[0];
    link_ = linkPath;
    // The simulator prints one line "stand-sim: ready ..." once the link exists.
    std::string got;
    for (;;) {
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, 10000) <= 0)
            break;
        char buf[256];
        ssize_t n = read(out_, buf, sizeof buf);
        if (n <= 0)
            break;
        got.append(buf, static_cast<size_t>(n));
        if (got.find("ready") != std::string::npos && got.find('\n') != std::string::npos)
            return true;
    }
    Stop();
    return false;
}

int SimProcess::Stop()
{
    if (pid_ <= 0)
        return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    if (out_ >= 0)
        close(out_);
    out_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void SimProcess::Kill()
{
    if (pid_ <= 0)
        return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    if (out_ >= 0)
        close(out_);
    out_ = -1;
}
