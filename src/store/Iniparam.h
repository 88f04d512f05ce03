#pragma once
// A section of the settings file and its key/value pairs. Texts are bytes as
// stored (Windows-1251); an empty name or value means the text is absent.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Names compare equal ignoring the case of A-Z only; every other byte, the
// Cyrillic letters included, must match exactly.
bool IniNameEquals(std::string_view a, std::string_view b);

class TIniParam {
public:
    TIniParam(std::string_view name, std::string_view value) : name_(name), value_(value) {}

    void SetName(std::string_view name) { name_ = name; }
    void SetValue(std::string_view value) { value_ = value; }
    const std::string& Name() const { return name_; }
    const std::string& Value() const { return value_; }
    // An absent name never matches.
    bool NameIs(std::string_view key) const { return !name_.empty() && IniNameEquals(name_, key); }

private:
    std::string name_;
    std::string value_;
};

class TIniSection {
public:
    explicit TIniSection(std::string_view name) : name_(name) {}

    const std::string& Name() const { return name_; }
    int ParamCount() const { return static_cast<int>(params_.size()); }
    TIniParam* FindParam(std::string_view key) const;  // first match, or null
    TIniParam* GetParam(int index) const;               // null when out of range
    void AddParam(std::unique_ptr<TIniParam> param);    // appended, even when the name exists

    std::string ReadString(std::string_view key, std::string_view def) const;
    int32_t ReadInteger(std::string_view key, int32_t def) const;
    bool ReadBool(std::string_view key, bool def) const;
    // Replace the first matching key's value or append the key. The file's
    // Modified flag is the caller's business.
    void WriteString(std::string_view key, std::string_view value);
    void WriteInteger(std::string_view key, int32_t value);
    void WriteBool(std::string_view key, bool value);

private:
    std::string name_;
    std::vector<std::unique_ptr<TIniParam>> params_;
};
