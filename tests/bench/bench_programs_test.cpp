// Both benchmark programs run once, briefly: capture_run against the virtual
// oscilloscope at a high rate, export_bench for a few milliseconds per case.
#include "run_program.h"
#include "scratch_dir.h"
#include "text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <iterator>
#include <sstream>

namespace {

std::string program(const char *name) { return buildDir() + "/bench/" + name; }

// The row capture_run prints for a program and rate, split into its fields.
std::vector<std::string> rowFor(const std::string &out, const std::string &label, const std::string &baud)
{
    for (const std::string &line : splitLines(out)) {
        std::istringstream in(line);
        std::vector<std::string> fields{std::istream_iterator<std::string>(in), {}};
        if (fields.size() >= 2 && fields[0] == label && fields[1] == baud)
            return fields;
    }
    return {};
}

TEST(CaptureRun, OneRunAtAHighRateStaysAboveItsFloor)
{
    ProgramRun run = runProgram(program("capture_run"), {"--runs", "1", "--rates", "460800"});
    ASSERT_EQ(run.exitStatus, 0) << run.out << run.err;
    // program baud wall floor ratio start-up ratio-w/o-start-up cpu cpu-beyond peak
    std::vector<std::string> row = rowFor(run.out, "scopecap", "460800");
    ASSERT_EQ(row.size(), 10u) << run.out;
    double wall = std::stod(row[2]), floor = std::stod(row[3]), cpu = std::stod(row[7]), beyond = std::stod(row[8]);
    long peak = std::stol(row[9]);
    // 1200 ms of waits, 16704 bytes at 46080 bytes/s, the settings read's 100 ms
    // interval and two empty reads of 124 ms
    EXPECT_EQ(row[3], "1910.5");
    EXPECT_NE(run.out.find("floor at 460800 baud: 1200.0 ms of waits + 362.5 ms of reply bytes at the line rate + "
                           "348.0 ms of read time-outs = 1910.5 ms"),
              std::string::npos)
        << run.out;
    // no run can beat the floor by more than the clock's rounding
    EXPECT_GE(wall, floor - 5);
    // the busy waits are at most the 1200 ms they last, and nothing is negative
    EXPECT_GE(beyond, 0);
    EXPECT_LE(cpu - beyond, 1210);
    // in KiB: about 1.5 MiB natively, under 20 MiB with the sanitizers' runtime
    EXPECT_GT(peak, 100);
    EXPECT_LT(peak, 256 * 1024);
}

TEST(CaptureRun, BadOptionsAreRefusedWithUsage)
{
    for (std::vector<std::string> args : {std::vector<std::string>{"--runs", "0"}, {"--rates", "19200,fast"},
                                          {"--frobnicate"}, {"--wine-exe", "x.exe"}}) {
        ProgramRun run = runProgram(program("capture_run"), args);
        EXPECT_EQ(run.exitStatus, 64) << args[0];
        EXPECT_NE(run.err.find("usage: capture_run"), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
}

TEST(CaptureRun, AProgramThatFailsIsNamedAndFailsTheBenchmark)
{
    ProgramRun run = runProgram(program("capture_run"), {"--runs", "1", "--rates", "460800", "--scopecap", "false"});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.out.find("(no run completed)"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("scopecap at 460800 baud: exit status 1"), std::string::npos) << run.err;
    // the failed run's files are kept for a look, and named
    std::vector<std::string> kept = linesStartingWith(run.out, "runs kept in ");
    ASSERT_EQ(kept.size(), 1u) << run.out;
    std::string dir = kept[0].substr(std::strlen("runs kept in "));
    EXPECT_TRUE(std::filesystem::exists(dir + "/native-460800-1/stderr.txt")) << dir;
    removeTree(dir);
}

TEST(CaptureRun, ABenchThatCannotStartFailsTheBenchmark)
{
    ProgramRun run = runProgram(program("capture_run"),
                                {"--runs", "1", "--rates", "460800", "--link", "/nonexistent/capture-run/com9"});
    EXPECT_EQ(run.exitStatus, 1) << run.out;
    EXPECT_NE(run.err.find("cannot start the virtual oscilloscope"), std::string::npos) << run.err;
    // the floor is still the one of the rate asked for
    EXPECT_NE(run.out.find("= 1910.5 ms"), std::string::npos) << run.out;
    for (const std::string &kept : linesStartingWith(run.out, "runs kept in "))
        removeTree(kept.substr(std::strlen("runs kept in ")));
}

TEST(ExportBench, EveryCaseRunsAndTheExportsConsoleOutputStaysOffTheFigures)
{
    if (!std::filesystem::exists(program("export_bench")))
        GTEST_SKIP() << "export_bench was not built (Google Benchmark not found)";
    ProgramRun run = runProgram(program("export_bench"), {"--benchmark_min_time=0.01"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    for (const char *name : {"settingsListing", "headerLookups", "decodeSamples", "exportDual"})
        EXPECT_NE(run.out.find(name), std::string::npos) << name << " missing from:\n" << run.out;
    EXPECT_EQ(run.out.find("count_rd"), std::string::npos) << "the export's trace reached the figures";
    EXPECT_EQ(run.err.find("scopecap:"), std::string::npos) << run.err;
}

} // namespace
