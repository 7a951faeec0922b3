// The bench's end of the line: a pty master or a serial device.
#include "line_end.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#ifndef TIOCGPTPEER
#define TIOCGPTPEER _IO('T', 0x41)
#endif

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Without a way to look at the slave's queue (the port held exclusively by a
// program, and we lack CAP_SYS_ADMIN), this is how long the program gets to read it.
constexpr milliseconds kDrainGuess{1000};
// The slave's line discipline holds 4095 bytes; what the master writes beyond that
// waits in the tty's flip buffer, where neither the slave's queue count nor poll
// sees it, and where closing the master loses it. So while the queue can be
// watched, no more than this is outstanding.
constexpr size_t kPtyRoom = 4000;

void setRaw(int fd)
{
    termios tio;
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
}

bool lineSpeed(long baud, speed_t *code)
{
    static const struct {
        long baud;
        speed_t code;
    } table[] = {{50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
                 {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
                 {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
                 {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
                 {1000000, B1000000}, {2000000, B2000000}, {3000000, B3000000}, {4000000, B4000000}};
    for (const auto &e : table)
        if (e.baud == baud) {
            *code = e.code;
            return true;
        }
    return false;
}

// A device line set as the programs set theirs: raw, 8 data bits, no parity, one
// stop bit, no flow control, modem lines ignored.
bool setDeviceLine(int fd, long baud)
{
    termios tio;
    speed_t speed;
    if (!lineSpeed(baud, &speed)) {
        errno = EINVAL;
        return false;
    }
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    tio.c_cflag &= ~(tcflag_t)(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(tcflag_t)(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0 || tcsetattr(fd, TCSANOW, &tio) != 0)
        return false;
    tcflush(fd, TCIOFLUSH); // what waited on the line before the bench started is no reply
    return true;
}

} // namespace

LineEnd::~LineEnd()
{
    close();
    // only now: interrupt() may write to it until the answering thread has ended
    for (int &fd : wake_) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

bool LineEnd::fail(const std::string &what, std::string *error)
{
    if (error != nullptr)
        *error = what + ": " + std::strerror(errno);
    const int err = errno;
    close();
    errno = err;
    return false;
}

bool LineEnd::open(const BenchOptions &opts, std::string *error)
{
    opts_ = opts;
    link_ = opts.linkPath;
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
        return fail("cannot make a pipe", error);
    return opts.devicePath.empty() ? openPty(error) : openDevice(error);
}

bool LineEnd::openDevice(std::string *error)
{
    device_ = true;
    slave_ = port_ = opts_.devicePath;
    const long baud = opts_.baud > 0 ? opts_.baud : 19200;
    fd_ = ::open(slave_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0)
        return fail("cannot open " + slave_, error);
    if (!isatty(fd_))
        return fail(slave_ + " is not a serial device", error);
    if (flock(fd_, LOCK_EX | LOCK_NB) != 0)
        return fail(slave_ + " is in use by another program", error);
    if (!setDeviceLine(fd_, baud))
        return fail("cannot set " + slave_ + " to " + std::to_string(baud) + " baud", error);
    return true;
}

bool LineEnd::openPty(std::string *error)
{
    fd_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0)
        return fail("cannot open a pseudo-terminal", error);
    if (grantpt(fd_) != 0 || unlockpt(fd_) != 0)
        return fail("cannot unlock the pseudo-terminal", error);
    char name[128];
    if (ptsname_r(fd_, name, sizeof name) != 0)
        return fail("cannot name the pseudo-terminal", error);
    slave_ = name;
    setRaw(fd_);
    // raw before anyone opens it, so the program's first bytes are not echoed
    int s = ::open(slave_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (s < 0)
        return fail("cannot open " + slave_, error);
    setRaw(s);
    ::close(s);
    if (!link_.empty()) {
        // made beside the link and renamed over it, so the link never dangles half-made
        std::string tmp = link_ + ".benchsim-" + std::to_string(getpid());
        unlink(tmp.c_str());
        if (symlink(slave_.c_str(), tmp.c_str()) != 0)
            return fail("cannot make the link " + link_, error);
        if (rename(tmp.c_str(), link_.c_str()) != 0) {
            int err = errno;
            unlink(tmp.c_str());
            errno = err;
            return fail("cannot make the link " + link_, error);
        }
    }
    port_ = link_.empty() ? slave_ : link_;
    return true;
}

void LineEnd::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!link_.empty()) {
        char target[PATH_MAX];
        ssize_t n = readlink(link_.c_str(), target, sizeof target - 1);
        if (n >= 0 && std::string(target, (size_t)n) == slave_)
            unlink(link_.c_str());
    }
}

void LineEnd::interrupt()
{
    interrupted_ = true;
    ssize_t ignored = write(wake_[1], "x", 1);
    (void)ignored;
}

bool LineEnd::sleepFor(milliseconds ms)
{
    pollfd p{wake_[0], POLLIN, 0};
    poll(&p, 1, (int)std::max<long long>(0, ms.count()));
    return !interrupted_;
}

LineEnd::Input LineEnd::waitForInput(milliseconds timeout)
{
    pollfd fds[2] = {{fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    int rc = poll(fds, 2, timeout.count() < 0 ? -1 : (int)timeout.count());
    if (rc < 0)
        return errno == EINTR ? Input::Bytes : Input::Interrupted; // the read that follows finds nothing
    if (fds[1].revents || interrupted_)
        return Input::Interrupted;
    return rc == 0 ? Input::Quiet : Input::Bytes;
}

LineEnd::Got LineEnd::read(uint8_t *buf, size_t *size, std::string *why)
{
    ssize_t n = ::read(fd_, buf, *size);
    *size = n > 0 ? (size_t)n : 0;
    if (n > 0)
        return Got::Bytes;
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return Got::Nothing;
    if (device_) {
        // a pulled USB-serial adapter or a disconnected gadget: the line is gone
        *why = n < 0 ? std::strerror(errno) : "";
        return Got::HungUp;
    }
    return Got::Closed; // EIO: nobody has the slave open; it may be opened again at any time
}

// A device line does not say whether the program has its end open.
bool LineEnd::slaveClosed() const
{
    if (device_)
        return false;
    pollfd p{fd_, POLLOUT, 0};
    return poll(&p, 1, 0) > 0 && (p.revents & POLLHUP);
}

// A descriptor on the slave for looking at its queue, or -1. The peer ioctl needs
// no path; an exclusive open by the program refuses it except to root. A device has
// no peer here: its far end is the program's own port.
int LineEnd::openPeer() const
{
    return device_ ? -1 : ioctl(fd_, TIOCGPTPEER, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

// Has the program read everything written? poll on the slave first pushes what
// waits in the flip buffer into the line discipline, then looks there.
LineEnd::Queue LineEnd::slaveQueue() const
{
    int fd = openPeer();
    if (fd < 0)
        return Queue::Unknown;
    pollfd p{fd, POLLIN, 0};
    int rc = poll(&p, 1, 0);
    ::close(fd);
    return rc == 0 ? Queue::Empty : Queue::Pending;
}

void LineEnd::drain(milliseconds limit)
{
    const auto start = Clock::now();
    if (device_) {
        // what the far end has read is unknowable; wait until the reply left this port
        int queued = 0;
        while (!interrupted_ && Clock::now() - start < limit && ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0)
            sleepFor(milliseconds(2));
        tcdrain(fd_);
        return;
    }
    while (!interrupted_ && Clock::now() - start < limit) {
        if (slaveClosed())
            return;
        Queue q = slaveQueue();
        if (q == Queue::Empty || (q == Queue::Unknown && Clock::now() - start >= kDrainGuess))
            return;
        sleepFor(milliseconds(2));
    }
}

void LineEnd::programClosed()
{
    if (unreadReplies_) {
        int fd = openPeer();
        if (fd >= 0) {
            tcflush(fd, TCIFLUSH);
            ::close(fd);
        }
    }
    unreadReplies_ = false;
    outstanding_ = 0;
}

LineEnd::Sent LineEnd::send(const ShapedReply &reply)
{
    const std::vector<uint8_t> &bytes = reply.bytes;
    const size_t total = bytes.size();
    bool stallPending = reply.stallAt.has_value();
    const double rate = opts_.baud > 0 ? (double)opts_.baud / 10.0 : 0; // bytes per second
    auto paceStart = Clock::now();
    size_t paceBase = 0;
    Sent result;
    size_t &done = result.done;
    for (;;) {
        if (reply.hangupAt && done >= *reply.hangupAt) {
            result.outcome = Sent::HangupPoint;
            return result;
        }
        if (interrupted_) {
            result.outcome = Sent::Interrupted;
            return result;
        }
        if (done >= total)
            return result;
        if (stallPending && done == *reply.stallAt) {
            stallPending = false;
            if (!sleepFor(reply.stallFor)) {
                result.outcome = Sent::Interrupted;
                return result;
            }
            paceStart = Clock::now();
            paceBase = done;
            continue;
        }
        size_t limit = total;
        if (reply.hangupAt)
            limit = std::min(limit, *reply.hangupAt);
        if (stallPending)
            limit = std::min(limit, *reply.stallAt);
        size_t chunk = limit - done;
        if (rate > 0) {
            // byte k of this stretch is due k / rate seconds after it began
            double elapsed = std::chrono::duration<double>(Clock::now() - paceStart).count();
            size_t due = paceBase + (size_t)(elapsed * rate) + 1;
            if (due <= done) {
                double wait = (double)(done - paceBase) / rate - elapsed;
                sleepFor(milliseconds(std::max(2, (int)(wait * 1000))));
                continue;
            }
            chunk = std::min(chunk, due - done);
        }
        if (slaveClosed()) {
            result.outcome = Sent::Cut;
            result.why = "the port was closed after " + std::to_string(done) + " of " + std::to_string(total) + " bytes";
            return result;
        }
        if (outstanding_ + chunk > kPtyRoom) {
            if (outstanding_ >= kPtyRoom) {
                if (slaveQueue() == Queue::Pending)
                    sleepFor(milliseconds(1));
                else
                    outstanding_ = 0; // read; or we cannot tell, and the pty buffers it
                continue;
            }
            chunk = kPtyRoom - outstanding_;
        }
        ssize_t n = write(fd_, bytes.data() + done, chunk);
        if (n > 0) {
            done += (size_t)n;
            sent_ += (size_t)n;
            outstanding_ += (size_t)n;
            unreadReplies_ = true;
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            // the pty is full: the program reads the rest as it goes
            pollfd p[2] = {{fd_, POLLOUT, 0}, {wake_[0], POLLIN, 0}};
            poll(p, 2, 50);
            continue;
        }
        result.outcome = Sent::Cut;
        result.why = std::strerror(errno);
        return result;
    }
}

} // namespace sim
