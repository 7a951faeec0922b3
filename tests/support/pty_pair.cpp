#include "pty_pair.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

ptyPair::ptyPair(Slave mode)
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        throw std::runtime_error("cannot open a pseudo-terminal");
    slave_ = ptsname(master_);
    // raw on the slave side before anyone uses it, so nothing is echoed back
    int s = mode == Slave::Raw ? open(slave_.c_str(), O_RDWR | O_NOCTTY) : -1;
    if (s >= 0) {
        termios tio;
        tcgetattr(s, &tio);
        cfmakeraw(&tio);
        tcsetattr(s, TCSANOW, &tio);
        close(s);
    }
}

ptyPair::~ptyPair() { closeMaster(); }

void ptyPair::closeMaster()
{
    if (master_ >= 0)
        close(master_);
    master_ = -1;
}

void ptyPair::write(const std::string &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += (size_t)n;
        else if (n < 0 && errno != EINTR && errno != EAGAIN)
            throw std::runtime_error("write to pty master failed");
    }
}

void ptyPair::write(const std::vector<unsigned char> &bytes) { write(std::string(bytes.begin(), bytes.end())); }

std::string ptyPair::read(size_t count, std::chrono::milliseconds timeout)
{
    std::string got;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (got.size() < count) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd pfd{master_, POLLIN, 0};
        if (poll(&pfd, 1, (int)left.count()) <= 0)
            continue;
        char buf[4096];
        ssize_t n = ::read(master_, buf, std::min(sizeof buf, count - got.size()));
        if (n > 0)
            got.append(buf, (size_t)n);
        else if (n < 0 && errno == EIO)
            usleep(5000); // slave not open at the moment
    }
    return got;
}

std::string ptyPair::readUntil(const std::string &terminator, std::chrono::milliseconds timeout)
{
    std::string got;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (got.size() < terminator.size() || got.compare(got.size() - terminator.size(), terminator.size(), terminator) != 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        got += read(1, left);
    }
    return got;
}
