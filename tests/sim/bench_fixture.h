// A virtual bench started in the test's own process, with the program's side of its
// line opened raw as a serial port is.
#pragma once

#include "bench.h"
#include "run_program.h"
#include "sim_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace simtest {

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
