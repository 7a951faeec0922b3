#include "bench_process.h"

#include "run_program.h"

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

std::string benchsimPath() { return buildDir() + "/sim/benchsim"; }

BenchProcess::BenchProcess(const std::string &personality, const std::string &link,
                           const std::vector<std::string> &args)
    : link_(link)
{
    int outPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    char errName[] = "/tmp/benchsim-errXXXXXX";
    int errFd = mkstemp(errName);
    errPath_ = errName;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(outPipe[1], 1);
        dup2(errFd, 2);
        std::vector<std::string> all = {benchsimPath(), personality, "--link", link};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char *> argv;
        for (auto &a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errFd);
    // ready when it has printed the link path and a line end
    std::string said;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (said.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd pfd{outPipe[0], POLLIN, 0};
        if (poll(&pfd, 1, 200) <= 0)
            continue;
        char buf[256];
        ssize_t n = read(outPipe[0], buf, sizeof buf);
        if (n <= 0)
            break;
        said.append(buf, (size_t)n);
    }
    close(outPipe[0]);
    if (said.find(link) == std::string::npos) {
        stop();
        throw std::runtime_error("benchsim did not start: " + said + errors());
    }
}

BenchProcess::~BenchProcess()
{
    if (pid_ > 0)
        stop();
    unlink(errPath_.c_str());
}

int BenchProcess::wait(int seconds)
{
    if (pid_ <= 0)
        return status_;
    for (int i = 0; i < seconds * 20; ++i) {
        int st = 0;
        if (waitpid(pid_, &st, WNOHANG) == pid_) {
            pid_ = -1;
            status_ = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
            return status_;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -1;
}

int BenchProcess::stop()
{
    if (pid_ <= 0)
        return status_;
    kill(pid_, SIGTERM);
    if (wait(10) == -1 && pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        status_ = -1;
    }
    return status_;
}

std::string BenchProcess::errors() const { return readFile(errPath_); }
