#pragma once
// The program's start: its two options, the windows made at start, the
// message loop, and the close on SIGTERM and SIGINT.
#include <string>

class QApplication;

struct StartupOptions {
    std::string dataDir;  // --data-dir DIR: replaces the shared data folder
    bool help = false;
};

bool ParseStartupOptions(int argc, char** argv, StartupOptions& options, std::string& error);
std::string StartupUsage();

// Creates the main window and the hidden dialog windows, runs the loop until
// the main window closes; SIGTERM and SIGINT close it the normal way.
int RunApplication(QApplication& app, const StartupOptions& options);
