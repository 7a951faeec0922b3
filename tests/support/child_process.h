// A program run as a child process: the one place the tests fork.
//
//   ChildProcess child(path, {"--flag", "value"}, {{"COM9", link}}, workDir);
//   std::string line = child.readLine(5s);   // its first line of standard output
//   std::string some = child.read(4096, 5s); // up to 4096 bytes of it
//   child.signal(SIGTERM);
//   int status = child.wait(5s);             // exit status; -1 when killed by a signal
//   int sig = child.endedBy();               // SIGTERM
//
// Standard input is /dev/null; standard output is a pipe the test reads; standard
// error is a pipe too, or, with `errFile`, that file (for a program that logs a lot
// and is never drained). The constructor throws, with every descriptor it made closed
// again, when a pipe, `errFile` or the fork cannot be made. The destructor kills a
// child still running.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

class ChildProcess {
public:
    ChildProcess(const std::string &program, const std::vector<std::string> &args,
                 const std::map<std::string, std::string> &env = {}, const std::string &workDir = "",
                 const std::string &errFile = "");
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Standard output up to its first line end (left out), or what came within `timeout`.
    std::string readLine(std::chrono::milliseconds timeout);
    // Standard output until `count` bytes came, or what came within `timeout`.
    std::string read(size_t count, std::chrono::milliseconds timeout);
    // Collects standard output and standard error until both end; past `deadline`
    // the child is killed and false returned.
    bool drain(std::string &out, std::string &err, std::chrono::steady_clock::time_point deadline);
    void signal(int sig);
    bool running();
    // The exit status, -1 when killed by a signal; a child still running after
    // `timeout` is killed (SIGKILL) and -1 returned.
    int wait(std::chrono::milliseconds timeout);
    // The signal that ended it, 0 when it exited (or is still running).
    int endedBy() const { return signal_; }

private:
    pid_t pid_ = -1;
    int out_ = -1, err_ = -1;
    int status_ = -2; // -2: not yet reaped
    int signal_ = 0;
};
