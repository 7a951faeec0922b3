// benchsim as a child process, for every test that runs the bench as a program.
//
//   BenchProcess bench("scope", dir + "/com9", {"--once", "--quiet"}); // throws unless it started
//   runProgram(..., {{"COM9", bench.link()}}, ...);
//   EXPECT_EQ(bench.waitExit(10s), 0);   // --once: it ends by itself
//   EXPECT_EQ(bench.stop(), 0) << bench.errors();  // otherwise SIGTERM, then its status
//
//   BenchProcess raw({"iss", "--link", link, "--log", log}); // any command line, not checked
//   EXPECT_EQ(raw.firstLine(), link);     // the path it prints once it answers there
//   raw.signal(SIGINT);
//
// Its standard error goes to a file of its own, read with errors().
#pragma once

#include "child_process.h"
#include "scratch_dir.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

std::string benchsimPath();

class BenchProcess {
public:
    // `benchsim ARGS...`; firstLine() is its first line of standard output (empty
    // when it printed none within 20 s).
    explicit BenchProcess(const std::vector<std::string> &args);
    // `benchsim PERSONALITY --link LINK ARGS...`; throws (with its standard error)
    // unless it printed LINK.
    BenchProcess(const std::string &personality, const std::string &link, const std::vector<std::string> &args = {});
    ~BenchProcess(); // stops it if still running
    BenchProcess(const BenchProcess &) = delete;
    BenchProcess &operator=(const BenchProcess &) = delete;

    const std::string &firstLine() const { return firstLine_; }
    const std::string &link() const { return link_; }
    bool running() { return child_->running(); }
    void signal(int sig) { child_->signal(sig); }
    // Its exit status, -1 if it did not end within `timeout` (then it is killed).
    int waitExit(std::chrono::milliseconds timeout) { return child_->wait(timeout); }
    // SIGTERM, then the exit status (killed after 10 s).
    int stop();
    std::string errors() const; // what it wrote on standard error so far

private:
    ScratchDir dir_; // holds its standard error
    std::unique_ptr<ChildProcess> child_;
    std::string firstLine_;
    std::string link_;
};
