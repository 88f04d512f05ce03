// The built program as the operator starts it: its options, and the close on
// SIGTERM and SIGINT that writes the settings like the close box does.
#include "support/SimProcess.h"
#include "support/TempDir.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

struct Run {
    pid_t pid = -1;
    std::string out;
};

pid_t Spawn(const std::vector<std::string>& args, const std::string& outFile)
{
    std::vector<char*> argv;
    std::vector<std::string> copy = args;
    for (auto& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, outFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    pid_t pid = -1;
    posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int Wait(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The program has read its settings once the file exists (the load creates it).
bool WaitForFile(const std::string& path, pid_t pid)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!std::filesystem::exists(path) && std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::filesystem::exists(path);
}

}  // namespace

TEST(Program, HelpAndUnknownOptions)
{
    TempDir tmp;
    const std::string out = tmp.file("out.txt");
    EXPECT_EQ(Wait(Spawn({STENDZORVA_PATH, "--help"}, out)), 0);
    EXPECT_NE(tmp.read("out.txt").find("--data-dir DIR"), std::string::npos);
    EXPECT_EQ(Wait(Spawn({STENDZORVA_PATH, "--port", "3"}, out)), 2);
    EXPECT_NE(tmp.read("out.txt").find("unknown option --port"), std::string::npos);
    EXPECT_EQ(Wait(Spawn({STENDZORVA_PATH, "--data-dir"}, out)), 2);
}

TEST(Program, TerminationSignalsCloseTheNormalWay)
{
    for (int sig : {SIGTERM, SIGINT}) {
        TempDir data;
        SimProcess sim;
        ASSERT_TRUE(sim.Start(data.file("COM1")));
        pid_t pid = Spawn({STENDZORVA_PATH, "--data-dir", data.path()}, data.file("out.txt"));
        ASSERT_TRUE(WaitForFile(data.file("StendZorva.ini"), pid)) << data.read("out.txt");
        kill(pid, sig);
        EXPECT_EQ(Wait(pid), 0) << data.read("out.txt");
        std::string ini = data.read("StendZorva.ini");
        EXPECT_NE(ini.find("[SETUP]\r\nComPort=0\r\n"), std::string::npos) << ini;
        EXPECT_NE(ini.find("[MainZorvaForm]\r\nLeft="), std::string::npos) << ini;
    }
}
