// A pseudo-terminal pair for tests: the code under test opens the slave path,
// the test drives the master side.
#pragma once

#include <chrono>
#include <string>
#include <vector>

class ptyPair {
public:
    // Cooked leaves the slave in the kernel's default line settings (canonical, echo,
    // CR/LF and flow-control translation), as a real port may be found.
    enum class Slave { Raw, Cooked };
    // Opens a master; the slave, which slavePath() names, is made raw unless Cooked.
    explicit ptyPair(Slave mode = Slave::Raw);
    ~ptyPair(); // closes the master (the slave sees a hang-up)
    ptyPair(const ptyPair &) = delete;
    ptyPair &operator=(const ptyPair &) = delete;

    const std::string &slavePath() const { return slave_; }
    int masterFd() const { return master_; }

    void write(const std::string &bytes);
    void write(const std::vector<unsigned char> &bytes);
    // Reads what arrives until `count` bytes came or `timeout` passed.
    std::string read(size_t count, std::chrono::milliseconds timeout);
    // Reads until the text ends with `terminator` or `timeout` passed.
    std::string readUntil(const std::string &terminator, std::chrono::milliseconds timeout);
    void closeMaster();

private:
    int master_ = -1;
    std::string slave_;
};
