// The dual-channel capture: files and console trace from replies read through the
// in-memory port, checked against expectations built from what was sent.
#include "log_lines.h"
#include "program_expect.h"
#include "scope_fixture.h"
#include "stored_sample.h"

#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class DualCapture : public ScopeTest {
protected:
    // Queues the instrument's three replies: the settings text and both sample blocks.
    void queueReplies(const std::string &settings, const std::vector<unsigned char> &b1,
                      const std::vector<unsigned char> &b2)
    {
        queueReply(std::vector<unsigned char>(settings.begin(), settings.end()), 700);
        queueReply(b1, 8014);
        queueReply(b2, 8014);
    }
    // The stored sample's settings and two ramps, queued; channel 2's block says `channel2`
    // and is cut to `block2Size` bytes.
    ScopeCaptureInput queueStoredSample(int channel2 = 2, size_t block2Size = 8014)
    {
        ScopeCaptureInput in;
        in.settings = kStoredSettings;
        in.scale1 = 2, in.offset1 = 2, in.scale2 = 2, in.offset2 = 2, in.timeScale = 2.5e-06f;
        in.interval1 = 2.5e-06f, in.interval2 = 2.5e-06f;
        in.ch1 = ramp(0, 1);
        in.ch2 = ramp(100, 3);
        std::vector<unsigned char> b2 = sim::waveBlock(channel2, in.interval2, in.ch2);
        b2.resize(block2Size);
        queueReplies(in.settings, sim::waveBlock(1, in.interval1, in.ch1), b2);
        return in;
    }
};

TEST_F(DualCapture, StoredSampleSettingsGiveTheHeaderTheInstrumentShowed)
{
    ScopeCaptureInput in = queueStoredSample();
    std::string log = logOf([] { scopePoll(9); });

    EXPECT_EQ(commandsSent(), "*LRN?\r:acquire1:memory?\r:acquire2:memory?\r");
    EXPECT_EQ(err, "");
    EXPECT_EQ(scopeProblems, 0);
    expectCaptureFiles(work.path(), in);
    std::string csv = readFile("op_scope.csv");
    // a few lines written out by hand, as the instrument's own screen shows them
    EXPECT_NE(csv.find("\nTrigger Level,0.000E+00,\nSource,CH1,\nProbe,1X,\nVertical Units,V,\n"
                       "Vertical Scale,2.000E+00,\nVertical Position,2.000E+00,\n"),
              std::string::npos);
    EXPECT_NE(csv.find("\nHorizontal Scale,2.500E-06,\nHorizontal Position,0.000E+00,\nHorizontal Mode,Main,\n"
                       "Sampling Period,2.500E-06,\n"),
              std::string::npos);
    EXPECT_NE(readFile("gbookFtemp.js").find("var Vertical1Scale=        2\n"), std::string::npos);
    EXPECT_EQ(access("op_scope.csv.tmp", F_OK), -1); // no temporary file left behind

    // the console: everything but the block-read count lines, which depend on chunking
    std::string head = expectedSelfTestAndBanner() + kConnectOk + kConnectOk;
    EXPECT_EQ(withoutBlockReadLines(log), expectedCaptureRunLog(in).substr(head.size()));
    EXPECT_NE(log.find("count_rd: 678 countGot: 678 want: 700 loop: 2\n"), std::string::npos);
}

TEST_F(DualCapture, SourceLineFollowsTheChannelCharacterAndNothingElseDoes)
{
    ScopeCaptureInput in = queueStoredSample();
    logOf([] { scopeReadDual(9, '2'); });
    in.channel = '2';
    expectCaptureFiles(work.path(), in);
    EXPECT_NE(readFile("op_scope.csv").find("\nSource,CH2,\n"), std::string::npos);
}

TEST_F(DualCapture, ProbeAndModeCodesNameTheirTableEntryOrNothing)
{
    const struct { const char *value, *probe, *mode; } cases[] = {
        {"0", "1X", "Main"},   {"1", "10X", "Window"}, {"2", "100X", "WinZoom"}, {"1.9", "10X", "Window"},
        {"3", "", "Roll"},     {"4", "", "XY"},        {"5", "", ""},             {"7", "", ""},
        {"8", "", ""},         {"-1", "", ""},         {"-0.5", "", ""},    {"nan", "", ""},
        {"inf", "", ""},       {"1e30", "", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value);
        std::string settings = std::string(":CHANnel1:DISPlay 1;PROBe ") + c.value + ";SCALe 1;:TIMebase:SWEep " +
                               c.value + ";SCALe 1";
        openFakeCom9();
        queueReplies(settings, sim::waveBlock(1, 1e-6f, {}), sim::waveBlock(2, 1e-6f, {}));
        logOf([] { scopePoll(9); });
        std::string csv = readFile("op_scope.csv");
        EXPECT_NE(csv.find(std::string("\nProbe,") + c.probe + ",\n"), std::string::npos);
        EXPECT_NE(csv.find(std::string("\nHorizontal Mode,") + c.mode + ",\n"), std::string::npos);
    }
    // a negative code names nothing, even one that would truncate to entry 0
    EXPECT_STREQ(probeName(-0.5f), "");
    EXPECT_STREQ(probeName(-0.0f), "1X");
    EXPECT_STREQ(probeName(NAN), "");
    EXPECT_STREQ(horizontalModeName(7.99f), "");
    EXPECT_STREQ(horizontalModeName(4.5f), "XY");
}

TEST_F(DualCapture, ExtremeSamplesAndTheIntervalBytes)
{
    std::vector<unsigned char> b1 = sim::waveBlock(1, 0, {}), b2 = sim::waveBlock(2, 0, {});
    b1[6] = 0x36, b1[7] = 0x27, b1[8] = 0xC5, b1[9] = 0xAC; // about 2.5e-06
    b1[14] = 0xFF, b1[15] = 0x80;                           // -128
    b1[16] = 0x00, b1[17] = 0x7F;                           // 127
    b2[14] = 0x00, b2[15] = 0x7F;
    queueReplies(":TIMebase:SCALe 1", b1, b2);
    std::string log = logOf([] { scopePoll(9); });
    EXPECT_NEAR(waveBlockInterval(b1.data()), 2.5e-06, 1e-12);
    std::string csv = readFile("op_scope.csv");
    EXPECT_NE(csv.find("\nSampling Period,2.500E-06,\n"), std::string::npos);
    EXPECT_NE(csv.find("\nWaveform Data,\n-128,127\n127,  0\n  0,  0\n"), std::string::npos);
    // -128 draws the trace at width 0, 127 at width 127
    EXPECT_NE(log.find("\n    0,-128,127,1\n    2,127,  0," + std::string(126, ' ') + "1\n"), std::string::npos);
    EXPECT_NE(log.find("TimeInterval:0.000002 0.000000 \n"), std::string::npos);
}

TEST_F(DualCapture, ShortBlockIsReportedAndTheRestReadsAsZero)
{
    ScopeCaptureInput in = queueStoredSample(2, 4096);
    std::string log = logOf([] { scopePoll(9); });
    EXPECT_EQ(err, "scopecap: channel 2 sample block short: 4096 of 8014 bytes\n");
    EXPECT_EQ(scopeProblems, 1);
    std::fill(in.ch2.begin() + (4096 - 14) / 2, in.ch2.end(), 0); // the samples that did not come
    EXPECT_EQ(readFile("op_scope.csv"), expectedCsv(in));
    EXPECT_NE(log.find("count_rd: 4096 8014 \n"), std::string::npos);
}

TEST_F(DualCapture, SilentInstrumentStillWritesBothFilesAndSaysWhy)
{
    std::string log = logOf([] { scopePoll(9); });
    EXPECT_EQ(err, "scopecap: settings reply empty\n"
                   "scopecap: channel 1 sample block short: 0 of 8014 bytes\n"
                   "scopecap: channel 2 sample block short: 0 of 8014 bytes\n");
    EXPECT_EQ(scopeProblems, 3);
    ScopeCaptureInput in;
    in.ch1 = in.ch2 = std::vector<int16_t>(4000, 0);
    in.header1 = in.header2 = std::string(6, '\0');
    in.channelByte1 = in.channelByte2 = 0;
    expectCaptureFiles(work.path(), in);
    EXPECT_EQ(readFile("op_scope.csv").substr(0, 25), "    \nMemory Length,4000,\n");
}

TEST_F(DualCapture, WrongChannelInABlockIsReported)
{
    ScopeCaptureInput in = queueStoredSample(7);
    logOf([] { scopePoll(9); });
    EXPECT_EQ(err, "scopecap: channel 2 sample block malformed: channel byte is 7\n");
    EXPECT_EQ(scopeProblems, 1);
}

TEST_F(DualCapture, FileThatCannotBeCreatedKeepsTheEarlierOneAndListsToTheConsole)
{
    writeFile("op_scope.csv", "earlier capture\n");
    ASSERT_EQ(mkdir("op_scope.csv.tmp", 0700), 0); // the temporary name is taken
    ScopeCaptureInput in = queueStoredSample();
    std::string log = logOf([] { scopePoll(9); });
    EXPECT_EQ(err, "scopecap: cannot create ./op_scope.csv: Is a directory\n");
    EXPECT_EQ(scopeProblems, 1);
    EXPECT_EQ(readFile("op_scope.csv"), "earlier capture\n");
    EXPECT_EQ(readFile("gbookFtemp.js"), expectedScript(in)); // the other file is written in full
    EXPECT_NE(log.find("Polling waveform....\n" + std::string("\n\n=====")), std::string::npos);
    EXPECT_NE(log.find(expectedSettingsListing(in.settings)), std::string::npos);
}

TEST_F(DualCapture, FileThatCannotBeMovedIntoPlaceIsReportedAndCleanedUp)
{
    ASSERT_EQ(mkdir("gbookFtemp.js", 0700), 0);
    ASSERT_EQ(mkdir("gbookFtemp.js/keep", 0700), 0); // a non-empty directory cannot be replaced
    ScopeCaptureInput in = queueStoredSample();
    logOf([] { scopePoll(9); });
    EXPECT_EQ(err.rfind("scopecap: cannot write ./gbookFtemp.js: ", 0), 0u) << err;
    EXPECT_NE(err.find("; the earlier file is kept\n"), std::string::npos) << err;
    EXPECT_EQ(scopeProblems, 1);
    EXPECT_EQ(access("gbookFtemp.js.tmp", F_OK), -1);
    EXPECT_EQ(readFile("op_scope.csv"), expectedCsv(in));
}

TEST_F(DualCapture, FullSettingsReplyStillEndsAfterTheBytesReceived)
{
    std::string settings = ":TIMebase:SCALe 3;" + std::string(700 - 18, 'x');
    ASSERT_EQ(settings.size(), 700u);
    queueReplies(settings, sim::waveBlock(1, 1, {}), sim::waveBlock(2, 1, {}));
    logOf([] { scopePoll(9); });
    std::string expected = ":TIMebase:SCALe 3\n    " + std::string(682, 'x') + "\nMemory Length,4000,\n";
    EXPECT_EQ(readFile("op_scope.csv").substr(0, expected.size()), expected);
    EXPECT_EQ(scopeProblems, 0);
}

} // namespace
