#include "sim_support.h"

#include "run_program.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace simtest {

using Clock = std::chrono::steady_clock;

std::string bytes(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values)
        out += (char)(unsigned char)v;
    return out;
}

std::string bytes(const std::vector<uint8_t> &values) { return std::string(values.begin(), values.end()); }

std::string hex(const std::string &data)
{
    std::string out;
    char buf[4];
    for (size_t i = 0; i < data.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02X", (unsigned char)data[i]);
        out += (i ? " " : "") + std::string(buf);
    }
    return out;
}

SlavePort::SlavePort(const std::string &path, bool exclusive)
{
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        return;
    termios tio;
    if (tcgetattr(fd_, &tio) == 0) {
        cfmakeraw(&tio);
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        tcsetattr(fd_, TCSANOW, &tio);
    }
    if (exclusive)
        ioctl(fd_, TIOCEXCL);
}

SlavePort::~SlavePort() { close(); }

void SlavePort::close()
{
    if (fd_ >= 0) {
        ioctl(fd_, TIOCNXCL);
        ::close(fd_);
    }
    fd_ = -1;
}

void SlavePort::write(const std::string &data)
{
    size_t done = 0;
    auto deadline = Clock::now() + 2s;
    while (done < data.size() && Clock::now() < deadline) {
        ssize_t n = ::write(fd_, data.data() + done, data.size() - done);
        if (n > 0) {
            done += (size_t)n;
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd_, POLLOUT, 0};
            poll(&p, 1, 10);
        } else {
            throw std::runtime_error("write to the pty slave failed");
        }
    }
}

std::string SlavePort::read(size_t count, std::chrono::milliseconds timeout)
{
    std::string got;
    auto deadline = Clock::now() + timeout;
    while (got.size() < count) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        pollfd p{fd_, POLLIN, 0};
        int rc = poll(&p, 1, (int)left.count());
        if (rc <= 0)
            continue;
        if (!(p.revents & POLLIN))
            break; // hung up, nothing more to come
        char buf[4096];
        ssize_t n = ::read(fd_, buf, std::min(sizeof buf, count - got.size()));
        if (n > 0)
            got.append(buf, (size_t)n);
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            break;
    }
    return got;
}

std::string SlavePort::readUntil(const std::string &end, std::chrono::milliseconds timeout)
{
    std::string got;
    auto deadline = Clock::now() + timeout;
    while (got.size() < end.size() || got.compare(got.size() - end.size(), end.size(), end) != 0) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        std::string more = read(1, left);
        if (more.empty())
            break;
        got += more;
    }
    return got;
}

bool SlavePort::hungUp(std::chrono::milliseconds timeout, std::string *data)
{
    auto deadline = Clock::now() + timeout;
    for (;;) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, (int)left.count()) <= 0)
            continue;
        char buf[4096];
        ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n > 0) {
            if (data != nullptr)
                data->append(buf, (size_t)n);
            continue;
        }
        if (n == 0 || (n < 0 && errno == EIO))
            return true;
        if (p.revents & POLLHUP)
            return true;
    }
}

std::string benchsimPath() { return buildDir() + "/sim/benchsim"; }

BenchProcess::BenchProcess(const std::vector<std::string> &args, const std::string &errFile)
{
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    std::string program = benchsimPath();
    pid_ = fork();
    if (pid_ == 0) {
        dup2(pipeFds[1], 1);
        int err = ::open(errFile.empty() ? "/dev/null" : errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(err, 2);
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>(program.c_str()));
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    ::close(pipeFds[1]);
    out_ = pipeFds[0];
    auto deadline = Clock::now() + 5s;
    while (Clock::now() < deadline) {
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        char c;
        ssize_t n = ::read(out_, &c, 1);
        if (n <= 0 || c == '\n')
            break;
        firstLine_ += c;
    }
}

BenchProcess::~BenchProcess()
{
    if (running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0)
        ::close(out_);
}

void BenchProcess::signal(int sig) { kill(pid_, sig); }

bool BenchProcess::running()
{
    if (status_ != -2 || pid_ <= 0)
        return false;
    int st = 0;
    pid_t r = waitpid(pid_, &st, WNOHANG);
    if (r == pid_) {
        status_ = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
        return false;
    }
    return true;
}

int BenchProcess::waitExit(std::chrono::milliseconds timeout)
{
    auto deadline = Clock::now() + timeout;
    while (running()) {
        if (Clock::now() >= deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            status_ = -1;
            return -1;
        }
        std::this_thread::sleep_for(10ms);
    }
    return status_;
}

} // namespace simtest
