// scopecap end to end against the virtual oscilloscope: both files byte for byte and
// the log line by line, against what the simulator sent.
#include "bench_process.h"
#include "program_expect.h"
#include "comma_locale.h"
#include "log_lines.h"
#include "run_program.h"
#include "scratch_dir.h"
#include "sim_expect.h"
#include "text.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

// scopecap against `benchsim scope BENCHARGS --once`: the commands the bench took, the
// files and the log, all as `in` implies.
ProgramRun expectCompleteCapture(std::vector<std::string> benchArgs, const ScopeCaptureInput &in,
                                 std::map<std::string, std::string> env = {})
{
    ScratchDir dir("e2e");
    benchArgs.insert(benchArgs.end(), {"--once", "--log", dir / "commands.log"});
    BenchProcess bench("scope", dir / "com9", benchArgs);
    env["COM9"] = bench.link();
    ProgramRun run = runProgram(appProgram("scopecap"), {}, env, dir.path(), std::chrono::seconds(90));
    EXPECT_EQ(bench.waitExit(std::chrono::seconds(10)), 0) << "the bench ends by itself after one capture";
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(readFile(dir / "commands.log"), kCaptureCommands);
    expectCaptureFiles(dir.path(), in);
    expectCaptureLog(run.out, in);
    return run;
}

TEST(ScopecapCapture, DefaultVirtualScope)
{
    ScopeCaptureInput in = benchCaptureInput(sim::BenchOptions{});
    // the bench's own settings differ from the stored sample's, so the header shows them
    ASSERT_NE(in.scale1, 2.0f);
    expectCompleteCapture({}, in);
}

TEST(ScopecapCapture, AtTheRealLineRate)
{
    ProgramRun run = expectCompleteCapture({"--baud", "19200"}, benchCaptureInput(sim::BenchOptions{}));
    // 16028 block bytes at 1920 bytes per second
    EXPECT_GT(run.seconds, 8.0);
}

TEST(ScopecapCapture, FullScaleRampAndOtherWaves)
{
    sim::BenchOptions opts;
    opts.wave1 = {sim::WaveKind::Ramp, 128, 256};
    opts.wave2 = {sim::WaveKind::Triangle, 90, 333};
    ScopeCaptureInput in = benchCaptureInput(opts);
    expectCompleteCapture({"--wave1", "ramp:128:256", "--wave2", "triangle:90:333"}, in);
    // the ramp reaches both ends of the converter's range
    EXPECT_EQ(*std::min_element(in.ch1.begin(), in.ch1.end()), -128);
    EXPECT_EQ(*std::max_element(in.ch1.begin(), in.ch1.end()), 127);
}

// The program never calls setlocale, so it reads the settings and writes its numbers in
// "C" whatever locale the user's environment names.
TEST(ScopecapCapture, ACommaLocaleInTheEnvironmentChangesNothing)
{
    CommaLocale comma;
    if (!comma.why.empty())
        GTEST_SKIP() << comma.why;
    expectCompleteCapture({}, benchCaptureInput(sim::BenchOptions{}), comma.env);
}

} // namespace
