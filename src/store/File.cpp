#include "store/File.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool SameFile(int fd, const std::string& name)
{
    struct stat opened, named;
    return ::fstat(fd, &opened) == 0 && ::stat(name.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

}  // namespace

TFile::TFile(const std::string& name, TFileAccess access, TFileShare share, TFileCreate create,
             TFileHint hint)
{
    Open(name, access, share, create, hint);
}

TFile::~TFile()
{
    Close();
}

bool TFile::Open(const std::string& name, TFileAccess access, TFileShare share,
                 TFileCreate create, TFileHint hint)
{
    if (IsOpen())
        return false;
    int flags = O_CLOEXEC | (access == TFileAccess::Read ? O_RDONLY : O_WRONLY);
    if (create != TFileCreate::OpenExisting)
        flags |= O_CREAT;
    // No O_TRUNC: a file someone else holds must not be emptied before the lock says so.
    int fd;
    do
        fd = ::open(name.c_str(), flags, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        LastError = static_cast<uint32_t>(errno);
        Failed = true;
        return false;
    }
    const int lock = (access == TFileAccess::Read && share == TFileShare::Read) ? LOCK_SH : LOCK_EX;
    int rc;
    do
        rc = ::flock(fd, lock | LOCK_NB);
    while (rc < 0 && errno == EINTR);
    if (rc == 0 && create == TFileCreate::CreateAlways && !SameFile(fd, name)) {
        // The name was renamed away or replaced while we waited for the lock:
        // someone else is writing there, and emptying the file would hurt them.
        rc = -1;
        errno = EWOULDBLOCK;
    }
    if (rc < 0 || (create == TFileCreate::CreateAlways && ::ftruncate(fd, 0) < 0)) {
        LastError = static_cast<uint32_t>(errno);
        Failed = true;
        ::close(fd);
        return false;
    }
    if (hint == TFileHint::SequentialScan)
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    handle_ = fd;
    LastError = 0;
    Failed = false;
    return true;
}

bool TFile::Close()
{
    if (!IsOpen())
        return false;
    const int fd = handle_;
    handle_ = -1;
    // The descriptor is gone even when close reports an error; never retry it.
    if (::close(fd) < 0 && errno != EINTR) {
        LastError = static_cast<uint32_t>(errno);
        Failed = true;
        return false;
    }
    LastError = 0;
    Failed = false;
    return true;
}

bool TFile::Write(const void* data, uint32_t length)
{
    if (!IsOpen() || data == nullptr) {
        Failed = true;
        return false;
    }
    // A short count from the system is carried on; only an error stops.
    const char* p = static_cast<const char*>(data);
    uint32_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(handle_, p + done, length - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            LastError = static_cast<uint32_t>(errno);
            break;
        }
        if (n == 0)
            break;
        done += static_cast<uint32_t>(n);
    }
    BytesWritten = done;
    Failed = done != length;
    if (!Failed)
        LastError = 0;
    return !Failed;
}

bool TFile::Seek(int32_t distance, TFileOrigin origin)
{
    if (!IsOpen()) {
        Failed = true;
        return false;
    }
    const int whence = origin == TFileOrigin::Begin ? SEEK_SET
                       : origin == TFileOrigin::Current ? SEEK_CUR
                                                        : SEEK_END;
    if (::lseek(handle_, distance, whence) < 0) {
        LastError = static_cast<uint32_t>(errno);
        Failed = true;
        return false;
    }
    LastError = 0;
    Failed = false;
    return true;
}

uint32_t TFile::Position()
{
    if (!IsOpen())
        return 0;
    const off_t pos = ::lseek(handle_, 0, SEEK_CUR);
    if (pos < 0 || pos >= static_cast<off_t>(0xFFFFFFFFu)) {
        LastError = pos < 0 ? static_cast<uint32_t>(errno) : static_cast<uint32_t>(EOVERFLOW);
        Failed = true;
        return 0xFFFFFFFFu;
    }
    LastError = 0;
    Failed = false;
    return static_cast<uint32_t>(pos);
}

bool TFile::Truncate()
{
    if (!IsOpen())
        return false;
    const off_t pos = ::lseek(handle_, 0, SEEK_CUR);
    if (pos < 0 || ::ftruncate(handle_, pos) < 0) {
        LastError = static_cast<uint32_t>(errno);
        Failed = true;
        return false;
    }
    LastError = 0;
    Failed = false;
    return true;
}

bool TFile::ReadLine(char* buffer, uint32_t size)
{
    if (!IsOpen())
        return false;
    if (buffer == nullptr || size == 0) {
        Failed = true;
        return false;
    }
    buffer[0] = 0;
    const off_t start = ::lseek(handle_, 0, SEEK_CUR);
    if (start < 0) {
        LastError = static_cast<uint32_t>(errno);
        Failed = true;
        return false;
    }
    ssize_t got;
    do
        got = ::read(handle_, buffer, size - 1);
    while (got < 0 && errno == EINTR);
    if (got <= 0) {
        // End of file is a good call that found nothing: no error code.
        LastError = got < 0 ? static_cast<uint32_t>(errno) : 0;
        Failed = true;
        return false;
    }
    const ssize_t n = got;
    ssize_t j = 0;
    int ends = 0;
    for (; j < n; ++j) {
        const bool lineEnd = buffer[j] == '\r' || buffer[j] == '\n';
        if (lineEnd ? ends == 2 : ends > 0)
            break;
        if (lineEnd)
            ++ends;
    }
    buffer[j] = 0;
    if (::lseek(handle_, start + j, SEEK_SET) < 0) {
        LastError = static_cast<uint32_t>(errno);
        Failed = true;
        return false;
    }
    LastError = 0;
    Failed = false;
    return true;
}

bool TFile::Sync()
{
    if (!IsOpen()) {
        Failed = true;
        return false;
    }
    int rc;
    do
        rc = ::fdatasync(handle_);
    while (rc < 0 && errno == EINTR);
    if (rc < 0) {
        LastError = static_cast<uint32_t>(errno);
        Failed = true;
        return false;
    }
    LastError = 0;
    Failed = false;
    return true;
}
