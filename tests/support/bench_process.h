// benchsim as a child process: started with its options, ready once it has printed
// its link path, stopped with SIGTERM (or ended by itself with --once).
#pragma once

#include <string>
#include <vector>

class BenchProcess {
public:
    // Starts `benchsim PERSONALITY --link LINK ARGS...` and waits until it is ready.
    BenchProcess(const std::string &personality, const std::string &link, const std::vector<std::string> &args = {});
    ~BenchProcess(); // stops it if still running
    BenchProcess(const BenchProcess &) = delete;
    BenchProcess &operator=(const BenchProcess &) = delete;

    const std::string &link() const { return link_; }
    // Waits for the bench to end by itself (--once); returns its exit status, -1 on time-out.
    int wait(int seconds);
    // SIGTERM, then the exit status.
    int stop();
    std::string errors() const; // what it wrote on standard error so far

private:
    int pid_ = -1;
    int status_ = -1;
    std::string link_;
    std::string errPath_;
};

std::string benchsimPath();
