// Pseudo-terminals for tests, raw as a serial line is. Either end reads and writes
// the same way:
//
//   ptyPair pty;                         // the test plays the instrument on the master
//   setenv("COM9", pty.slavePath().c_str(), 1);
//   pty.write("reply\n");
//   std::string frame = pty.read(4, 2s); // up to 4 bytes, or what came within 2 s
//
//   SlavePort port(bench.slavePath());   // the test plays the program on a slave
//   std::string line = port.query("*idn?\r"); // writes, then reads up to "\n" within 2 s
//   bool gone = port.hungUp(5s);         // the other end closed the line
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class PtyEnd {
public:
    PtyEnd(const PtyEnd &) = delete;
    PtyEnd &operator=(const PtyEnd &) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    void write(const std::string &bytes);
    void write(const std::vector<unsigned char> &bytes) { write(std::string(bytes.begin(), bytes.end())); }
    // What arrives until `count` bytes came or `timeout` passed.
    std::string read(size_t count, std::chrono::milliseconds timeout);
    // Until the data ends with `end`, or `timeout`.
    std::string readUntil(const std::string &end, std::chrono::milliseconds timeout);
    // Writes `command`, then reads its reply up to the line end.
    std::string query(const std::string &command, std::chrono::milliseconds timeout = std::chrono::seconds(2))
    {
        write(command);
        return readUntil("\n", timeout);
    }
    // Everything that arrives within `window`.
    std::string readFor(std::chrono::milliseconds window) { return read(SIZE_MAX, window); }
    // True when the line is hung up (a read gives 0 or EIO, or poll reports POLLHUP)
    // within `timeout`; bytes read meanwhile are appended to *data. A slave's only: a
    // master waits through hang-ups.
    bool hungUp(std::chrono::milliseconds timeout, std::string *data = nullptr);
    void close();

protected:
    // A master without a slave open reports a hang-up until one opens: it waits
    // through it, where a slave takes it as the end of the line.
    PtyEnd(int fd, bool master) : fd_(fd), master_(master) {}
    ~PtyEnd() { close(); }
    int fd_ = -1;
    bool master_;
    bool hungUp_ = false; // the last read ended at a hang-up
};

// A new master; the code under test opens slavePath(). Closing the master (or its
// end) hangs the line up.
class ptyPair : public PtyEnd {
public:
    // Cooked leaves the slave in the kernel's default line settings (canonical, echo,
    // CR/LF and flow-control translation), as a real port may be found.
    enum class Slave { Raw, Cooked };
    // Opens a master; the slave, which slavePath() names, is made raw unless Cooked.
    explicit ptyPair(Slave mode = Slave::Raw);
    const std::string &slavePath() const { return slave_; }
    void closeMaster() { close(); }

private:
    std::string slave_;
};

// A slave opened by path, raw and non-blocking; `exclusive` adds TIOCEXCL as the program does.
class SlavePort : public PtyEnd {
public:
    explicit SlavePort(const std::string &path, bool exclusive = false);
};
