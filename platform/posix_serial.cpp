// The Windows serial calls over termios and poll, for POSIX systems.
//
// Read time-outs follow COMMTIMEOUTS as Windows defines them: the total deadline
// (constant + multiplier x bytes requested) starts with the call, the interval
// time-out only after the first byte and again at each byte. termios VMIN/VTIME
// count in tenths of a second and cannot express that, so the descriptor is
// non-blocking and the waiting is done here with poll on a monotonic clock.
#include "winapi.h"

#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace {

struct OpenPort {
    int fd = -1;
    COMMTIMEOUTS timeouts{};
    DWORD dtrControl = DTR_CONTROL_ENABLE;
    DWORD rtsControl = RTS_CONTROL_ENABLE;
    DWORD abortOnError = 0;
    bool stateSet = false;
    DCB state{}; // what SetCommState last applied; a pty keeps no character size or parity
};

constexpr int kMaxPorts = 64;
OpenPort ports[kMaxPorts];
thread_local DWORD lastError = 0;
thread_local int lastErrno = 0; // the system's own reason behind lastError, 0 when none
bool exitHookInstalled = false;

void fail(DWORD code, int err = 0)
{
    lastError = code;
    lastErrno = err;
}

int64_t nowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

OpenPort *portOf(HANDLE h)
{
    intptr_t slot = (intptr_t)h - 1;
    if (slot < 0 || slot >= kMaxPorts || ports[slot].fd < 0) {
        fail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &ports[slot];
}

DWORD windowsErrorForOpen(int err)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
    case EIO: // a /dev/ttyS node without a UART behind it
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK:
        return ERROR_ACCESS_DENIED;
    default:
        return ERROR_GEN_FAILURE;
    }
}

void releasePort(OpenPort &p)
{
    ioctl(p.fd, TIOCNXCL);
    flock(p.fd, LOCK_UN);
    close(p.fd);
    p = OpenPort{};
}

// The process end releases a port the program left open, as Windows does; without
// this a TIOCEXCL flag could outlive the process on a pty whose other side stays up.
void releaseAllPorts()
{
    for (OpenPort &p : ports)
        if (p.fd >= 0)
            releasePort(p);
}

struct BaudEntry {
    DWORD baud;
    speed_t code;
};

const BaudEntry baudTable[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B921600
    {921600, B921600},
#endif
#ifdef B1000000
    {1000000, B1000000},
#endif
#ifdef B2000000
    {2000000, B2000000},
#endif
};

bool baudToCode(DWORD baud, speed_t *code)
{
    for (const BaudEntry &e : baudTable)
        if (e.baud == baud) {
            *code = e.code;
            return true;
        }
    return false;
}

DWORD codeToBaud(speed_t code)
{
    for (const BaudEntry &e : baudTable)
        if (e.code == code)
            return e.baud;
    return 0;
}

// Parses "COMn" (or "\\.\COMn"; any letter case, as Windows device names are)
// with n >= 1 written without leading zeros.
bool comNumber(const char *name, unsigned *number)
{
    if (strncmp(name, "\\\\.\\", 4) == 0)
        name += 4;
    if (strncasecmp(name, "COM", 3) != 0)
        return false;
    const char *digits = name + 3;
    if (*digits < '1' || *digits > '9')
        return false;
    unsigned n = 0;
    for (const char *c = digits; *c; ++c) {
        if (*c < '0' || *c > '9' || n > 100000)
            return false;
        n = n * 10 + (unsigned)(*c - '0');
    }
    *number = n;
    return true;
}

bool inGroup(gid_t gid)
{
    gid_t groups[256];
    int n = getgroups(256, groups);
    for (int i = 0; i < n; ++i)
        if (groups[i] == gid)
            return true;
    return getegid() == gid;
}

// A device refused for want of permission: its group and how to join it, where
// joining would help (the group may read and write it and this process is not in
// it yet, e.g. not since the user was added).
void explainDenied(const char *path)
{
    struct stat st;
    if (stat(path, &st) != 0 || (st.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP) || inGroup(st.st_gid))
        return;
    const group *g = getgrgid(st.st_gid);
    if (g == nullptr)
        return;
    fprintf(stderr, "%s: %s belongs to group %s; add yourself with \"sudo usermod -aG %s $USER\" and log in again\n",
            platformProgramName(), path, g->gr_name, g->gr_name);
}

bool hasModemLines(int fd)
{
    int lines = 0;
    return ioctl(fd, TIOCMGET, &lines) == 0;
}

void setModemLines(OpenPort &p)
{
    // a pseudo-terminal has no modem lines; that is not an error
    if (!hasModemLines(p.fd))
        return;
    int dtr = TIOCM_DTR, rts = TIOCM_RTS;
    ioctl(p.fd, p.dtrControl == DTR_CONTROL_DISABLE ? TIOCMBIC : TIOCMBIS, &dtr);
    ioctl(p.fd, p.rtsControl == RTS_CONTROL_DISABLE ? TIOCMBIC : TIOCMBIS, &rts);
}

} // namespace

DWORD GetLastError(void) { return lastError; }

void SetLastError(DWORD code) { fail(code); }

void platformErrorText(char *out, size_t size)
{
    if (lastErrno != 0)
        snprintf(out, size, "%s", strerror(lastErrno));
    else
        snprintf(out, size, "error %u", (unsigned)lastError);
}

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD creation, DWORD flags, HANDLE templateFile)
{
    (void)shareMode;
    (void)security;
    (void)flags;
    (void)templateFile;
    unsigned number = 0;
    if (name == nullptr || !comNumber(name, &number)) {
        fail(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (creation != OPEN_EXISTING || (access & (GENERIC_READ | GENERIC_WRITE)) == 0) {
        fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    char varName[16];
    snprintf(varName, sizeof varName, "COM%u", number);
    char defaultPath[32];
    snprintf(defaultPath, sizeof defaultPath, "/dev/ttyS%u", number - 1);
    const char *path = getenv(varName);
    if (path == nullptr || *path == '\0')
        path = defaultPath;

    int slot = 0;
    while (slot < kMaxPorts && ports[slot].fd >= 0)
        ++slot;
    if (slot == kMaxPorts) {
        fail(ERROR_GEN_FAILURE);
        return INVALID_HANDLE_VALUE;
    }

    int mode = (access & GENERIC_READ) && (access & GENERIC_WRITE) ? O_RDWR
               : (access & GENERIC_WRITE)                          ? O_WRONLY
                                                                   : O_RDONLY;
    int fd = open(path, mode | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        fail(windowsErrorForOpen(err), err);
        fprintf(stderr, "%s: %s is %s: %s\n", platformProgramName(), varName, path, strerror(err));
        if (err == EACCES || err == EPERM)
            explainDenied(path);
        return INVALID_HANDLE_VALUE;
    }
    // a COM port is never shared: a second open fails, as on Windows
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        close(fd);
        fail(windowsErrorForOpen(err), err);
        fprintf(stderr, "%s: %s is %s: already in use by another program\n", platformProgramName(), varName, path);
        return INVALID_HANDLE_VALUE;
    }
    ioctl(fd, TIOCEXCL); // refused by some devices; the lock above still holds

    ports[slot] = OpenPort{};
    ports[slot].fd = fd;
    if (!exitHookInstalled) {
        atexit(releaseAllPorts);
        exitHookInstalled = true;
    }
    return (HANDLE)(intptr_t)(slot + 1);
}

BOOL SetupComm(HANDLE h, DWORD inQueue, DWORD outQueue)
{
    (void)inQueue;
    (void)outQueue;
    return portOf(h) != nullptr;
}

BOOL GetCommState(HANDLE h, LPDCB dcb)
{
    OpenPort *p = portOf(h);
    if (p == nullptr)
        return FALSE;
    if (dcb == nullptr) {
        fail(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    termios tio;
    if (tcgetattr(p->fd, &tio) != 0) {
        int err = errno;
        fail(ERROR_GEN_FAILURE, err);
        fprintf(stderr, "%s: cannot read the line settings: %s\n", platformProgramName(), strerror(err));
        return FALSE;
    }
    memset(dcb, 0, sizeof *dcb);
    dcb->DCBlength = sizeof *dcb;
    dcb->BaudRate = codeToBaud(cfgetospeed(&tio));
    dcb->fBinary = 1;
    dcb->fParity = (tio.c_iflag & INPCK) ? 1 : 0;
    dcb->fOutxCtsFlow = (tio.c_cflag & CRTSCTS) ? 1 : 0;
    dcb->fRtsControl = p->rtsControl;
    dcb->fDtrControl = p->dtrControl;
    dcb->fOutX = (tio.c_iflag & IXON) ? 1 : 0;
    dcb->fInX = (tio.c_iflag & IXOFF) ? 1 : 0;
    dcb->fAbortOnError = p->abortOnError;
    switch (tio.c_cflag & CSIZE) {
    case CS5: dcb->ByteSize = 5; break;
    case CS6: dcb->ByteSize = 6; break;
    case CS7: dcb->ByteSize = 7; break;
    default: dcb->ByteSize = 8; break;
    }
    dcb->Parity = !(tio.c_cflag & PARENB) ? NOPARITY : (tio.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
    dcb->StopBits = (tio.c_cflag & CSTOPB) ? TWOSTOPBITS : ONESTOPBIT;
    dcb->XonChar = (char)tio.c_cc[VSTART];
    dcb->XoffChar = (char)tio.c_cc[VSTOP];
    dcb->XonLim = 2048;
    dcb->XoffLim = 512;
    if (p->stateSet) {
        // the port reports the settings it was given, as a Windows driver does
        dcb->ByteSize = p->state.ByteSize;
        dcb->Parity = p->state.Parity;
        dcb->StopBits = p->state.StopBits;
        dcb->BaudRate = p->state.BaudRate;
    }
    return TRUE;
}

BOOL SetCommState(HANDLE h, LPDCB dcb)
{
    OpenPort *p = portOf(h);
    if (p == nullptr)
        return FALSE;
    speed_t speed;
    if (dcb == nullptr || !baudToCode(dcb->BaudRate, &speed) || dcb->ByteSize < 5 ||
        dcb->ByteSize > 8 || dcb->Parity > EVENPARITY ||
        (dcb->StopBits != ONESTOPBIT && dcb->StopBits != TWOSTOPBITS) || dcb->fOutxDsrFlow) {
        fail(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    termios tio;
    if (tcgetattr(p->fd, &tio) != 0) {
        fail(ERROR_GEN_FAILURE, errno);
        return FALSE;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(tcflag_t)(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag |= sizes[dcb->ByteSize - 5];
    if (dcb->Parity != NOPARITY)
        tio.c_cflag |= PARENB | (dcb->Parity == ODDPARITY ? PARODD : 0);
    if (dcb->StopBits == TWOSTOPBITS)
        tio.c_cflag |= CSTOPB;
    if (dcb->fOutxCtsFlow)
        tio.c_cflag |= CRTSCTS;
    tio.c_iflag &= ~(tcflag_t)(IXON | IXOFF | IXANY | INPCK);
    if (dcb->fOutX)
        tio.c_iflag |= IXON;
    if (dcb->fInX)
        tio.c_iflag |= IXOFF;
    if (dcb->fParity && dcb->Parity != NOPARITY)
        tio.c_iflag |= INPCK;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0) {
        fail(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (tcsetattr(p->fd, TCSANOW, &tio) != 0) {
        int err = errno;
        // A pseudo-terminal has no character framing: it keeps CS8 without parity and
        // the C library reports that as EINVAL. Accept it when the rest took effect.
        termios now;
        bool framingOnly = err == EINVAL && tcgetattr(p->fd, &now) == 0 && cfgetospeed(&now) == speed &&
                           (now.c_lflag & ICANON) == 0 && now.c_cc[VMIN] == 0 && now.c_cc[VTIME] == 0 &&
                           (now.c_cflag & (CSIZE | PARENB)) == CS8 && !hasModemLines(p->fd);
        if (!framingOnly) {
            fail(err == EINVAL ? ERROR_INVALID_PARAMETER : ERROR_GEN_FAILURE, err);
            return FALSE;
        }
    }
    p->dtrControl = dcb->fDtrControl;
    p->rtsControl = dcb->fRtsControl;
    p->abortOnError = dcb->fAbortOnError;
    p->state = *dcb;
    p->stateSet = true;
    setModemLines(*p);
    return TRUE;
}

BOOL GetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS timeouts)
{
    OpenPort *p = portOf(h);
    if (p == nullptr || timeouts == nullptr)
        return FALSE;
    *timeouts = p->timeouts;
    return TRUE;
}

BOOL SetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS timeouts)
{
    OpenPort *p = portOf(h);
    if (p == nullptr)
        return FALSE;
    if (timeouts == nullptr) {
        fail(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    p->timeouts = *timeouts;
    return TRUE;
}

BOOL ReadFile(HANDLE h, LPVOID buffer, DWORD toRead, LPDWORD got, LPOVERLAPPED overlapped)
{
    (void)overlapped;
    DWORD count = 0;
    if (got != nullptr)
        *got = 0;
    OpenPort *p = portOf(h);
    if (p == nullptr)
        return FALSE;
    if (got == nullptr || (buffer == nullptr && toRead > 0)) {
        fail(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (toRead == 0)
        return TRUE;

    const COMMTIMEOUTS &t = p->timeouts;
    const int64_t start = nowMs();
    // MAXDWORD interval with zero totals: return at once with what is waiting.
    const bool immediate =
        t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0;
    // MAXDWORD interval and multiplier: wait up to the constant for the first byte only.
    const bool firstByteOnly = t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD &&
                               t.ReadTotalTimeoutConstant > 0 && t.ReadTotalTimeoutConstant < MAXDWORD;
    int64_t totalMs = -1;
    if (firstByteOnly)
        totalMs = t.ReadTotalTimeoutConstant;
    else if (t.ReadTotalTimeoutConstant != 0 || t.ReadTotalTimeoutMultiplier != 0)
        totalMs = (int64_t)t.ReadTotalTimeoutConstant + (int64_t)t.ReadTotalTimeoutMultiplier * toRead;
    const int64_t intervalMs =
        (t.ReadIntervalTimeout == 0 || t.ReadIntervalTimeout == MAXDWORD) ? -1 : t.ReadIntervalTimeout;
    int64_t lastByteAt = 0;
    unsigned char *out = (unsigned char *)buffer;

    // In raw mode with VMIN = VTIME = 0 a tty read returns 0 when nothing is waiting,
    // so 0 bytes means a hang-up only right after poll said the line was readable.
    bool pollSaidReadable = false;
    for (;;) {
        ssize_t r = read(p->fd, out + count, toRead - count);
        if (r > 0) {
            count += (DWORD)r;
            lastByteAt = nowMs();
            pollSaidReadable = false;
            if (count == toRead || immediate || firstByteOnly)
                break;
            continue;
        }
        int err = r < 0 ? errno : 0;
        bool hangup = (r == 0 && pollSaidReadable);
        if (r < 0 && err != EAGAIN && err != EWOULDBLOCK && err != EINTR)
            hangup = true; // EIO and the like: the device or the other side went away
        if (hangup) {
            fail(ERROR_GEN_FAILURE, r < 0 ? err : 0);
            *got = count;
            return count > 0;
        }
        if (immediate)
            break;

        int64_t now = nowMs();
        bool bounded = false;
        int64_t wait = 0;
        if (totalMs >= 0) {
            wait = start + totalMs - now;
            bounded = true;
        }
        if (count > 0 && intervalMs >= 0) {
            int64_t gap = lastByteAt + intervalMs - now;
            wait = (bounded && wait < gap) ? wait : gap;
            bounded = true;
        }
        if (bounded && wait <= 0)
            break;
        pollfd pfd{p->fd, POLLIN, 0};
        int rc = poll(&pfd, 1, !bounded ? -1 : (int)(wait > 0x7FFFFFFF ? 0x7FFFFFFF : wait));
        if (rc < 0 && errno != EINTR) {
            fail(ERROR_GEN_FAILURE, errno);
            *got = count;
            return count > 0;
        }
        if (rc > 0 && !(pfd.revents & POLLIN) && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            fail(ERROR_GEN_FAILURE);
            *got = count;
            return count > 0;
        }
        pollSaidReadable = rc > 0;
    }
    *got = count;
    return TRUE;
}

BOOL WriteFile(HANDLE h, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED overlapped)
{
    (void)overlapped;
    DWORD count = 0;
    if (written != nullptr)
        *written = 0;
    OpenPort *p = portOf(h);
    if (p == nullptr)
        return FALSE;
    if (written == nullptr || (buffer == nullptr && toWrite > 0)) {
        fail(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const COMMTIMEOUTS &t = p->timeouts;
    const int64_t start = nowMs();
    int64_t totalMs = -1;
    if (t.WriteTotalTimeoutConstant != 0 || t.WriteTotalTimeoutMultiplier != 0)
        totalMs = (int64_t)t.WriteTotalTimeoutConstant + (int64_t)t.WriteTotalTimeoutMultiplier * toWrite;
    const unsigned char *in = (const unsigned char *)buffer;
    while (count < toWrite) {
        ssize_t r = write(p->fd, in + count, toWrite - count);
        if (r > 0) {
            count += (DWORD)r;
            continue;
        }
        if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            fail(ERROR_GEN_FAILURE, errno);
            *written = count;
            return FALSE;
        }
        int64_t wait = totalMs < 0 ? -1 : start + totalMs - nowMs();
        if (totalMs >= 0 && wait <= 0)
            break; // the write deadline passed: report what went out
        pollfd pfd{p->fd, POLLOUT, 0};
        int rc = poll(&pfd, 1, wait < 0 ? -1 : (int)(wait > 0x7FFFFFFF ? 0x7FFFFFFF : wait));
        if (rc < 0 && errno != EINTR) {
            fail(ERROR_GEN_FAILURE, errno);
            *written = count;
            return FALSE;
        }
        if (rc > 0 && !(pfd.revents & POLLOUT) && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            fail(ERROR_GEN_FAILURE);
            *written = count;
            return FALSE;
        }
    }
    *written = count;
    return TRUE;
}

BOOL ClearCommError(HANDLE h, LPDWORD errors, LPCOMSTAT stat)
{
    OpenPort *p = portOf(h);
    if (p == nullptr)
        return FALSE;
    if (errors != nullptr)
        *errors = 0;
    // A hung-up tty (a pulled USB adapter, a closed pty master) fails these with
    // EIO, as Windows fails ClearCommError on a removed device.
    int in = 0, out = 0;
    if (ioctl(p->fd, FIONREAD, &in) != 0 || ioctl(p->fd, TIOCOUTQ, &out) != 0) {
        fail(ERROR_GEN_FAILURE, errno);
        return FALSE;
    }
    if (stat != nullptr) {
        memset(stat, 0, sizeof *stat);
        stat->cbInQue = (DWORD)in;
        stat->cbOutQue = (DWORD)out;
    }
    return TRUE;
}

BOOL CloseHandle(HANDLE h)
{
    OpenPort *p = portOf(h);
    if (p == nullptr)
        return FALSE;
    releasePort(*p);
    return TRUE;
}
