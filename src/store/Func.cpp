#include "store/Func.h"

#include "store/Fastini.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

std::string AppDataDir;
TFastIniFile* AppIni = nullptr;

namespace {

std::string WithSlash(std::string path)
{
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

std::string ExecutablePath()
{
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

bool IsFolder(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeFolders(const std::string& path)
{
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return IsFolder(path);
}

}  // namespace

bool FolderWritable(const std::string& folder)
{
    if (folder.empty() || !IsFolder(folder))
        return false;
    // access() says yes to root on a read-only mount; only a real file tells.
    std::string probe = WithSlash(folder) + ".write-test-XXXXXX";
    const int fd = ::mkostemp(probe.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

std::string ProgramBaseName()
{
    std::string name = ExecutablePath();
    const size_t slash = name.rfind('/');
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

std::string ProgramDir()
{
    const std::string path = ExecutablePath();
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

AppDataPlaces SystemAppDataPlaces(const std::string& dataDirOption)
{
    AppDataPlaces places;
    places.dataDirOption = dataDirOption;
    places.programDir = ProgramDir();
    if (const char* xdg = std::getenv("XDG_DATA_HOME"))
        places.xdgDataHome = xdg;
    if (const char* home = std::getenv("HOME"))
        places.home = home;
    return places;
}

std::string GetAppDataDir(const std::string& folderName, const AppDataPlaces& places)
{
    const std::string name = folderName.empty() ? ProgramBaseName() : folderName;
    // The operator named this folder: it is used even when it cannot be
    // written, rather than mixing this stand's files with another's.
    if (!places.dataDirOption.empty()) {
        MakeFolders(places.dataDirOption);
        return WithSlash(places.dataDirOption);
    }
    if (!places.sharedBase.empty()) {
        const std::string shared = WithSlash(places.sharedBase) + name;
        ::mkdir(shared.c_str(), 0775);
        if (FolderWritable(shared))
            return WithSlash(shared);
    }
    if (FolderWritable(places.programDir))
        return WithSlash(places.programDir);
    std::string userBase;
    if (!places.xdgDataHome.empty() && places.xdgDataHome.front() == '/')
        userBase = places.xdgDataHome;
    else if (!places.home.empty())
        userBase = WithSlash(places.home) + ".local/share";
    if (userBase.empty())  // nowhere else to go: the program's folder, as before
        return WithSlash(places.programDir.empty() ? std::string(".") : places.programDir);
    const std::string user = WithSlash(userBase) + name;
    MakeFolders(user);
    return WithSlash(user);
}

std::string GetAppDataDir(const std::string& folderName, const std::string& dataDirOption)
{
    return GetAppDataDir(folderName, SystemAppDataPlaces(dataDirOption));
}

void OpenAppIni(const std::string& fileName)
{
    CloseAppIni();
    AppIni = new TFastIniFile(fileName.empty() ? DefaultIniPath() : AppDataDir + fileName);
}

void CloseAppIni()
{
    delete AppIni;
    AppIni = nullptr;
}
