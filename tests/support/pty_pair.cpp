#include "pty_pair.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Whole milliseconds until `deadline`, rounded up; 0 or less once it has passed.
static int msUntil(Clock::time_point deadline)
{
    return (int)std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
}

// Raw; with `immediate`, a read returns at once (the test's own poll does the waiting).
static void makeRaw(int fd, bool immediate)
{
    termios tio;
    if (tcgetattr(fd, &tio) != 0)
        return;
    cfmakeraw(&tio);
    if (immediate)
        tio.c_cc[VMIN] = tio.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &tio);
}

ptyPair::ptyPair(Slave mode) : PtyEnd(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC), true)
{
    if (fd_ < 0 || grantpt(fd_) != 0 || unlockpt(fd_) != 0)
        throw std::runtime_error("cannot open a pseudo-terminal");
    slave_ = ptsname(fd_);
    // raw on the slave side before anyone uses it, so nothing is echoed back
    int s = mode == Slave::Raw ? open(slave_.c_str(), O_RDWR | O_NOCTTY) : -1;
    if (s >= 0) {
        makeRaw(s, false);
        ::close(s);
    }
}

SlavePort::SlavePort(const std::string &path, bool exclusive)
    : PtyEnd(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC), false)
{
    if (fd_ < 0)
        return;
    makeRaw(fd_, true);
    if (exclusive)
        ioctl(fd_, TIOCEXCL);
}

void PtyEnd::close()
{
    if (fd_ >= 0 && !master_)
        ioctl(fd_, TIOCNXCL);
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void PtyEnd::write(const std::string &bytes)
{
    size_t done = 0;
    auto deadline = Clock::now() + 2s; // a slave is non-blocking; the master waits for room
    while (done < bytes.size() && (master_ || Clock::now() < deadline)) {
        ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += (size_t)n;
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd_, POLLOUT, 0};
            poll(&p, 1, 10);
        } else {
            throw std::runtime_error("write to the pty failed");
        }
    }
}

std::string PtyEnd::read(size_t count, std::chrono::milliseconds timeout)
{
    std::string got;
    hungUp_ = false;
    auto deadline = Clock::now() + timeout;
    for (int left; got.size() < count && (left = msUntil(deadline)) > 0;) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, left) <= 0)
            continue;
        ssize_t n = -1;
        char buf[4096];
        if (p.revents & POLLIN)
            n = ::read(fd_, buf, std::min(sizeof buf, count - got.size()));
        if (n > 0)
            got.append(buf, (size_t)n);
        else if (master_)
            std::this_thread::sleep_for(5ms); // no slave open at the moment
        else if (n == 0 || !(p.revents & POLLIN) || (errno != EAGAIN && errno != EINTR)) {
            hungUp_ = true; // nothing more to come
            break;
        }
    }
    return got;
}

std::string PtyEnd::readUntil(const std::string &end, std::chrono::milliseconds timeout)
{
    std::string got;
    auto deadline = Clock::now() + timeout;
    for (int left; !got.ends_with(end) && (left = msUntil(deadline)) > 0;) {
        std::string more = read(1, std::chrono::milliseconds(left));
        if (more.empty())
            break;
        got += more;
    }
    return got;
}

bool PtyEnd::hungUp(std::chrono::milliseconds timeout, std::string *data)
{
    std::string got = readFor(timeout);
    if (data != nullptr)
        *data += got;
    return hungUp_;
}
