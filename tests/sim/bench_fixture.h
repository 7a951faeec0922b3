// A virtual bench started in the test's own process, with the program's side of its
// line opened raw as a serial port is.
#pragma once

#include "bench.h"
#include "bench_process.h"
#include "pty_pair.h"
#include "run_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <thread>

namespace simtest {

using namespace std::chrono_literals;
using sim::BenchOptions;
using sim::hexBytes; // "5A 01"
using Clock = std::chrono::steady_clock;

// Plain bytes, for frames and for what a test compares byte for byte.
inline std::string bytes(std::initializer_list<int> values) { return std::string(values.begin(), values.end()); }
inline std::string bytes(const std::vector<uint8_t> &values) { return std::string(values.begin(), values.end()); }

// True once nothing is left at `path`, not even a dangling symlink.
inline bool linkGone(const std::string &path)
{
    return !std::filesystem::exists(std::filesystem::symlink_status(path));
}

// Whether the bench logged `line` among `log`.
inline bool logged(const std::vector<std::string> &log, const std::string &line)
{
    return std::find(log.begin(), log.end(), line) != log.end();
}

class BenchFixture : public ::testing::Test {
protected:
    // Starts the bench with the options the test has set in `opts`.
    void startBench(sim::Personality who = sim::Personality::Scope)
    {
        opts.personality = who;
        bench = std::make_unique<sim::VirtualBench>(opts);
        std::string error;
        ASSERT_TRUE(bench->start(&error)) << error;
        port = std::make_unique<SlavePort>(bench->slavePath());
        ASSERT_TRUE(port->isOpen());
    }
    void TearDown() override
    {
        port.reset();
        if (bench)
            bench->stop();
        if (!dir.empty())
            removeTree(dir);
    }
    // One frame and its reply of the length the program reads.
    std::string ask(const std::string &frame, size_t replyLength, std::chrono::milliseconds timeout = 2s)
    {
        port->write(frame);
        return port->read(replyLength, timeout);
    }
    // What comes back within `window` of sending `frame`.
    std::string askFor(const std::string &frame, std::chrono::milliseconds window)
    {
        return ask(frame, SIZE_MAX, window);
    }
    // A command and its reply up to the line end.
    std::string query(const std::string &command) { return port->query(command); }
    // A directory of the test's own, removed when it ends.
    std::string tempDir()
    {
        if (dir.empty())
            dir = makeTempDir("simtest-");
        return dir;
    }

    sim::BenchOptions opts;
    std::unique_ptr<sim::VirtualBench> bench;
    std::unique_ptr<SlavePort> port;

private:
    std::string dir;
};

} // namespace simtest
