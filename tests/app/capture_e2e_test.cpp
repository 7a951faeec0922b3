// scopecap end to end against the virtual oscilloscope: both files byte for byte and
// the log line by line, against what the simulator sent.
#include "bench_process.h"
#include "capture_expect.h"
#include "program_expect.h"
#include "run_program.h"
#include "sim_expect.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace {

std::string scopecap() { return buildDir() + "/app/scopecap"; }

ScopeCaptureInput inputFor(const sim::BenchOptions &opts) { return benchCaptureInput(opts); }

struct CaptureRun {
    ProgramRun run;
    std::string csv, script, commands;
};

CaptureRun captureWith(const std::vector<std::string> &benchArgs)
{
    std::string dir = makeTempDir("e2e");
    std::vector<std::string> args = benchArgs;
    args.insert(args.end(), {"--once", "--log", dir + "/commands.log"});
    CaptureRun r;
    {
        BenchProcess bench("scope", dir + "/com9", args);
        r.run = runProgram(scopecap(), {}, {{"COM9", bench.link()}}, dir, std::chrono::seconds(90));
        EXPECT_EQ(bench.waitExit(std::chrono::seconds(10)), 0) << "the bench ends by itself after one capture";
    }
    r.csv = readFile(dir + "/op_scope.csv");
    r.script = readFile(dir + "/gbookFtemp.js");
    r.commands = readFile(dir + "/commands.log");
    removeTree(dir);
    return r;
}

void expectCompleteCapture(const CaptureRun &r, const ScopeCaptureInput &in)
{
    EXPECT_EQ(r.run.exitStatus, 0) << r.run.err;
    EXPECT_EQ(r.run.err, "");
    EXPECT_EQ(r.commands, "*LRN?\n:acquire1:memory?\n:acquire2:memory?\n");
    EXPECT_EQ(r.csv, expectedCsv(in));
    EXPECT_EQ(r.script, expectedScript(in));
    expectCaptureLog(r.run.out, in);
}

TEST(ScopecapCapture, DefaultVirtualScope)
{
    sim::BenchOptions opts;
    ScopeCaptureInput in = inputFor(opts);
    // the bench's own settings differ from the stored sample's, so the header shows them
    ASSERT_NE(in.scale1, 2.0f);
    expectCompleteCapture(captureWith({}), in);
}

TEST(ScopecapCapture, AtTheRealLineRate)
{
    sim::BenchOptions opts;
    CaptureRun r = captureWith({"--baud", "19200"});
    expectCompleteCapture(r, inputFor(opts));
    // 16028 block bytes at 1920 bytes per second
    EXPECT_GT(r.run.seconds, 8.0);
}

TEST(ScopecapCapture, FullScaleRampAndOtherWaves)
{
    sim::BenchOptions opts;
    opts.wave1 = {sim::WaveKind::Ramp, 128, 256};
    opts.wave2 = {sim::WaveKind::Triangle, 90, 333};
    ScopeCaptureInput in = inputFor(opts);
    expectCompleteCapture(captureWith({"--wave1", "ramp:128:256", "--wave2", "triangle:90:333"}), in);
    // the ramp reaches both ends of the converter's range
    EXPECT_EQ(*std::min_element(in.ch1.begin(), in.ch1.end()), -128);
    EXPECT_EQ(*std::max_element(in.ch1.begin(), in.ch1.end()), 127);
}

} // namespace
