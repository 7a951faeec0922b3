// scopecap.exe of the MinGW-w64 build under Wine, on the real Windows serial API:
// no port, a full capture from the virtual oscilloscope, and a silent one. The files
// and the log are held to the native end-to-end expectations in the Windows C
// runtime's style (three exponent digits, "\r\n" line ends) and nothing else.
#include "capture_expect.h"
#include "log_lines.h"
#include "program_expect.h"
#include "run_program.h"
#include "sim_expect.h"
#include "text.h"
#include "wine_prefix.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// The block-read lines of a log, in order, without their carriage returns (the
// first after a command follows that command's "\n\r").
std::vector<std::string> blockReadLines(const std::string &log)
{
    std::vector<std::string> lines;
    for (std::string line : splitLines(log)) {
        if (!line.empty() && line.front() == '\r')
            line.erase(0, 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("count_rd: ", 0) == 0 && line.find(" countGot: ") != std::string::npos)
            lines.push_back(line);
    }
    return lines;
}

// The bytes each block read gathered: its last line's countGot.
std::vector<unsigned> blockTotals(const std::string &log)
{
    std::vector<unsigned> totals;
    for (const std::string &line : blockReadLines(log)) {
        int count = 0, got = 0, want = 0, loop = 0;
        if (sscanf(line.c_str(), "count_rd: %d countGot: %d want: %d loop: %d", &count, &got, &want, &loop) != 4)
            return {};
        if (got == want || loop == 0)
            totals.push_back((unsigned)got);
    }
    return totals;
}

class ScopecapUnderWine : public WineProgramTest {
protected:
    void SetUp() override { startWith("app/scopecap.exe"); }

    // A capture from `benchsim scope` with these options, its command log in work_.
    ProgramRun captureWith(std::vector<std::string> benchArgs)
    {
        benchArgs.insert(benchArgs.end(), {"--log", work_ + "/commands.log"});
        return wine::runWithBench("scope", benchArgs, {exe_}, work_);
    }

    // Both files and the log as the native end-to-end test expects them, in the
    // Windows runtime's style.
    void expectCompleteCapture(const ProgramRun &run)
    {
        const sim::BenchOptions opts;
        ScopeCaptureInput in = benchCaptureInput(opts);
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(run.err.find("scopecap:"), std::string::npos) << run.err;
        EXPECT_EQ(readFile(work_ + "/commands.log"), kCaptureCommands);
        expectCaptureFiles(work_, in, kWindowsStyle);
        expectCaptureLog(run.out, in, kWindowsStyle);
        // the Windows reads brought every byte: the settings line and both whole blocks
        std::vector<unsigned> blocks = {(unsigned)sim::scopeSettingsReply(opts).size(), 8014, 8014};
        EXPECT_EQ(blockTotals(run.out), blocks);
    }
};

TEST_F(ScopecapUnderWine, NoPortPrintsWindowsErrorTwoAndExitsOne)
{
    // COM9 not mapped at all: the Windows port does not exist
    ASSERT_EQ(wine::mapPort("COM9", ""), "");
    ProgramRun run = wine::run({exe_}, work_);
    fprintf(stderr, "no-port run: %.1f s\n", run.seconds);

    EXPECT_EQ(run.exitStatus, 1) << run.err;
    // ERROR_FILE_NOT_FOUND, as Windows reports a COM port that is not there
    EXPECT_EQ(run.out, expectedSelfTestAndBanner(kWindowsStyle) + lineEnds(connectFailLine(2), kWindowsStyle) +
                           kOpeningPortFailed);
    // the Windows runtime's own text, spelled out
    const std::string head = "wanted value = 0\r\nwanted value = 2.5e-006\r\nwanted value = 0\r\n";
    EXPECT_EQ(run.out.substr(0, head.size()), head);
    // two 600-tick waits before the open, 5000 ticks after the failure
    EXPECT_GE(run.seconds, 6.2);
    EXPECT_LT(run.seconds, 60.0);
    EXPECT_EQ(readFile(work_ + "/op_scope.csv"), "");
    EXPECT_EQ(readFile(work_ + "/gbookFtemp.js"), "");
}

TEST_F(ScopecapUnderWine, CaptureFromTheVirtualScopeWritesBothFiles)
{
    ProgramRun run = captureWith({});
    expectCompleteCapture(run);
    // the settings header shows the exponent difference: the bench's time-base scale
    EXPECT_NE(readFile(work_ + "/op_scope.csv").find("Horizontal Scale,5.000E-004,\r\n"), std::string::npos);
}

TEST_F(ScopecapUnderWine, CaptureAtTheRealLineRate)
{
    // the blocks trickle in at 1920 bytes per second, so the reads gather them
    // against the Windows interval and total time-outs
    ProgramRun run = captureWith({"--baud", "19200"});
    expectCompleteCapture(run);
    EXPECT_GT(run.seconds, 16028 / 1920.0);
}

TEST_F(ScopecapUnderWine, SilentScopeEndsEachBlockAfterTwoTimedOutReads)
{
    ProgramRun run = captureWith({"--silent"});
    EXPECT_EQ(run.exitStatus, 2) << run.err;
    EXPECT_EQ(readFile(work_ + "/commands.log"), kCaptureCommands);
    std::vector<std::string> want = {
        "count_rd: 0 countGot: 0 want: 700 loop: 1",  "count_rd: 0 countGot: 0 want: 700 loop: 0",
        "count_rd: 0 countGot: 0 want: 8014 loop: 1", "count_rd: 0 countGot: 0 want: 8014 loop: 0",
        "count_rd: 0 countGot: 0 want: 8014 loop: 1", "count_rd: 0 countGot: 0 want: 8014 loop: 0"};
    EXPECT_EQ(blockReadLines(run.out), want);
    // byte for byte where the settings read gives up, console line ends included
    EXPECT_NE(run.out.find(lineEnds(" ScopeSendCmd: *LRN?\r \n\rcount_rd: 0 countGot: 0 want: 700 loop: 1\n"
                                    "count_rd: 0 countGot: 0 want: 700 loop: 0\n\n\n=====",
                                    kWindowsStyle)),
              std::string::npos);
    EXPECT_NE(run.err.find("scopecap: settings reply empty"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("scopecap: channel 2 sample block short: 0 of 8014 bytes"), std::string::npos) << run.err;

    // Each empty read lasts its whole total time-out, 100 ms + 1 ms per byte asked
    // for: 2 x 0.8 s + 4 x 8.114 s (the two 0.6 s waits before the open come on top)
    EXPECT_GE(run.seconds, 2 * 0.8 + 4 * 8.114);
    EXPECT_LT(run.seconds, 150.0);
}

// The Windows side of a pulled cable: ReadFile and then ClearCommError fail, and the
// reason is Wine's own message text for the error.
TEST_F(ScopecapUnderWine, CablePulledMidBlockNamesTheLostPort)
{
    ProgramRun run = captureWith({"--hangup-after", "3000"});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_LT(run.seconds, 30);
    // Wine adds its own diagnostics; the runtime's text mode ends lines "\r\n"
    EXPECT_EQ(linesStartingWith(run.err, "scopecap:"),
              (std::vector<std::string>{"scopecap: COM9 was lost (the device was removed): Not ready\r",
                                        "scopecap: channel 1 sample block short: 3000 of 8014 bytes\r",
                                        "scopecap: channel 2 sample block short: 0 of 8014 bytes\r"}));
}

} // namespace
