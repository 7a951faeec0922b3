// The measured run on programs whose behaviour is known: what it reports when the
// port is never opened or opened too early, that a program's peak memory is its
// own and not the measuring process's, and that a run never outlasts its limit.
#include "measured_run.h"
#include "pty_pair.h"
#include "scratch_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <vector>

using capturebench::RunFigures;
using namespace std::chrono_literals;

namespace {

// Each case measures a program against a fresh pseudo-terminal as its port.
class MeasuredRun : public ::testing::Test {
protected:
    RunFigures measure(const std::vector<std::string> &argv, std::chrono::seconds limit = 20s)
    {
        ScratchDir dir("measured");
        return capturebench::measureRun(RUN_CHILD_PROGRAM, argv, {}, dir.path(), port, 1200, limit);
    }
    ptyPair pty;
    const std::string port = pty.slavePath();
};

TEST_F(MeasuredRun, ProgramThatNeverOpensThePortIsReported)
{
    RunFigures run = measure({"true"});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.problem, "never opened " + port);
    EXPECT_LT(run.wallMs, 5000);
}

TEST_F(MeasuredRun, OpeningBeforeTheWaitsCouldEndIsReported)
{
    RunFigures run = measure({"sh", "-c", "exec 3<>\"$0\"; sleep 0.2", port});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.problem, "opened " + port + " before its waits could have ended");
    EXPECT_LT(run.startupMs, 0);
}

TEST_F(MeasuredRun, WaitsAreTimedUpToTheOpenAndCostNoProcessorTimeWhenAsleep)
{
    // a program that sleeps 1.3 s and then opens the port: the 1200 ms before the
    // open cost it (almost) no processor time, and the start-up is the 100 ms more
    RunFigures run = measure({"sh", "-c", "sleep 1.3; exec 3<>\"$0\"", port});
    ASSERT_EQ(run.problem, "");
    EXPECT_GE(run.startupMs, 90);
    EXPECT_LT(run.startupMs, 1500);
    EXPECT_GE(run.busyWaitCpuMs, 0);
    EXPECT_LT(run.busyWaitCpuMs, 100);
    EXPECT_GE(run.wallMs, 1290);
}

TEST_F(MeasuredRun, PeakMemoryIsTheProgramsOwnNotTheMeasuringProcesss)
{
    // this process touches 64 MiB first; a program started straight from it would
    // report at least that much
    std::vector<char> ballast(64 << 20);
    std::memset(ballast.data(), 1, ballast.size());
    RunFigures run = measure({"true"});
    EXPECT_GT(run.peakKiB, 0);
    EXPECT_LT(run.peakKiB, 16 * 1024);
    EXPECT_EQ(ballast[12345], 1);
}

TEST_F(MeasuredRun, RunThatOutlastsItsLimitIsEndedAndReported)
{
    RunFigures run = measure({"sleep", "30"}, 1s);
    EXPECT_EQ(run.problem, "still running after 1 s");
    EXPECT_GE(run.wallMs, 1000);
    EXPECT_LT(run.wallMs, 10000);
}

TEST_F(MeasuredRun, ProgramThatCannotStartIsReported)
{
    EXPECT_EQ(measure({"/nonexistent/program"}, 5s).problem,
              "cannot start /nonexistent/program: No such file or directory");
}

} // namespace
