#include "PtyServer.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace standsim {

PtyServer::~PtyServer() { Close(); }

int64_t PtyServer::NowUs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

bool PtyServer::Open(const std::string& link, std::string* err)
{
    auto fail = [&](const std::string& what) {
        *err = what + ": " + std::strerror(errno);
        Close();
        return false;
    };
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_ < 0)
        return fail("eventfd");
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0)
        return fail("posix_openpt");
    if (grantpt(master_) != 0 || unlockpt(master_) != 0)
        return fail("grantpt/unlockpt");
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0)
        return fail("ptsname");
    slavePath_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0)
        return fail("open " + slavePath_);
    termios tio{};
    if (tcgetattr(slave_, &tio) != 0)
        return fail("tcgetattr");
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS | CSIZE);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    if (tcsetattr(slave_, TCSANOW, &tio) != 0)
        return fail("tcsetattr");
    const int fl = fcntl(master_, F_GETFL);
    if (fl < 0 || fcntl(master_, F_SETFL, fl | O_NONBLOCK) != 0)
        return fail("fcntl");

    struct stat st{};
    if (::lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            errno = EEXIST;
            return fail(link + " exists and is not a symlink");
        }
        if (::unlink(link.c_str()) != 0)
            return fail("unlink " + link);
    }
    if (::symlink(slavePath_.c_str(), link.c_str()) != 0)
        return fail("symlink " + link);
    link_ = link;
    return true;
}

void PtyServer::Close()
{
    if (!link_.empty()) {
        char target[256];
        const ssize_t n = ::readlink(link_.c_str(), target, sizeof target - 1);
        if (n >= 0 && std::string(target, static_cast<size_t>(n)) == slavePath_)
            ::unlink(link_.c_str());
        link_.clear();
    }
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
    if (wake_ >= 0)
        ::close(wake_);
    slave_ = master_ = wake_ = -1;
}

void PtyServer::RequestStop()
{
    const uint64_t one = 1;
    if (wake_ >= 0 && ::write(wake_, &one, sizeof one) < 0) {
        // Already signalled: the counter is full, Run returns anyway.
    }
}

bool PtyServer::Flush(int64_t nowUs)
{
    // Everything that is due goes out in as few writes as possible; a lone
    // chunk (every unpaced reply) is written from where it lies.
    while (!queue_.empty() && queue_.front().dueUs <= nowUs) {
        const Bytes& front = queue_.front().bytes;
        const uint8_t* data = front.data() + written_;
        size_t size = front.size() - written_;
        if (queue_.size() > 1 && queue_[1].dueUs <= nowUs) {
            batch_.assign(front.begin() + static_cast<std::ptrdiff_t>(written_), front.end());
            for (auto it = queue_.begin() + 1; it != queue_.end() && it->dueUs <= nowUs; ++it)
                batch_.insert(batch_.end(), it->bytes.begin(), it->bytes.end());
            data = batch_.data();
            size = batch_.size();
        }
        const ssize_t w = ::write(master_, data, size);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                return false;
            // Nobody reads the line and its buffer is full: like a real line, the
            // bytes are lost rather than kept to surprise a later exchange.
            while (!queue_.empty() && queue_.front().dueUs <= nowUs)
                queue_.pop_front();
            written_ = 0;
            return true;
        }
        size_t left = static_cast<size_t>(w);
        while (left > 0 && !queue_.empty()) {
            const size_t rest = queue_.front().bytes.size() - written_;
            if (left >= rest) {
                left -= rest;
                queue_.pop_front();
                written_ = 0;
            } else {
                written_ += left;
                left = 0;
            }
        }
        if (static_cast<size_t>(w) < size)
            return true;
    }
    return true;
}

bool PtyServer::Run(Responder& responder, volatile std::sig_atomic_t* stop, std::string* err)
{
    sigset_t waitMask;
    pthread_sigmask(SIG_SETMASK, nullptr, &waitMask);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGINT);

    uint8_t buf[4096];
    while (!*stop) {
        int64_t now = NowUs();
        if (!Flush(now)) {
            *err = std::string("write: ") + std::strerror(errno);
            return false;
        }
        pollfd p[2] = {{master_, POLLIN, 0}, {wake_, POLLIN, 0}};
        timespec timeout{};
        timespec* tp = nullptr;
        if (!queue_.empty()) {
            const int64_t wait = std::max<int64_t>(queue_.front().dueUs - now, 0);
            timeout.tv_sec = static_cast<time_t>(wait / 1'000'000);
            timeout.tv_nsec = static_cast<long>((wait % 1'000'000) * 1000);
            tp = &timeout;
        }
        const int r = ppoll(p, 2, tp, &waitMask);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            *err = std::string("ppoll: ") + std::strerror(errno);
            return false;
        }
        if (p[1].revents & POLLIN)
            return true;
        if (r == 0 || !(p[0].revents & POLLIN))
            continue;
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EIO)
                continue;
            *err = std::string("read: ") + std::strerror(errno);
            return false;
        }
        now = NowUs();
        for (OutChunk& c : responder.Feed(buf, static_cast<size_t>(n), now)) {
            auto at = std::upper_bound(queue_.begin() + (queue_.empty() || written_ == 0 ? 0 : 1), queue_.end(), c.dueUs,
                                       [](int64_t due, const OutChunk& q) { return due < q.dueUs; });
            queue_.insert(at, std::move(c));
        }
    }
    return true;
}

} // namespace standsim
