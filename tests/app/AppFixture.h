#pragma once
// The main window over a data folder in a temporary folder, optionally with
// the stand simulator answering as COM1. The poll timer is stopped: tests
// call Timer1Timer themselves.
#include "app/Umain.h"
#include "store/Func.h"
#include "support/QtPrint.h"
#include "support/SimProcess.h"
#include "support/TempDir.h"

#include <QTimer>
#include <filesystem>
#include <memory>

class AppFixture {
public:
    TempDir data;
    SimProcess sim;
    std::unique_ptr<TMainZorvaForm> window;

    // A port entry that leads nowhere: the machine has no port at all.
    void NoPort() { std::filesystem::create_symlink(data.file("no-such-tty"), data.file("COM1")); }

    bool StartSim(const std::vector<std::string>& args = {}) { return sim.Start(data.file("COM1"), args); }

    TMainZorvaForm& Open()
    {
        window = std::make_unique<TMainZorvaForm>(data.path());
        window->Timer1()->stop();
        window->FormCreate();
        window->Timer1()->stop();
        return *window;
    }

    // The close path of the window, as the close box takes it.
    void Close()
    {
        if (window)
            window->close();
        window.reset();
    }

    void Ticks(int n)
    {
        for (int i = 0; i < n; ++i)
            window->Timer1Timer();
    }

    ~AppFixture()
    {
        window.reset();
        AppDataDir.clear();
    }
};
