// The oscilloscope sequences over the real serial layer against the virtual
// oscilloscope, checked from the instrument's own command log.
#include "virtual_bench.h"
#include "capture_stdout.h"
#include "scope.h"
#include "scratch_dir.h"
#include "serial.h"
#include "text.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

namespace {

class SequencesOnBench : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        ASSERT_TRUE(bench.start(&why)) << why;
        setenv("COM9", bench.portPath().c_str(), 1);
        scopeProblems = 0;
        StdoutCapture quiet;
        HANDLE h = openComPort(9, 19200, '8', 'N');
        quiet.finish();
        ASSERT_NE(h, nullptr);
    }
    void TearDown() override
    {
        closeComPort(9);
        bench.stop();
        unsetenv("COM9");
    }
    sim::VirtualBench bench{sim::BenchOptions{}};
    ScratchDir work{"seqbench", ScratchDir::Enter};
};

TEST_F(SequencesOnBench, SweepReachesTheInstrumentAsFortyDelayCommands)
{
    StderrCapture err;
    StdoutCapture out;
    EXPECT_EQ(scopeSetupSweep(9), 0);
    out.finish();
    EXPECT_EQ(err.finish(), "");
    ASSERT_TRUE(bench.waitForLines(67, std::chrono::seconds(5)));
    std::vector<std::string> want = {"*RST", ":SYST:ERR?", ":AUT", ":SYST:ERR?", ":SYST:ERR?", ":chan2:inv 1", "*idn?",
                                     "*lrn?", ":TRIG:FREQ?", ":DISP:WAV 0", ":SINGLE"};
    for (std::string c : {"1", "2"}) // the single-channel exports
        want.insert(want.end(), {":acquire" + c + ":memory?", ":TRIG:LEV?", ":CHAN" + c + ":PROB?",
                                 ":CHAN" + c + ":SCAL?", ":CHAN" + c + ":OFFS?", ":TIM:SCAL?", ":TIM:DEL?",
                                 ":TIM:SWE?"});
    const char *delays[] = {"-3.0E-03", "-2.9E-03", "-2.8E-03", "-2.7E-03", "-2.6E-03", "-2.5E-03", "-2.4E-03",
                            "-2.3E-03", "-2.2E-03", "-2.1E-03", "-2.0E-03", "-1.9E-03", "-1.8E-03", "-1.7E-03",
                            "-1.6E-03", "-1.5E-03", "-1.4E-03", "-1.3E-03", "-1.2E-03", "-1.1E-03", "-1.0E-03",
                            "-9.0E-04", "-8.0E-04", "-7.0E-04", "-6.0E-04", "-5.0E-04", "-4.0E-04", "-3.0E-04",
                            "-2.0E-04", "-1.0E-04", "1.0E-10",  "1.0E-04",  "2.0E-04",  "3.0E-04",  "4.0E-04",
                            "5.0E-04",  "6.0E-04",  "7.0E-04",  "8.0E-04",  "9.0E-04"};
    for (const char *d : delays)
        want.push_back(std::string(":TIM:DEL ") + d);
    EXPECT_EQ(bench.commands(), want);
    // the instrument took the last delay
    EXPECT_NEAR(bench.scopeState().timeDelay, 9.0e-04, 1e-9);
    // both single-channel files hold what the instrument reported live
    std::string csv1 = readFile("op_scope1.csv");
    EXPECT_NE(csv1.find("\nVertical Scale,5.000E-01,\n"), std::string::npos) << csv1.substr(0, 400);
    EXPECT_NE(readFile("op_scope2.csv").find("\nSource,CH2,\n"), std::string::npos);
}

TEST_F(SequencesOnBench, NoLiveQueryWhenTheFileCannotBeOpened)
{
    ASSERT_EQ(mkdir("op_scope2.csv.tmp", 0700), 0);
    StderrCapture err;
    StdoutCapture out;
    scopeReadAquire(9, '2');
    out.finish();
    EXPECT_EQ(err.finish(), "scopecap: cannot create ./op_scope2.csv: Is a directory\n");
    ASSERT_TRUE(bench.waitForLines(1, std::chrono::seconds(2)));
    EXPECT_EQ(bench.commands(), std::vector<std::string>{":acquire2:memory?"});
}

} // namespace
