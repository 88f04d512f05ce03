#pragma once
// A stand-sim child on a pseudo-terminal, reached the way the program reaches
// its stand: AppDataDir holds the link COM1, and a COM opens port 0.
#include "link/COM.h"
#include "link/StandProtocol.h"
#include "store/Func.h"
#include "support/SimProcess.h"
#include "support/TempDir.h"

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

class SimStand {
public:
    // args: stand-sim options after --link; a "--state-dir" without a folder
    // is given this stand's own state folder.
    explicit SimStand(std::vector<std::string> args = {}, bool startNow = true) : args_(std::move(args))
    {
        savedDataDir_ = AppDataDir;
        AppDataDir = dir_.dir();
        if (startNow)
            Start();
    }
    ~SimStand()
    {
        com.Close();
        sim_.Stop();
        AppDataDir = savedDataDir_;
    }
    SimStand(const SimStand&) = delete;
    SimStand& operator=(const SimStand&) = delete;

    // Starts (or restarts, with new options) the simulator and opens the port.
    bool Start(std::vector<std::string> args)
    {
        args_ = std::move(args);
        return Start();
    }
    bool Start()
    {
        Stop();
        std::vector<std::string> args = args_;
        for (size_t i = 0; i < args.size(); ++i)
            if (args[i] == "--state-dir" && (i + 1 == args.size() || args[i + 1].rfind("--", 0) == 0))
                args.insert(args.begin() + static_cast<long>(i) + 1, StateDir());
        if (!sim_.Start(dir_.file("COM1"), args))
            return false;
        com.Port = 0;
        com.BaudIndex = 11;
        com.Parity = 0;
        com.StopBits = 0;
        com.SetTimeout(500);
        return com.Open();
    }
    void Stop()
    {
        com.Close();
        if (sim_.Running())
            sim_.Stop();
    }

    std::string StateDir() const { return dir_.file("state"); }
    std::vector<uint8_t> StateFile(const std::string& name) const
    {
        std::ifstream in(StateDir() + "/" + name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void WriteStateFile(const std::string& name, const std::vector<uint8_t>& bytes) const
    {
        std::ofstream out(StateDir() + "/" + name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    const TempDir& Dir() const { return dir_; }

    COM com;
    StandLink link{com};

private:
    TempDir dir_;
    std::string savedDataDir_;
    std::vector<std::string> args_;
    SimProcess sim_;
};
