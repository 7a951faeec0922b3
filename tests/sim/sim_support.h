// For the virtual bench's tests: the program's side of the line (the pty slave,
// opened raw like a serial port) and benchsim run in the background.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace simtest {

using namespace std::chrono_literals;

std::string bytes(std::initializer_list<int> values);
std::string bytes(const std::vector<uint8_t> &values);
std::string hex(const std::string &data); // "5A 01"

class SlavePort {
public:
    // Opens the path raw and non-blocking; `exclusive` adds TIOCEXCL as the program does.
    explicit SlavePort(const std::string &path, bool exclusive = false);
    ~SlavePort();
    SlavePort(const SlavePort &) = delete;
    SlavePort &operator=(const SlavePort &) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    void write(const std::string &data);
    // What arrives until `count` bytes came or `timeout` passed.
    std::string read(size_t count, std::chrono::milliseconds timeout);
    // Until the data ends with `end`, or `timeout`.
    std::string readUntil(const std::string &end, std::chrono::milliseconds timeout);
    // Everything that arrives within `window`.
    std::string readFor(std::chrono::milliseconds window) { return read(SIZE_MAX, window); }
    // True when the line is hung up (poll reports POLLHUP / a read gives 0 or EIO)
    // within `timeout`; bytes read meanwhile are appended to *data.
    bool hungUp(std::chrono::milliseconds timeout, std::string *data = nullptr);
    void close();

private:
    int fd_ = -1;
};

class BenchProcess {
public:
    // Starts build/sim/benchsim with the arguments (standard error to `errFile`, or
    // /dev/null) and reads its first line of standard output.
    BenchProcess(const std::vector<std::string> &args, const std::string &errFile = "");
    ~BenchProcess(); // kills it if still running
    const std::string &firstLine() const { return firstLine_; }
    void signal(int sig);
    // Exit status, or -1 if it did not exit within `timeout` (then it is killed).
    int waitExit(std::chrono::milliseconds timeout);
    bool running();

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string firstLine_;
    int status_ = -2;
};

std::string benchsimPath();

} // namespace simtest
