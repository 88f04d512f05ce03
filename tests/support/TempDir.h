#pragma once
// A fresh folder under the system's temporary folder, removed with everything
// in it when the test ends.
#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }           // no trailing '/'
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::string dir() const { return path_ + "/"; }              // with trailing '/', as AppDataDir

    std::string read(const std::string& name) const;              // whole file as bytes, "" when missing
    void write(const std::string& name, const std::string& bytes) const;

private:
    std::string path_;
};
