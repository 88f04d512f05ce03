#include "StateStore.h"

#include "StandModel.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace standsim {

namespace {

bool WriteAll(int fd, const uint8_t* p, size_t n)
{
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

} // namespace

bool StateStore::Prepare(std::string* err) const
{
    struct stat st{};
    if (::stat(dir_.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return true;
        *err = dir_ + " is not a folder";
        return false;
    }
    if (::mkdir(dir_.c_str(), 0777) == 0)
        return true;
    *err = "cannot create " + dir_ + ": " + std::strerror(errno);
    return false;
}

bool StateStore::Load(const char* name, size_t size, std::vector<uint8_t>& into, bool* found,
                      std::string* err) const
{
    const std::string path = Path(name);
    *found = false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return true;
        *err = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    std::vector<uint8_t> bytes;
    uint8_t buf[8192];
    for (;;) {
        ssize_t r = ::read(fd, buf, sizeof buf);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0) {
            *err = "cannot read " + path + ": " + std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (r == 0)
            break;
        bytes.insert(bytes.end(), buf, buf + r);
        if (bytes.size() > size)
            break;
    }
    ::close(fd);
    if (bytes.size() != size) {
        *err = path + " must hold exactly " + std::to_string(size) + " bytes";
        return false;
    }
    into = std::move(bytes);
    *found = true;
    return true;
}

bool StateStore::Save(const char* name, const std::vector<uint8_t>& bytes) const
{
    const std::string path = Path(name);
    const std::string tmp = path + ".tmp";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, bytes.data(), bytes.size());
    ok = (::close(fd) == 0) && ok;
    if (!ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

bool StateStore::LoadEprom(std::vector<uint8_t>& into, bool* found, std::string* err) const
{
    return Load("eprom.bin", kEpromSize, into, found, err);
}

bool StateStore::LoadFlash(std::vector<uint8_t>& into, bool* found, std::string* err) const
{
    return Load("flash.bin", kFlashSize, into, found, err);
}

bool StateStore::SaveEprom(const std::vector<uint8_t>& eprom) const { return Save("eprom.bin", eprom); }
bool StateStore::SaveFlash(const std::vector<uint8_t>& flash) const { return Save("flash.bin", flash); }

bool StateStore::AppendEventLine(const std::string& line) const
{
    const std::string path = Path("events.log");
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    std::string l = line + "\n";
    bool ok = WriteAll(fd, reinterpret_cast<const uint8_t*>(l.data()), l.size());
    return (::close(fd) == 0) && ok;
}

bool AttachStore(StandModel& model, const StateStore& store, std::optional<uint8_t> standOverride, std::string* err)
{
    std::vector<uint8_t> eprom = model.Eprom(), flash = model.Flash();
    bool haveEprom = false, haveFlash = false;
    if (!store.Prepare(err) || !store.LoadEprom(eprom, &haveEprom, err) || !store.LoadFlash(flash, &haveFlash, err))
        return false;
    if (standOverride)
        eprom[eprom::kStandNumber] = *standOverride;
    model.SetEprom(eprom);
    model.SetFlash(flash);
    if (!store.SaveEprom(model.Eprom()) || (!haveFlash && !store.SaveFlash(model.Flash()))) {
        *err = "cannot write to " + store.Dir();
        return false;
    }
    const StateStore* s = &store;
    StandModel* m = &model;
    // A failed write is told but does not stop the stand: the PC's exchange still works.
    model.onEpromChanged = [s, m] {
        if (!s->SaveEprom(m->Eprom()))
            std::fprintf(stderr, "stand-sim: cannot write %s\n", s->Path("eprom.bin").c_str());
    };
    model.onFlashChanged = [s, m] {
        if (!s->SaveFlash(m->Flash()))
            std::fprintf(stderr, "stand-sim: cannot write %s\n", s->Path("flash.bin").c_str());
    };
    return true;
}

} // namespace standsim
