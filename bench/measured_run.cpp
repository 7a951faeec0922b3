#include "measured_run.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char **environ;

namespace capturebench {

namespace {

using Clock = std::chrono::steady_clock;

double msBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

struct Sample {
    double atMs;
    double cpuMs;
};

// The CPU clock at `atMs`, interpolated between the samples around it.
double cpuAt(const std::vector<Sample> &samples, double atMs)
{
    if (samples.empty())
        return 0;
    if (atMs <= samples.front().atMs)
        return samples.front().cpuMs;
    for (size_t i = 1; i < samples.size(); ++i) {
        if (samples[i].atMs >= atMs) {
            const Sample &a = samples[i - 1], &b = samples[i];
            double f = b.atMs > a.atMs ? (atMs - a.atMs) / (b.atMs - a.atMs) : 1;
            return a.cpuMs + f * (b.cpuMs - a.cpuMs);
        }
    }
    return samples.back().cpuMs;
}

std::vector<std::string> environmentWith(const std::map<std::string, std::string> &extra)
{
    std::vector<std::string> out;
    for (char **e = environ; *e != nullptr; ++e) {
        std::string entry = *e;
        if (!extra.count(entry.substr(0, entry.find('='))))
            out.push_back(entry);
    }
    for (const auto &[key, value] : extra)
        out.push_back(key + "=" + value);
    return out;
}

std::vector<char *> pointers(std::vector<std::string> &strings)
{
    std::vector<char *> out;
    for (std::string &s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

// Closes a descriptor when it goes out of scope.
struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            close(fd);
    }
};

// The next line run_child reports, waiting until `end` at most ("" at its end or then).
std::string reportLine(int fd, std::string *pending, Clock::time_point end)
{
    for (;;) {
        size_t newline = pending->find('\n');
        if (newline != std::string::npos) {
            std::string line = pending->substr(0, newline);
            pending->erase(0, newline + 1);
            return line;
        }
        pollfd p{fd, POLLIN, 0};
        int left = (int)std::max<double>(0, msBetween(Clock::now(), end));
        if (poll(&p, 1, left) <= 0)
            return "";
        char buf[256];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            return "";
        pending->append(buf, (size_t)n);
    }
}

} // namespace

RunFigures measureRun(const std::string &runChild, const std::vector<std::string> &argv,
                      const std::map<std::string, std::string> &env, const std::string &workDir,
                      const std::string &portPath, double waitsMs, std::chrono::seconds limit)
{
    RunFigures figures;
    Fd watch{inotify_init1(IN_NONBLOCK | IN_CLOEXEC)};
    if (watch.fd < 0 || inotify_add_watch(watch.fd, portPath.c_str(), IN_OPEN) < 0) {
        figures.problem = "cannot watch " + portPath + ": " + std::strerror(errno);
        return figures;
    }
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        figures.problem = std::string("pipe: ") + std::strerror(errno);
        return figures;
    }
    Fd report{pipeFds[0]}, reportWrite{pipeFds[1]};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, (workDir + "/stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, (workDir + "/stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, reportWrite.fd, 3);
    std::vector<std::string> args{runChild};
    args.insert(args.end(), argv.begin(), argv.end());
    std::vector<std::string> envStrings = environmentWith(env);
    std::vector<char *> argp = pointers(args), envp = pointers(envStrings);

    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + limit;
    pid_t launcher = -1;
    int rc = posix_spawn(&launcher, runChild.c_str(), &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(reportWrite.fd);
    reportWrite.fd = -1;
    if (rc != 0) {
        figures.problem = "cannot start " + runChild + ": " + std::strerror(rc);
        return figures;
    }

    std::string pending;
    std::string first = reportLine(report.fd, &pending, end);
    int pid = 0;
    if (std::sscanf(first.c_str(), "pid %d", &pid) != 1 || pid <= 0) {
        int err = 0;
        std::sscanf(first.c_str(), "error %d", &err);
        figures.problem = "cannot start " + argv[0] + (err ? std::string(": ") + std::strerror(err) : "");
        waitpid(launcher, nullptr, 0);
        return figures;
    }
    clockid_t cpuClock;
    const bool haveCpuClock = clock_getcpuclockid(pid, &cpuClock) == 0;
    auto cpuNow = [&](double *ms) {
        timespec ts;
        if (!haveCpuClock || clock_gettime(cpuClock, &ts) != 0)
            return false;
        *ms = (double)ts.tv_sec * 1e3 + (double)ts.tv_nsec / 1e6;
        return true;
    };

    // Until the port opens, a CPU sample every millisecond; then only the end,
    // which run_child reports as soon as it has collected the program.
    std::vector<Sample> samples;
    samples.reserve(8192);
    double openedAtMs = -1;
    std::string last;
    while (last.empty()) {
        double cpu;
        if (openedAtMs < 0 && cpuNow(&cpu))
            samples.push_back({msBetween(start, Clock::now()), cpu});
        const double left = msBetween(Clock::now(), end);
        if (left <= 0)
            break;
        pollfd p[2] = {{report.fd, POLLIN, 0}, {openedAtMs < 0 ? watch.fd : -1, POLLIN, 0}};
        poll(p, 2, openedAtMs < 0 ? 1 : (int)std::max(1.0, left));
        const Clock::time_point now = Clock::now();
        if (p[1].revents & POLLIN) {
            openedAtMs = msBetween(start, now);
            if (cpuNow(&cpu))
                samples.push_back({openedAtMs, cpu});
        }
        if (p[0].revents & (POLLIN | POLLHUP)) {
            figures.wallMs = msBetween(start, now);
            last = reportLine(report.fd, &pending, now);
            if (last.empty())
                break; // run_child ended without a report
        }
    }
    const bool timedOut = last.empty() && Clock::now() >= end;
    if (timedOut) {
        kill(pid, SIGKILL);
        last = reportLine(report.fd, &pending, Clock::now() + std::chrono::seconds(10));
        figures.wallMs = msBetween(start, Clock::now());
    }
    int status = -1;
    long peak = 0, userUs = 0, systemUs = 0;
    bool reported = std::sscanf(last.c_str(), "end %d %ld %ld %ld", &status, &peak, &userUs, &systemUs) == 4;
    while (waitpid(launcher, nullptr, 0) < 0 && errno == EINTR) {
    }
    figures.exitStatus = status;
    figures.cpuMs = (double)(userUs + systemUs) / 1e3;
    figures.peakKiB = peak;
    if (openedAtMs >= 0 && haveCpuClock) {
        figures.startupMs = openedAtMs - waitsMs;
        if (openedAtMs >= waitsMs)
            figures.busyWaitCpuMs = cpuAt(samples, openedAtMs) - cpuAt(samples, openedAtMs - waitsMs);
    }

    if (timedOut)
        figures.problem = "still running after " + std::to_string(limit.count()) + " s";
    else if (!reported)
        figures.problem = "run_child reported no end";
    else if (status < 0)
        figures.problem = "ended by a signal";
    else if (openedAtMs < 0)
        figures.problem = "never opened " + portPath;
    else if (figures.busyWaitCpuMs < 0)
        figures.problem = "opened " + portPath + " before its waits could have ended";
    return figures;
}

} // namespace capturebench
