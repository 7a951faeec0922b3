// scopecap with no instrument: the self-test, the banner, the open failure, a
// five-second pause and exit status 1, whatever the command line says.
#include "capture_expect.h"
#include "log_lines.h"
#include "run_program.h"
#include "scratch_dir.h"
#include "text.h"

#include <gtest/gtest.h>

namespace {

TEST(ScopecapWithoutPort, PrintsTheSelfTestBannerAndConnectFailThenExitsOne)
{
    ScratchDir dir("noport");
    ProgramRun run = runProgram(appProgram("scopecap"), {}, {{"COM9", "/nonexistent/scopecap-port"}}, dir.path());
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, expectedSelfTestAndBanner() + connectFailLine(2) + kOpeningPortFailed);
    // the literal text, as a reader of the log sees it
    const std::string head = "wanted value = 0\nwanted value = 2.5e-06\nwanted value = 0\nwanted value = 20\n"
                             "wanted Bvalue = 12340\nwanted Bvalue = 12340\nwanted Bvalue = 12340\n";
    EXPECT_EQ(run.out.substr(0, head.size()), head);
    EXPECT_NE(run.err.find("/nonexistent/scopecap-port"), std::string::npos) << "stderr names the device: " << run.err;
    // two 600-tick waits before the open, 5000 ticks after the failure
    EXPECT_GE(run.seconds, 6.0);
    EXPECT_LT(run.seconds, 12.0);
    // nothing is written when there is no instrument
    EXPECT_EQ(readFile(dir / "op_scope.csv"), "");
}

TEST(ScopecapWithoutPort, CommandLineArgumentsChangeNothing)
{
    ProgramRun run =
        runProgram(appProgram("scopecap"), {"--help", "COM1", "*"}, {{"COM9", "/nonexistent/scopecap-port"}});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, expectedSelfTestAndBanner() + connectFailLine(2) + kOpeningPortFailed);
}

TEST(ScopecapWithoutPort, DeviceThatIsNoSerialPortFailsAtTheLineSettings)
{
    ScratchDir dir("notatty");
    writeFile(dir / "plainfile", "");
    ProgramRun run = runProgram(appProgram("scopecap"), {}, {{"COM9", dir / "plainfile"}});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out,
              expectedSelfTestAndBanner() + "serial port COM9  GetCommState fail  31\n\r" + kOpeningPortFailed);
}

} // namespace
