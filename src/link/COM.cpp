#include "link/COM.h"

#include "platform/Clock.h"
#include "platform/Text.h"
#include "store/Func.h"

#include <QDateTime>
#include <QLocale>

// termios2 (for 56000 baud through BOTHER) comes from the kernel header;
// glibc's <termios.h> would clash with it, so the flushes are ioctls too.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

const uint32_t COM::BaudTable[12] = {110, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 56000, 57600, 115200};

namespace {

int64_t NowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

constexpr int64_t kMs = 1000000;

enum class Wait { Ready, TimedOut, Failed };

// Waits until the descriptor is ready for `events` or the deadline passes.
// A hung-up or failed descriptor is a failure at once, so a vanished port
// never spins.
Wait WaitFor(int fd, short events, int64_t deadlineNs)
{
    for (;;) {
        int64_t left = deadlineNs - NowNs();
        if (left <= 0)
            return Wait::TimedOut;
        timespec ts{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
        pollfd p{fd, events, 0};
        int r = ppoll(&p, 1, &ts, nullptr);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return Wait::Failed;
        }
        if (r == 0)
            return Wait::TimedOut;
        if (p.revents & events)
            return Wait::Ready;
        return Wait::Failed;  // POLLHUP, POLLERR or POLLNVAL without data
    }
}

// Baud code of the kernel for the standard rates; BOTHER for the others.
tcflag_t BaudCode(uint32_t baud)
{
    switch (baud) {
    case 110: return B110;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return BOTHER;
    }
}

}  // namespace

COM::COM() = default;

COM::~COM()
{
    Close();
}

uint32_t COM::Multiplier(uint32_t baudIndex)
{
    static const uint32_t table[7] = {100, 35, 18, 9, 5, 3, 2};
    return baudIndex < 7 ? table[baudIndex] : 1;
}

std::string COM::DevicePath(int32_t port)
{
    std::string own = AppDataDir + "COM" + std::to_string(static_cast<int64_t>(port) + 1);
    struct stat st{};
    if (lstat(own.c_str(), &st) == 0)
        return own;
    return "/dev/ttyS" + std::to_string(port);
}

bool COM::IsOpen()
{
    return Handle != -1;
}

bool COM::Open()
{
    if (IsOpen())
        return false;
    CommErrors = 0;
    CommStat = CommStatRecord{};

    std::string path = DevicePath(Port);
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Without sharing: the lock stops every other opener (root included),
    // TIOCEXCL stops unprivileged ones that do not lock.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    ioctl(fd, TIOCEXCL);
    Handle = fd;

    if (InQueueSize == 0)
        InQueueSize = 4096;
    if (OutQueueSize == 0)
        OutQueueSize = 4096;
    // The kernel sizes its own queues; there is nothing to set.

    Purge(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);

    if (!ApplyLineSettings()) {
        Close();
        return false;
    }
    return ApplyTimeouts();
}

bool COM::ApplyLineSettings()
{
    // Built from zero, never read back first: raw 8-bit, no flow control,
    // no character processing.
    struct termios2 tio{};
    tio.c_cflag = CS8 | CREAD | CLOCAL;
    switch (static_cast<uint8_t>(Parity)) {
    case 0: break;
    case 1: tio.c_cflag |= PARENB | PARODD; break;
    case 2: tio.c_cflag |= PARENB; break;
    case 3: tio.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case 4: tio.c_cflag |= PARENB | CMSPAR; break;
    default: return false;
    }
    if (Parity != 0)
        tio.c_iflag |= INPCK;
    switch (static_cast<uint8_t>(StopBits)) {
    case 0: break;
    case 2: tio.c_cflag |= CSTOPB; break;
    default: return false;  // one and a half stop bits exist only with 5 data bits
    }
    // An index past the table would read outside it; the driver would refuse
    // such a rate anyway.
    if (BaudIndex >= sizeof BaudTable / sizeof BaudTable[0])
        return false;
    uint32_t baud = BaudTable[BaudIndex];
    tcflag_t code = BaudCode(baud);
    tio.c_cflag |= code;
    tio.c_ispeed = baud;
    tio.c_ospeed = baud;
    // With O_NONBLOCK a minimum of 1 makes "no data yet" EAGAIN, so that a
    // read of 0 bytes can only mean a hang-up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (ioctl(Handle, TCSETS2, &tio) != 0)
        return false;
    // DTR and RTS control disabled: the kernel raised both at open, the
    // driver's rule is that they stay low (refused on a pseudo-terminal).
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(Handle, TIOCMBIC, &lines);
    return true;
}

bool COM::ApplyTimeouts()
{
    if (!IsOpen())
        return false;
    appliedMultiplier_ = Multiplier(BaudIndex);
    appliedConstant_ = TimeoutConstant;
    return true;
}

bool COM::Close()
{
    if (!IsOpen())
        return true;
    Purge(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    SetDTR(false);
    SetRTS(false);
    // The exclusive flag outlives this descriptor when someone else holds the
    // terminal (a simulator keeps its side open): clear it for the next open.
    ioctl(Handle, TIOCNXCL);
    int r = ::close(Handle);
    Handle = -1;
    return r == 0;
}

bool COM::SetTimeout(uint32_t ms)
{
    TimeoutConstant = ms;
    return ApplyTimeouts();
}

void COM::Trace(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(TraceBuffer, sizeof TraceBuffer, format, args);
    va_end(args);
    TraceLine(true);
}

void COM::TraceLine(bool stamp)
{
    if (TraceOn == 0)
        return;
    int fd = ::open("Com.log", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return;
    std::string line;
    if (stamp) {
        QLocale locale = QLocale::system();
        QDateTime now = QDateTime::currentDateTime();
        QString text = locale.toString(now.date(), QLocale::ShortFormat) + " " +
                       locale.toString(now.time(), QLocale::LongFormat) + ": ";
        line = ToCp1251(text);
    }
    line += TraceBuffer;
    const char* p = line.data();
    size_t left = line.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        p += n;
        left -= static_cast<size_t>(n);
    }
    ::close(fd);
}

bool COM::DriverWrite(const void* buffer, uint32_t count, uint32_t& written)
{
    written = 0;
    if (count == 0)
        return true;
    // Open takes terminals only (anything else refuses the line settings),
    // and a terminal reports a vanished peer as EIO, never by SIGPIPE.
    const int64_t deadline = NowNs() + (static_cast<int64_t>(appliedMultiplier_) * count + appliedConstant_) * kMs;
    const auto* p = static_cast<const uint8_t*>(buffer);
    while (written < count) {
        ssize_t n = ::write(Handle, p + written, count - written);
        if (n > 0) {
            written += static_cast<uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return false;
        Wait w = WaitFor(Handle, POLLOUT, deadline);
        if (w == Wait::TimedOut)
            return true;  // the time-out ends a write; the count tells the rest
        if (w == Wait::Failed)
            return false;
    }
    return true;
}

bool COM::DriverRead(void* buffer, uint32_t count, uint32_t& got)
{
    got = 0;
    if (count == 0)
        return true;
    const uint32_t c = appliedConstant_;
    const int64_t start = NowNs();
    const int64_t total = start + (static_cast<int64_t>(appliedMultiplier_) * count + c) * kMs;
    int64_t lastByte = 0;
    auto* p = static_cast<uint8_t*>(buffer);
    // Wait first: right after a command the reply is not there yet, and a
    // read that would only say so costs a call per exchange.
    for (;;) {
        // The interval limit runs from the latest byte, once one has come.
        int64_t deadline = total;
        if (got > 0 && c > 0 && lastByte + c * kMs < deadline)
            deadline = lastByte + c * kMs;
        Wait w = WaitFor(Handle, POLLIN, deadline);
        if (w == Wait::Failed)
            return false;
        ssize_t n = ::read(Handle, p + got, count - got);
        if (n > 0) {
            got += static_cast<uint32_t>(n);
            lastByte = NowNs();
            if (got == count)
                return true;
            continue;
        }
        if (n == 0)
            return false;  // hung up
        if (errno != EINTR && errno != EAGAIN)
            return false;
        if (w == Wait::TimedOut)
            return true;
    }
}

bool COM::Write(const void* buffer, uint32_t count)
{
    BytesWritten = 0;
    LastFailed = 1;
    if (!IsOpen()) {
        Trace("W=%d Not opened...\r\n", static_cast<int>(count));
        return false;
    }
    uint32_t written = 0;
    bool ok = DriverWrite(buffer, count, written);
    LastFailed = ok ? 0 : 1;
    BytesWritten = written;
    ClearErrors();
    if (!ok)
        Trace("W=%d Err=%d\r\n", static_cast<int>(count), LastFailed);
    else
        Trace("W=%d\r\n", static_cast<int>(count));
    return ok;
}

bool COM::PutByte(int8_t b)
{
    const uint8_t byte = static_cast<uint8_t>(b);
    BytesWritten = 0;
    LastFailed = 1;
    if (!IsOpen()) {
        Trace("P=%02X Not opened...\r\n", byte);
        return false;
    }
    uint32_t written = 0;
    bool ok = DriverWrite(&byte, 1, written);
    LastFailed = ok ? 0 : 1;
    BytesWritten = written;
    ClearErrors();
    if (!ok)
        Trace("P=%02X Err=%d\r\n", byte, LastFailed);
    else
        Trace("P=%02X\r\n", byte);
    return ok;
}

bool COM::PutByte(uint8_t b)
{
    return PutByte(static_cast<int8_t>(b));
}

bool COM::Read(void* buffer, uint32_t count)
{
    BytesRead = 0;
    LastFailed = 1;
    if (!IsOpen()) {
        Trace("R=%d Not opened...\r\n", static_cast<int>(count));
        return false;
    }
    uint32_t got = 0;
    bool ok = DriverRead(buffer, count, got);
    LastFailed = ok ? 0 : 1;
    BytesRead = got;
    ClearErrors();
    if (!ok) {
        Trace("R=%d Err=%d\r\n", static_cast<int>(count), 1);
        return false;
    }
    if (got < count) {
        Trace("R=%d (%d)\r\n", static_cast<int>(count), static_cast<int>(got));
        LastFailed = 1;
        return false;
    }
    Trace("R=%d\r\n", static_cast<int>(count));
    return true;
}

bool COM::GetByte(uint8_t& b)
{
    BytesRead = 0;
    LastFailed = 1;
    if (!IsOpen()) {
        Trace("G: Not opened...\r\n");
        return false;
    }
    uint8_t byte = 0;
    uint32_t got = 0;
    bool ok = DriverRead(&byte, 1, got);
    BytesRead = got;
    ClearErrors();
    if (!ok || got == 0) {
        Trace("G: Err=%d\r\n", ok ? 0 : 1);
        LastFailed = 1;
        return false;
    }
    LastFailed = 0;
    b = byte;
    Trace("G=%02X\r\n", byte);
    return true;
}

bool COM::GetByte(int8_t& b)
{
    uint8_t byte = 0;
    if (!GetByte(byte))
        return false;
    b = static_cast<int8_t>(byte);
    return true;
}

uint8_t COM::GetByte()
{
    uint8_t byte = 0;
    return GetByte(byte) ? byte : 0;
}

bool COM::Transact(const void* wbuf, uint32_t wn, void* rbuf, uint32_t rn, uint32_t limitMs, bool purgeFirst)
{
    BytesWritten = 0;
    BytesRead = 0;
    LastFailed = 1;
    if (purgeFirst)
        PurgeBuffers();
    if (!Write(wbuf, wn))
        return false;
    BytesWritten = wn;
    // Nothing to read means no read at all: a one-byte read into an empty
    // buffer would write past it.
    if (rn == 0) {
        BytesRead = 0;
        return true;
    }
    auto* p = static_cast<uint8_t*>(rbuf);
    const uint32_t t0 = MonotonicTickCount();
    uint32_t i = 0;
    do {
        if (Read(p + i, 1))
            ++i;
    } while (i < rn && static_cast<uint32_t>(MonotonicTickCount() - t0) < limitMs);
    BytesRead = i;
    return i >= rn;
}

bool COM::EscapeFunction(uint32_t code)
{
    if (!IsOpen())
        return false;
    int lines = 0;
    switch (code) {
    case 1: return ioctl(Handle, TCXONC, TCOOFF) == 0;  // SETXOFF
    case 2: return ioctl(Handle, TCXONC, TCOON) == 0;   // SETXON
    case SETRTS: lines = TIOCM_RTS; return ioctl(Handle, TIOCMBIS, &lines) == 0;
    case CLRRTS: lines = TIOCM_RTS; return ioctl(Handle, TIOCMBIC, &lines) == 0;
    case SETDTR: lines = TIOCM_DTR; return ioctl(Handle, TIOCMBIS, &lines) == 0;
    case CLRDTR: lines = TIOCM_DTR; return ioctl(Handle, TIOCMBIC, &lines) == 0;
    case 8: return ioctl(Handle, TIOCSBRK) == 0;  // SETBREAK
    case 9: return ioctl(Handle, TIOCCBRK) == 0;  // CLRBREAK
    default: return false;
    }
}

bool COM::Purge(uint32_t flags)
{
    if (!IsOpen())
        return false;
    // Transfers are synchronous, so there is never a pending one to abort;
    // aborting output still drops what waits in the queue.
    const bool in = flags & PURGE_RXCLEAR;
    const bool out = flags & (PURGE_TXCLEAR | PURGE_TXABORT);
    if (in && out)
        return ioctl(Handle, TCFLSH, TCIOFLUSH) == 0;
    if (in)
        return ioctl(Handle, TCFLSH, TCIFLUSH) == 0;
    if (out)
        return ioctl(Handle, TCFLSH, TCOFLUSH) == 0;
    return true;
}

uint32_t COM::GetModemStatus()
{
    if (!IsOpen())
        return 0;
    int lines = 0;
    if (ioctl(Handle, TIOCMGET, &lines) != 0)
        return 0;
    uint32_t status = 0;
    if (lines & TIOCM_CTS)
        status |= 0x10;
    if (lines & TIOCM_DSR)
        status |= 0x20;
    if (lines & TIOCM_RNG)
        status |= 0x40;
    if (lines & TIOCM_CAR)
        status |= 0x80;
    return status;
}

void COM::ClearErrors()
{
    if (!IsOpen())
        return;
    int in = 0;
    int out = 0;
    if (ioctl(Handle, FIONREAD, &in) != 0 || ioctl(Handle, TIOCOUTQ, &out) != 0) {
        CommErrors = 0xFFFFFFFF;
        CommStat = CommStatRecord{};
        return;
    }
    // The kernel keeps no sticky error word to fetch: line errors never block it.
    CommErrors = 0;
    CommStat.Flags = 0;
    CommStat.InQueue = static_cast<uint32_t>(in);
    CommStat.OutQueue = static_cast<uint32_t>(out);
}

void COM::SetDTR(bool level)
{
    if (!IsOpen())
        return;
    DtrState = level ? 1 : 0;
    EscapeFunction(level ? SETDTR : CLRDTR);
}

void COM::SetRTS(bool level)
{
    if (!IsOpen())
        return;
    RtsState = level ? 1 : 0;
    EscapeFunction(level ? SETRTS : CLRRTS);
}

void COM::PurgeBuffers()
{
    if (!IsOpen())
        return;
    Purge(PURGE_TXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
}
