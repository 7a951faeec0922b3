// The single-channel export and the instrument sequences: what is sent, in what
// order, and what is written.
#include "capture_expect.h"
#include "scope_fixture.h"

#include <algorithm>
#include <sys/stat.h>

namespace {

using SingleChannel = ScopeTest;

// The block, then one reply per live query, in the order the header asks them.
void queueExport(int channel, const std::vector<std::string> &replies)
{
    fakePort::queue(sim::waveBlock(channel, 2.5e-06f, ramp(channel * 10, 1)));
    for (const std::string &r : replies)
        fakePort::queue(r);
}

const std::vector<std::string> kReplies = {"1.5E+00\n", "2\n", "5.000e-01\n", "-2.000e+00\n",
                                           "1.000e-03\n", "-3.000e-03\n", "3\n"};

TEST_F(SingleChannel, HeaderValuesAreAskedLiveInOrder)
{
    queueExport(1, kReplies);
    std::string log = logOf([] { scopeReadAquire(9, '1'); });
    EXPECT_EQ(commandsSent(), ":acquire1:memory?\r:TRIG:LEV?\n:CHAN1:PROB?\n:CHAN1:SCAL?\n:CHAN1:OFFS?\n"
                              ":TIM:SCAL?\n:TIM:DEL?\n:TIM:SWE?\n");
    std::string expected = "Memory Length,4000,\nTrigger Level,1.500E+00,\nSource,CH1,\nProbe,100X,\n"
                           "Vertical Units,V,\nVertical Scale,5.000E-01,\nVertical Position,-2.000E+00,\n"
                           "Horizontal Units,s,\nHorizontal Scale,1.000E-03,\nHorizontal Position,-3.000E-03,\n"
                           "Horizontal Mode,Roll,\nSampling Period,2.500E-06,\nFirmware, V1.26,\nTime, ,\n"
                           "Mode,Fast,\nWaveform Data,\n";
    for (int16_t v : ramp(10, 1))
        expected += formatAs(kGlibcStyle, "%3.0f", v) + ",\n";
    expected += "===========================\n";
    EXPECT_EQ(readFile("op_scope1.csv"), expected);
    EXPECT_EQ(err, "");
    EXPECT_EQ(log.rfind("scopeReadAquire(fd,\"1\");\n", 0), 0u);
    EXPECT_NE(log.find("count_rd: 8014 8014 \ncount_rd: 8014 8014 TimeInterval:0.000002\n# a: 4 b: 8008 d:1 \n"
                       "\nchannel:1\n    0,-118,"),
              std::string::npos);
}

TEST_F(SingleChannel, EveryCharacterButOneSelectsChannelTwo)
{
    for (char c : {'2', 'x', '\0'}) {
        SCOPED_TRACE(int(c));
        openFakeCom9();
        queueExport(2, kReplies);
        std::string log = logOf([c] { scopeReadAquire(9, c); });
        EXPECT_EQ(log.rfind("scopeReadAquire(fd,\"1\");\n", 0), 0u); // the same text for both channels
        EXPECT_EQ(commandsSent(), ":acquire2:memory?\r:TRIG:LEV?\n:CHAN2:PROB?\n:CHAN2:SCAL?\n:CHAN2:OFFS?\n"
                                  ":TIM:SCAL?\n:TIM:DEL?\n:TIM:SWE?\n");
        EXPECT_NE(readFile("op_scope2.csv").find("\nSource,CH2,\nProbe,100X,\n"), std::string::npos);
    }
}

TEST_F(SingleChannel, ProbeCodeOutsideTheNamedEntriesLeavesTheFieldEmpty)
{
    std::vector<std::string> replies = kReplies;
    replies[1] = "3\n";
    queueExport(1, replies);
    logOf([] { scopeReadAquire(9, '1'); });
    EXPECT_NE(readFile("op_scope1.csv").find("\nProbe,,\n"), std::string::npos);
}

TEST_F(SingleChannel, NoQueryIsSentWhenTheFileCannotBeOpened)
{
    writeFile("op_scope1.csv", "earlier\n");
    ASSERT_EQ(mkdir("op_scope1.csv.tmp", 0700), 0);
    queueExport(1, {});
    std::string log = logOf([] { scopeReadAquire(9, '1'); });
    EXPECT_EQ(commandsSent(), ":acquire1:memory?\r");
    EXPECT_EQ(err, "scopecap: cannot create ./op_scope1.csv: Is a directory\n");
    EXPECT_EQ(readFile("op_scope1.csv"), "earlier\n");
    EXPECT_NE(log.find("\n 7998, 41,"), std::string::npos); // the console plot still runs to the end
}

TEST_F(SingleChannel, ShortBlockIsReported)
{
    std::vector<unsigned char> block = sim::waveBlock(1, 1e-3f, ramp(0, 1));
    block.resize(100);
    queueReply(block, 8014);
    logOf([] { scopeReadAquire(9, '1'); });
    EXPECT_EQ(err, "scopecap: channel 1 sample block short: 100 of 8014 bytes\n");
    std::string csv = readFile("op_scope1.csv");
    EXPECT_NE(csv.find("\nWaveform Data,\n-128,\n-127,\n"), std::string::npos);
    EXPECT_NE(csv.find("\n-86,\n  0,\n  0,\n"), std::string::npos); // sample 43 was the last that came
}

std::vector<std::string> sentCommands()
{
    std::vector<std::string> list;
    for (const auto &w : fakePort::writes())
        list.emplace_back(w.begin(), w.end());
    return list;
}

// COM9 open (quietly) in a scratch directory, as for the exports.
using ScopeSequences = ScopeTest;

TEST_F(ScopeSequences, SweepSendsFortyDelaysInSinglePrecisionSteps)
{
    int status = -1;
    std::string log = logOf([&] { status = scopeSetupSweep(9); });
    EXPECT_EQ(status, 0);

    std::vector<std::string> sent = sentCommands();
    EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + 11),
              (std::vector<std::string>{"*RST\r", ":SYST:ERR?\r", ":AUT\r", ":SYST:ERR?\r", ":SYST:ERR?\r",
                                        ":chan2:inv 1\r", "*idn?\r", "*lrn?\r", ":TRIG:FREQ?\r", ":DISP:WAV 0\r",
                                        ":SINGLE\r"}));
    std::vector<std::string> delays;
    std::ranges::copy_if(sent, std::back_inserter(delays), [](auto &c) { return c.starts_with(":TIM:DEL "); });
    ASSERT_EQ(delays.size(), 40u);
    EXPECT_EQ(delays.front(), ":TIM:DEL -3.0E-03\r\n");
    EXPECT_EQ(delays[1], ":TIM:DEL -2.9E-03\r\n");
    // the residue of single-precision steps, not zero
    EXPECT_EQ(delays[30], ":TIM:DEL 1.0E-10\r\n");
    EXPECT_EQ(delays.back(), ":TIM:DEL 9.0E-04\r\n");
    // both single-channel exports sit between the set-up and the sweep
    EXPECT_EQ(sent[11], ":acquire1:memory?\r");
    EXPECT_EQ(sent[19], ":acquire2:memory?\r");
    EXPECT_EQ(sent[27], delays.front());
    EXPECT_NE(log.find("starting....\n"), std::string::npos);
    EXPECT_NE(log.find(":TIM:DEL    -0.0\r\n"), std::string::npos);
    EXPECT_NE(log.find("inc :TIM:DEL -2.9E-03\r\n"), std::string::npos);
    EXPECT_NE(log.find("inc :TIM:DEL 1.0E-03\r\n"), std::string::npos); // the value that ends the loop
}

TEST_F(ScopeSequences, SetupAndPollBothSendTheirCommandsInOrder)
{
    int status = -1;
    std::string log = logOf([&] { status = scopeSetup(9); });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(sentCommands(), (std::vector<std::string>{"*RST\r", ":AUT\r", ":SYST:ERR?\r", "*idn?\r", "*lrn?\r"}));
    EXPECT_NE(log.find("Setting Scope....\n"), std::string::npos);

    openFakeCom9();
    log = logOf([&] { status = scopePollBoth(9); });
    EXPECT_EQ(status, 0);
    std::vector<std::string> sent = sentCommands();
    ASSERT_GE(sent.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + 3),
              (std::vector<std::string>{"*idn?\r", "*lrn?\r", ":acquire1:memory?\r"}));
    EXPECT_NE(std::find(sent.begin(), sent.end(), ":acquire2:memory?\r"), sent.end());
    EXPECT_EQ(log.rfind("Polling waveform....\n", 0), 0u);
    EXPECT_EQ(access("op_scope1.csv", F_OK), 0);
    EXPECT_EQ(access("op_scope2.csv", F_OK), 0);
}

} // namespace
