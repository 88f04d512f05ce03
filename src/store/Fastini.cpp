#include "store/Fastini.h"

#include "store/File.h"
#include "store/Func.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view kNoName = "NONAMED";

std::string_view SectionKey(std::string_view name)
{
    return name.empty() ? kNoName : name;
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes a finished rename durable; the file is then old or new, both whole.
void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

TFastIniFile::TFastIniFile(const std::string& fileName) : fileName_(fileName)
{
    Load();
}

TFastIniFile::~TFastIniFile()
{
    if (Modified)
        Save();
}

TIniSection* TFastIniFile::FindSection(std::string_view name) const
{
    const std::string_view key = SectionKey(name);
    for (const auto& s : sections_)
        if (IniNameEquals(s->Name(), key))
            return s.get();
    return nullptr;
}

TIniSection* TFastIniFile::AddSection(std::string_view name)
{
    sections_.push_back(std::make_unique<TIniSection>(SectionKey(name)));
    return sections_.back().get();
}

TIniSection* TFastIniFile::GetSection(int index) const
{
    if (index < 0 || index >= SectionCount())
        return nullptr;
    return sections_[static_cast<size_t>(index)].get();
}

TIniSection* TFastIniFile::FindOrAddSection(std::string_view name)
{
    TIniSection* s = FindSection(name);
    return s ? s : AddSection(name);
}

std::string TFastIniFile::ReadString(std::string_view section, std::string_view key,
                                     std::string_view def) const
{
    const TIniSection* s = FindSection(section);
    return s ? s->ReadString(key, def) : std::string(def);
}

int32_t TFastIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) const
{
    const TIniSection* s = FindSection(section);
    return s ? s->ReadInteger(key, def) : def;
}

bool TFastIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const
{
    const TIniSection* s = FindSection(section);
    return s ? s->ReadBool(key, def) : def;
}

void TFastIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    Modified = true;
    FindOrAddSection(section)->WriteString(key, value);
}

void TFastIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value)
{
    Modified = true;
    FindOrAddSection(section)->WriteInteger(key, value);
}

void TFastIniFile::WriteBool(std::string_view section, std::string_view key, bool value)
{
    Modified = true;
    FindOrAddSection(section)->WriteBool(key, value);
}

void TFastIniFile::Load()
{
    try {
        TFile file(fileName_, TFileAccess::Read, TFileShare::Read, TFileCreate::OpenAlways,
                   TFileHint::SequentialScan);
        if (!file.IsOpen()) {
            Failed = 1;
            return;
        }
        TIniSection* current = nullptr;
        char buffer[1025];
        while (file.ReadLine(buffer, sizeof buffer))
            ParseLine(buffer, current);
        // End of file leaves no error code; a failed read does.
        if (file.LastError != 0)
            Failed = 1;
        file.Close();
        Modified = false;
    } catch (const std::bad_alloc&) {
        Failed = 1;
    }
}

void TFastIniFile::ParseLine(const char* line, TIniSection*& current)
{
    // A line is text: it ends at its zero byte like every text of this file.
    std::string_view text(line, std::strlen(line));
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    if (text.empty())
        return;
    if (text.front() == '[') {
        const size_t close = text.find(']', 1);
        if (close == std::string_view::npos || close == 1)
            return;
        current = AddSection(text.substr(1, close - 1));
        return;
    }
    if (!current)
        return;
    const size_t eq = text.find('=');
    if (eq == std::string_view::npos || eq == 0)
        return;
    std::string_view key = text.substr(0, eq);
    while (!key.empty() && key.back() == ' ')
        key.remove_suffix(1);
    std::string_view value = text.substr(eq + 1);
    while (value.size() > 1 && value.back() == ' ')
        value.remove_suffix(1);
    current->AddParam(std::make_unique<TIniParam>(key, value));
}

std::string TFastIniFile::Serialize() const
{
    std::string out;
    for (const auto& s : sections_) {
        out += '[';
        out += s->Name();
        out += "]\r\n";
        for (int i = 0; i < s->ParamCount(); ++i) {
            const TIniParam* p = s->GetParam(i);
            out += p->Name();
            out += '=';
            out += p->Value();
            out += "\r\n";
        }
    }
    return out;
}

bool TFastIniFile::Save()
{
    // The new file is made complete on disk beside the old one and then
    // renamed over it, so a crash or a full disk never leaves a half file.
    const std::string temp = fileName_ + ".tmp";
    try {
        const std::string bytes = Serialize();
        TFile file(temp, TFileAccess::Write, TFileShare::Read, TFileCreate::CreateAlways);
        if (!file.IsOpen()) {
            Failed = 1;
            return false;
        }
        bool ok = true;
        for (size_t done = 0; ok && done < bytes.size();) {
            const size_t piece = std::min<size_t>(bytes.size() - done, 1u << 20);
            ok = file.Write(bytes.data() + done, static_cast<uint32_t>(piece));
            done += piece;
        }
        struct stat old;
        if (ok && ::stat(fileName_.c_str(), &old) == 0)
            ::chmod(temp.c_str(), old.st_mode & 07777);
        // Renamed while still locked, so no other saver can take the name
        // and empty the file between our last write and the rename.
        ok = ok && file.Sync() && ::rename(temp.c_str(), fileName_.c_str()) == 0;
        if (!ok)
            ::unlink(temp.c_str());
        ok = file.Close() && ok;
        if (!ok) {
            Failed = 1;
            return false;
        }
        SyncFolder(FolderOf(fileName_));
        Modified = false;
        return true;
    } catch (const std::bad_alloc&) {
        Failed = 1;
        return false;
    }
}

std::string DefaultIniPath()
{
    return AppDataDir + ProgramBaseName() + ".ini";
}
