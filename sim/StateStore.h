#pragma once
// Keeps the stand's memories in files of a folder so that they outlive a run and
// a test can read them: eprom.bin (256 bytes), flash.bin (65536 bytes), and
// events.log, one line per status reply that carried an event.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace standsim {

class StateStore {
public:
    static constexpr size_t kEpromSize = 256;
    static constexpr size_t kFlashSize = 65536;

    explicit StateStore(std::string dir) : dir_(std::move(dir)) {}

    const std::string& Dir() const { return dir_; }
    std::string Path(const char* name) const { return dir_ + "/" + name; }

    // Creates the folder when it is missing; false (with a reason) when it cannot be used.
    bool Prepare(std::string* err) const;
    // Reads a memory file when present. Missing: true, found = false. A file of the
    // wrong size or an unreadable one: false, so a broken state is never taken silently.
    bool LoadEprom(std::vector<uint8_t>& into, bool* found, std::string* err) const;
    bool LoadFlash(std::vector<uint8_t>& into, bool* found, std::string* err) const;
    // Whole file through a temporary one and a rename: a reader never sees half of it.
    bool SaveEprom(const std::vector<uint8_t>& eprom) const;
    bool SaveFlash(const std::vector<uint8_t>& flash) const;
    bool AppendEventLine(const std::string& line) const;

private:
    bool Load(const char* name, size_t size, std::vector<uint8_t>& into, bool* found, std::string* err) const;
    bool Save(const char* name, const std::vector<uint8_t>& bytes) const;

    std::string dir_;
};

class StandModel;

// Gives the model the memories kept in the store (a missing file keeps the model's
// own), writes both files so that they exist from the start, and hooks the model so
// that every later change is written through. standOverride, when given, replaces
// the stand number at EPROM 10h even in a kept EPROM. The store must outlive the model's use.
bool AttachStore(StandModel& model, const StateStore& store, std::optional<uint8_t> standOverride, std::string* err);

} // namespace standsim
