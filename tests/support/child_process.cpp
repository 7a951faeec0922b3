#include "child_process.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using Clock = std::chrono::steady_clock;

ChildProcess::ChildProcess(const std::string &program, const std::vector<std::string> &args,
                           const std::map<std::string, std::string> &env, const std::string &workDir,
                           const std::string &errFile)
{
    int outPipe[2] = {-1, -1}, errPipe[2] = {-1, -1}, errFd = -1;
    // every descriptor made so far is closed before a failure is thrown
    auto fail = [&](const std::string &what) {
        int error = errno;
        for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1], errFile.empty() ? -1 : errFd})
            if (fd >= 0)
                close(fd);
        throw std::runtime_error(what + ": " + strerror(error));
    };
    if (pipe2(outPipe, O_CLOEXEC) != 0 || (errFile.empty() && pipe2(errPipe, O_CLOEXEC) != 0))
        fail("pipe failed");
    errFd = errFile.empty() ? errPipe[1] : open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (errFd < 0)
        fail("cannot open " + errFile);
    std::vector<char *> argv = {const_cast<char *>(program.c_str())};
    for (const auto &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ < 0)
        fail("fork failed");
    if (pid_ == 0) {
        dup2(open("/dev/null", O_RDONLY), 0);
        dup2(outPipe[1], 1);
        dup2(errFd, 2);
        for (const auto &[name, value] : env)
            setenv(name.c_str(), value.c_str(), 1);
        if (!workDir.empty() && chdir(workDir.c_str()) != 0)
            _exit(126);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errFd);
    out_ = outPipe[0];
    err_ = errPipe[0];
}

ChildProcess::~ChildProcess()
{
    wait(std::chrono::milliseconds(0)); // kills it if still running
    for (int fd : {out_, err_})
        if (fd >= 0)
            close(fd);
}

std::string ChildProcess::readLine(std::chrono::milliseconds timeout)
{
    std::string line;
    auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        char c;
        // one byte at a time: what follows the line stays in the pipe
        if (::read(out_, &c, 1) <= 0 || c == '\n')
            break;
        line += c;
    }
    return line;
}

std::string ChildProcess::read(size_t count, std::chrono::milliseconds timeout)
{
    std::string data;
    auto deadline = Clock::now() + timeout;
    while (data.size() < count && Clock::now() < deadline) {
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        char buf[4096];
        ssize_t n = ::read(out_, buf, std::min(sizeof buf, count - data.size()));
        if (n <= 0)
            break;
        data.append(buf, (size_t)n);
    }
    return data;
}

bool ChildProcess::drain(std::string &out, std::string &err, Clock::time_point deadline)
{
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            wait(std::chrono::milliseconds(0));
            return false;
        }
        if (poll(fds, 2, (int)std::min<long long>(left.count(), 1000)) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            char buf[65536];
            ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n > 0)
                (i == 0 ? out : err).append(buf, (size_t)n);
            else if (n == 0 || errno != EINTR)
                fds[i].fd = -1;
        }
    }
    return true;
}

void ChildProcess::signal(int sig)
{
    if (running())
        kill(pid_, sig);
}

bool ChildProcess::running()
{
    if (status_ != -2 || pid_ <= 0)
        return false;
    int st = 0;
    if (waitpid(pid_, &st, WNOHANG) != pid_)
        return true;
    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    signal_ = WIFSIGNALED(st) ? WTERMSIG(st) : 0;
    return false;
}

int ChildProcess::wait(std::chrono::milliseconds timeout)
{
    auto deadline = Clock::now() + timeout;
    while (running()) {
        if (Clock::now() >= deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            status_ = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return status_;
}
