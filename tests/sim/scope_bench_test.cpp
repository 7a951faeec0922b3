// The virtual oscilloscope over its pseudo-terminal, driven from the slave side as
// the program drives its serial port.
#include "bench_fixture.h"
#include "text.h"

namespace {

using namespace simtest;

class ScopeBench : public BenchFixture {};

TEST_F(ScopeBench, SettingsReplyIsTheLineAndNothingMore)
{
    startBench();
    EXPECT_EQ(query("*LRN?\r"), kDefaultSettings + "\n");
    EXPECT_EQ(port->readFor(200ms), "");
}

TEST_F(ScopeBench, BothBlocksByteForByte)
{
    startBench();
    // the blocks' layout and samples are checked by hand in ScopeBlock.LayoutByteForByte
    EXPECT_EQ(ask(":acquire1:memory?\r", 8014, 3s), bytes(sim::waveBlockFor(opts, 1)));
    EXPECT_EQ(ask(":ACQUIRE2:MEMORY?\n", 8014, 3s), bytes(sim::waveBlockFor(opts, 2)));
    EXPECT_EQ(port->read(1, 300ms), "") << "nothing follows a block";
}

TEST_F(ScopeBench, ABlockWaitsForASlowReader)
{
    // the pty holds about 4 KB: the rest must follow as the reader takes it
    startBench();
    port->write(":acquire2:memory?\r");
    std::this_thread::sleep_for(300ms);
    std::string got;
    while (got.size() < 8014) {
        std::string piece = port->read(std::min<size_t>(500, 8014 - got.size()), 2s);
        if (piece.empty())
            break;
        got += piece;
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(got, bytes(sim::waveBlockFor(opts, 2)));
}

TEST_F(ScopeBench, NumericQueriesFromOneState)
{
    startBench();
    const std::pair<const char *, std::string> cases[] = {
        {":TRIG:LEV?\n", "1.200E+00\n"},  {":CHAN1:PROB?\n", "1\n"},          {":CHAN2:PROB?\n", "0\n"},
        {":CHAN1:SCAL?\n", "5.000e-01\n"}, {":CHAN2:SCAL?\n", "1.000e+00\n"},  {":CHAN1:OFFS?\n", "-1.000e+00\n"},
        {":CHAN2:OFFS?\n", "5.000e-01\n"}, {":TIM:SCAL?\n", "5.000e-04\n"},    {":TIM:DEL?\n", "0.000e+00\n"},
        {":TIM:SWE?\n", "0\n"},            {":TRIG:FREQ?\r", "2.000E+03\n"},   // one sine cycle: 400 x 1.25 us
        {"*idn?\r", kIdentity},           {":SYST:ERR?\r", "+0, No error\n"}, {"*IDN?\r", kIdentity},
        {":tim:scal?\r", "5.000e-04\n"},
    };
    for (const auto &[command, expected] : cases)
        EXPECT_EQ(query(command), expected) << command;
}

TEST_F(ScopeBench, DelaySetIsReportedByQueryAndSettings)
{
    startBench();
    // the sweep's texts: "%7.1E" pads with blanks
    port->write(":TIM:DEL -3.0E-03\r\n");
    EXPECT_EQ(query(":TIM:DEL?\n"), "-3.000e-03\n");
    std::string lrn = query("*LRN?\r");
    EXPECT_NE(lrn.find(":TIMebase:SWEep 0;SCALe 5.000e-04;DELay -3.000e-03;WINDow:SCALe"), std::string::npos) << lrn;
    port->write(":TIM:DEL  9.0E-04\r\n");
    EXPECT_EQ(query(":TIM:DEL?\n"), "9.000e-04\n");
    EXPECT_EQ(bench->scopeState().timeDelay, 9.0e-04);
    // nothing answered the set-up commands themselves
    EXPECT_EQ(port->readFor(150ms), "");
}

TEST_F(ScopeBench, UnknownQueryGetsNoReplyThenOneError)
{
    startBench();
    auto start = Clock::now();
    EXPECT_EQ(askFor(":MEAS:VPP?\r", 300ms), "");
    EXPECT_GE(Clock::now() - start, 300ms);
    EXPECT_EQ(query(":SYST:ERR?\r"), "-113, Undefined header\n");
    EXPECT_EQ(query(":SYST:ERR?\r"), "+0, No error\n");
}

TEST_F(ScopeBench, LogFileHoldsEachCommandAsReceived)
{
    startBench({.logPath = tempDir() + "/scope.log"});
    port->write("*RST\r:AUT\r");
    port->write(":TIM:DEL -2.9E-03\r");
    port->write("\n:chan2:inv 1\n:DISP:WAV 0\r\n:SING");
    EXPECT_EQ(query("LE\r*idn?\r"), kIdentity);
    port->write(":BOGUS?\r\n");
    ASSERT_TRUE(bench->waitForLines(8, 2s));
    const std::string expected = "*RST\n:AUT\n:TIM:DEL -2.9E-03\n:chan2:inv 1\n:DISP:WAV 0\n:SINGLE\n*idn?\n:BOGUS?\n";
    // flushed per line: complete while the bench still runs
    EXPECT_EQ(readFile(opts.logPath), expected);
    EXPECT_EQ(bench->commands(), splitLines(expected));
    bench->stop();
    EXPECT_EQ(readFile(opts.logPath), expected);
}

TEST_F(ScopeBench, SettingsFileIsSentByteForByte)
{
    // 700 bytes exactly, no line end: the program's whole read buffer
    std::string text = ":TIMebase:SWEep 1;SCALe 2.000e-03;DELay 0.000e+00;:CHANnel1:PROBe 2;:RUN;";
    text += std::string(700 - text.size(), 'Z');
    startBench({.settings = text});
    EXPECT_EQ(ask("*LRN?\r", 700, 1s), text);
    EXPECT_EQ(ask(":TIM:SWE?\n:CHAN1:PROB?\n:TIM:SCAL?\n", 14, 1s), "1\n2\n2.000e-03\n");
    EXPECT_EQ(port->read(1, 300ms), "") << "nothing follows";
}

TEST_F(ScopeBench, PortCanBeClosedAndReopenedExclusively)
{
    startBench();
    for (int round = 0; round < 3; ++round) {
        port = std::make_unique<SlavePort>(bench->slavePath(), true);
        ASSERT_TRUE(port->isOpen()) << round;
        EXPECT_EQ(query("*idn?\r"), kIdentity) << round;
        port->close();
        std::this_thread::sleep_for(50ms); // the bench sees nobody on the line meanwhile
    }
}

TEST_F(ScopeBench, RepliesLeftUnreadDoNotGreetTheNextOpen)
{
    startBench();
    port->write(":acquire1:memory?\r");
    ASSERT_EQ(port->read(100, 2s).size(), 100u);
    port->close();
    std::this_thread::sleep_for(200ms);
    port = std::make_unique<SlavePort>(bench->slavePath());
    EXPECT_EQ(port->readFor(300ms), "");
    EXPECT_EQ(query(":TIM:SCAL?\r"), "5.000e-04\n");
}

TEST_F(ScopeBench, OnceStopsAfterTheSecondBlockIsRead)
{
    startBench({.linkPath = tempDir() + "/com9", .once = true});
    EXPECT_EQ(bench->portPath(), opts.linkPath);
    port = std::make_unique<SlavePort>(opts.linkPath, true); // exclusive, as the program opens it
    const size_t first = sim::scopeSettingsReply(opts).size() + 8014;
    port->write("*LRN?\r:acquire1:memory?\r");
    EXPECT_EQ(port->read(first, 3s).size(), first);
    EXPECT_FALSE(bench->waitFinished(300ms));
    port->write(":acquire2:memory?\r");
    std::this_thread::sleep_for(200ms); // the bench waits until the block is read
    EXPECT_FALSE(bench->finished());
    EXPECT_EQ(port->read(8014, 3s), bytes(sim::waveBlockFor(opts, 2)));
    EXPECT_TRUE(bench->waitFinished(5s));
    EXPECT_TRUE(port->hungUp(2s));
    EXPECT_TRUE(linkGone(opts.linkPath));
}

// The one timing test of the line rate: 8014 bytes at 19200 baud take 8014 / 1920 s.
TEST_F(ScopeBench, BaudPacesABlock)
{
    startBench({.baud = 19200});
    auto start = Clock::now();
    std::string block = ask(":acquire1:memory?\r", 8014, 12s);
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_EQ(block, bytes(sim::waveBlockFor(opts, 1)));
    EXPECT_GE(seconds, 3.5);
    EXPECT_LE(seconds, 8.0);
}

} // namespace
