#pragma once
// Reading what the simulator says it sent, and what the program wrote of it.
#include "app/AppFixture.h"
#include "platform/Text.h"

#include <QDir>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace production {

inline std::vector<std::string> Lines(const std::string& bytes, const std::string& sep)
{
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find(sep, pos);
        if (end == std::string::npos)
            end = bytes.size();
        out.push_back(bytes.substr(pos, end - pos));
        pos = end + sep.size();
    }
    return out;
}

struct SimEvent {
    int events;
    std::string serial;
    int state;
    int microamps;
    bool intact;
};

inline std::vector<SimEvent> ReadSimEvents(const std::string& text)
{
    std::vector<SimEvent> out;
    for (const std::string& line : Lines(text, "\n")) {
        std::istringstream in(line);
        std::string hex, serial, kind;
        int state = 0, microamps = 0;
        if (in >> hex >> serial >> state >> microamps >> kind)
            out.push_back({std::stoi(hex, nullptr, 16), serial, state, microamps, kind == "intact"});
    }
    return out;
}

// The journal lines one status reply's events give, in the writer's order.
inline std::vector<std::string> ExpectedFields(const SimEvent& e, int stand)
{
    std::vector<std::string> out;
    auto line = [&](const QString& action, const QString& result) {
        return e.serial + ";" + ToCp1251(action) + ";" + std::to_string(e.microamps) + ";" + ToCp1251(result) + ";" +
               std::to_string(stand) + ";";
    };
    if (e.events & 0x01)
        out.push_back(line((e.events & 0x04) ? "Программирование" : "Повтор програм.", "OK"));
    if (e.events & 0x02)
        out.push_back(line("Программирование", "Ошибка " + QString::number(e.state)));
    if (e.events & 0x08)
        out.push_back(line("Тестирование", "OK"));
    return out;
}

// Date and time are the writer's own; the rest of the line must match the stand's event.
inline std::string WithoutDateTime(const std::string& line)
{
    size_t first = line.find(';');
    size_t second = line.find(';', first + 1);
    return line.substr(second + 1);
}

class CurrentDir {
public:
    explicit CurrentDir(const QString& dir) : old_(QDir::currentPath()) { QDir::setCurrent(dir); }
    ~CurrentDir() { QDir::setCurrent(old_); }

private:
    QString old_;
};

inline void WriteLabelStandIn(const std::string& path, const std::string& record)
{
    std::ofstream out(path);
    out << "#!/bin/sh\necho \"$(basename \"$0\") $*\" >> '" << record << "'\n";
    out.close();
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

// Test-passed events the simulator has sent so far.
inline int PassedBoards(const TempDir& state)
{
    int n = 0;
    for (const SimEvent& e : ReadSimEvents(state.read("events.log")))
        n += (e.events & 0x08) ? 1 : 0;
    return n;
}

// Polls as fast as the stand answers until it has sent `boards` passed tests.
inline bool PollUntilPassed(AppFixture& app, const TempDir& state, int boards, int seconds = 60)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (PassedBoards(state) < boards && std::chrono::steady_clock::now() < deadline)
        app.Ticks(1);
    app.Ticks(3);
    return PassedBoards(state) >= boards;
}

// The journal lines (without date and time) the intact event replies must give.
inline std::vector<std::string> ExpectedJournal(const std::vector<SimEvent>& events, int stand)
{
    std::vector<std::string> out;
    for (const SimEvent& e : events)
        if (e.intact)
            for (const std::string& f : ExpectedFields(e, stand))
                out.push_back(f);
    return out;
}

inline std::vector<std::string> JournalWithoutDateTime(const std::string& bytes)
{
    std::vector<std::string> out;
    for (const std::string& line : Lines(bytes, "\r\n"))
        out.push_back(WithoutDateTime(line));
    return out;
}

}  // namespace production
