#pragma once
// The settings file held wholly in memory: ordered sections of ordered keys,
// loaded at construction, written back as a whole at destruction when
// anything was written. Duplicates survive; lookups see the first match.
#include "store/Iniparam.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QWidget;

class TFastIniFile {
public:
    explicit TFastIniFile(const std::string& fileName);
    ~TFastIniFile();  // Save when Modified; the result is not looked at
    TFastIniFile(const TFastIniFile&) = delete;
    TFastIniFile& operator=(const TFastIniFile&) = delete;

    // An empty section name stands for "NONAMED".
    TIniSection* FindSection(std::string_view name) const;
    TIniSection* AddSection(std::string_view name);  // appended, even when the name exists
    TIniSection* GetSection(int index) const;        // null when out of range
    int SectionCount() const { return static_cast<int>(sections_.size()); }

    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    // The whole file anew; the old file stays until the new one is complete on disk.
    bool Save();
    // The exact bytes Save writes.
    std::string Serialize() const;

    // Window placement: Left, Top, Width, Height of the outer frame. A window
    // restored before it has a frame gets the frame taken off its size once
    // the frame is known.
    void LoadPlacement(std::string_view section, QWidget* window);
    void SavePlacement(std::string_view section, QWidget* window);
    void LoadFormPlacement(QWidget* window);  // section = the window's objectName()
    void SaveFormPlacement(QWidget* window);

    const std::string& FileName() const { return fileName_; }

    bool Modified = false;
    int Failed = 0;  // 1 once a load or save failed; never cleared

private:
    void Load();
    void ParseLine(const char* line, TIniSection*& current);
    TIniSection* FindOrAddSection(std::string_view name);

    std::string fileName_;
    std::vector<std::unique_ptr<TIniSection>> sections_;
};

// The settings file beside the data: AppDataDir + the program's name + ".ini".
std::string DefaultIniPath();
