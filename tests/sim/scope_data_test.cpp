// What the virtual oscilloscope sends, checked against values worked out by hand:
// the block layout byte for byte, the waveforms, the settings line, and the
// command interpreter without a line.
#include "bench_fixture.h"
#include "cli.h"
#include "comma_locale.h"
#include "sim_expect.h"
#include "stored_sample.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ranges>
#include <set>

namespace {

using namespace simtest;

// The samples at these indexes, to compare several in one expectation.
std::vector<int> at(const std::vector<int16_t> &samples, std::initializer_list<size_t> ks)
{
    std::vector<int> picked;
    for (size_t k : ks)
        picked.push_back(samples.at(k));
    return picked;
}

TEST(ScopeBlock, LayoutByteForByte)
{
    BenchOptions opts;
    std::vector<uint8_t> b1 = sim::waveBlockFor(opts, 1);
    std::vector<uint8_t> b2 = sim::waveBlockFor(opts, 2);
    ASSERT_EQ(b1.size(), 8014u);
    ASSERT_EQ(b2.size(), 8014u);
    // "#48008"; 5.000e-04 s/div over 400 samples per division: 1.25e-06 s, float 0x35A7C5AC;
    // the channel; three zeros
    EXPECT_EQ(bytesToHex(b1.data(), 14), "23 34 38 30 30 38 35 A7 C5 AC 01 00 00 00");
    EXPECT_EQ(bytesToHex(b2.data(), 14), "23 34 38 30 30 38 35 A7 C5 AC 02 00 00 00");
    EXPECT_EQ(sim::sampleInterval(opts), 1.25e-06f);
    // channel 1: sine, 45 counts, 400 samples a cycle
    EXPECT_EQ(bytesToHex(&b1[14], 2), "00 00");       // sample 0
    EXPECT_EQ(bytesToHex(&b1[14 + 100], 2), "00 20"); // sample 50: 45 sin(pi/4) = 31.8
    EXPECT_EQ(bytesToHex(&b1[14 + 200], 2), "00 2D"); // sample 100: +45
    EXPECT_EQ(bytesToHex(&b1[14 + 600], 2), "FF D3"); // sample 300: -45
    EXPECT_EQ(blockSample(b1, 3700), 45);           // 9 cycles later
    // channel 2: square, 50 counts, 1000 samples a cycle
    EXPECT_EQ(bytesToHex(&b2[14], 2), "00 32");
    EXPECT_EQ(blockSample(b2, 499), 50);
    EXPECT_EQ(bytesToHex(&b2[14 + 1000], 2), "FF CE"); // sample 500: -50
    EXPECT_EQ(blockSample(b2, 999), -50);
    EXPECT_EQ(blockSample(b2, 1000), 50);
    EXPECT_EQ(blockSample(b2, 3999), -50);
}

TEST(ScopeBlock, SamplesAreTheBlocksSamples)
{
    const BenchOptions opts{.wave1 = {sim::WaveKind::Triangle, 90, 300}, .wave2 = {sim::WaveKind::Ramp, 128, 256}};
    ScopeCaptureInput read; // the blocks decoded as the capture tests decode them
    setChannelFromBlock(read, 1, sim::waveBlockFor(opts, 1), 8014);
    setChannelFromBlock(read, 2, sim::waveBlockFor(opts, 2), 8014);
    EXPECT_EQ(read.ch1, sim::waveSamples(opts, 1));
    EXPECT_EQ(read.ch2, sim::waveSamples(opts, 2));
    // the two defaults differ
    EXPECT_NE(sim::waveSamples(BenchOptions{}, 1), sim::waveSamples(BenchOptions{}, 2));
}

TEST(ScopeBlock, WaveformKinds)
{
    auto w = [](sim::WaveKind kind, int a, int p) { return sim::waveSamples(sim::WaveSpec{kind, a, p}); };
    // the ramp covers the whole 8-bit range, each value once a cycle
    std::vector<int16_t> ramp = w(sim::WaveKind::Ramp, 128, 256);
    EXPECT_EQ(at(ramp, {0, 128, 255, 256}), (std::vector<int>{-128, 0, 127, -128}));
    const auto range = std::views::iota(-128, 128);
    EXPECT_EQ(std::set<int>(ramp.begin(), ramp.begin() + 256), std::set<int>(range.begin(), range.end()));

    std::vector<int16_t> tri = w(sim::WaveKind::Triangle, 100, 400);
    EXPECT_EQ(at(tri, {0, 50, 100, 200, 300}), (std::vector<int>{-100, -50, 0, 100, 0}));

    // a square with a duty cycle: +A for that percentage of each period
    std::vector<int16_t> pulse = sim::waveSamples(sim::WaveSpec{sim::WaveKind::Square, 20, 1000, 30});
    EXPECT_EQ(std::count(pulse.begin(), pulse.end(), 20), 1200);
    EXPECT_EQ(at(pulse, {299, 300, 1000}), (std::vector<int>{20, -20, 20}));
    sim::WaveSpec parsed;
    std::string why;
    ASSERT_TRUE(sim::parseWaveSpec("square:20:1000:30", &parsed, &why)) << why;
    EXPECT_EQ(sim::waveSamples(parsed), pulse);

    EXPECT_EQ(w(sim::WaveKind::Zero, 0, 400), std::vector<int16_t>(4000, 0));

    // 16-bit extremes: the amplitude is clamped to what the block can carry
    const BenchOptions extremes{.wave1 = {sim::WaveKind::Square, 32768, 4}};
    EXPECT_EQ(at(sim::waveSamples(extremes, 1), {0, 2}), (std::vector<int>{32767, -32768}));
    std::vector<uint8_t> block = sim::waveBlockFor(extremes, 1);
    EXPECT_EQ(bytesToHex(&block[14], 2) + " " + bytesToHex(&block[18], 2), "7F FF 80 00");
}

TEST(ScopeSettings, DefaultLineInTheInstrumentsForm)
{
    BenchOptions opts;
    EXPECT_EQ(sim::scopeSettingsText(opts), kDefaultSettings);
    EXPECT_EQ(sim::scopeSettingsReply(opts), kDefaultSettings + "\n");
    // the program reads the reply with one 700-byte block read
    EXPECT_LT(sim::scopeSettingsReply(opts).size(), 700u);
}

TEST(ScopeSettings, FileIsSentVerbatimAndItsValuesAreReported)
{
    BenchOptions opts{.settings = kStoredSettings}; // no line end: nothing may be added
    EXPECT_EQ(sim::scopeSettingsReply(opts), kStoredSettings);
    sim::ScopeState s = sim::scopeStateFor(opts);
    // channel 1 scale and probe, channel 2 offset, time and window scale, trigger level, display
    EXPECT_EQ(std::tie(s.channel[0].scale, s.channel[0].probe, s.channel[1].offset, s.timeScale, s.windowScale,
                       s.triggerLevel, s.displayWaveform),
              std::make_tuple(2.0, 0, 2.0, 2.5e-06, 2.5e-07, 0.0, 12340));
    // 2.5e-06 s/div / 400 = 6.25e-09 s, float 0x31D6BF95
    EXPECT_EQ(bytesToHex(sim::waveBlockFor(opts, 1).data() + 6, 4), "31 D6 BF 95");

    // a relative DELay after WINDow:SCALe is the window's, not the time base's
    opts.settings = ":TIMebase:SWEep 2;SCALe 1.000e-03;DELay 4.000e-04;WINDow:SCALe 1.000E-04;DELay 7.000E-05;"
                    ":TRIGger:LEVel -2.500E-01\n";
    s = sim::scopeStateFor(opts);
    // sweep, time and window delay, trigger level, and channel 1's scale, not in the file: the default
    EXPECT_EQ(std::tie(s.sweep, s.timeDelay, s.windowDelay, s.triggerLevel, s.channel[0].scale),
              std::make_tuple(2, 4.0e-04, 7.0e-05, -0.25, 0.5));
}

// The interpreter without a line: what each command logs and answers.
struct Exchange {
    Lines log;
    Lines replies; // "-" for no reply
};

Exchange feed(sim::ScopeModel &m, const std::string &in)
{
    Exchange e;
    for (const sim::Step &s : m.feed((const uint8_t *)in.data(), in.size())) {
        e.log.insert(e.log.end(), s.log.begin(), s.log.end());
        e.replies.push_back(s.reply ? std::string(s.reply->bytes.begin(), s.reply->bytes.end()) : "-");
    }
    return e;
}

TEST(ScopeSettings, NumbersDoNotFollowTheProcessLocale)
{
    CommaLocale comma;
    if (!comma.why.empty())
        GTEST_SKIP() << comma.why;
    if (comma.env.count("LOCPATH"))
        setenv("LOCPATH", comma.env["LOCPATH"].c_str(), 1);
    std::setlocale(LC_NUMERIC, comma.env["LC_ALL"].c_str());
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 0.5);
    const std::string text = sim::scopeSettingsText(BenchOptions{});
    sim::ScopeModel m{BenchOptions{}};
    const Exchange e = feed(m, ":TIM:DEL -3.0E-03\r:TIM:DEL?\r");
    // back to the C locale before anything is checked: a failed check must not leave it set
    std::setlocale(LC_NUMERIC, "C");
    unsetenv("LOCPATH");
    ASSERT_STREQ(probe, "0,5"); // the C library wrote a decimal comma meanwhile
    EXPECT_EQ(text, kDefaultSettings);
    EXPECT_EQ(e.replies, (Lines{"-", "-3.000e-03\n"}));
}

TEST(ScopeModel, TerminatorsAndLog)
{
    sim::ScopeModel m{BenchOptions{}};
    // "\r\n" is one end, "\r" and "\n" each end a command, text is logged as received
    Exchange e = feed(m, ":TIM:DEL -3.0E-03\r\n:tim:del?\n*idn?\r");
    EXPECT_EQ(e.log, (Lines{":TIM:DEL -3.0E-03", ":tim:del?", "*idn?"}));
    EXPECT_EQ(e.replies, (Lines{"-", "-3.000e-03\n", kIdentity}));
    // a command split over reads, and "\r" | "\n" split between them
    EXPECT_TRUE(feed(m, ":TIM:S").log.empty());
    e = feed(m, "CAL?\r");
    EXPECT_EQ(e.log, (Lines{":TIM:SCAL?"}));
    EXPECT_EQ(e.replies, (Lines{"5.000e-04\n"}));
    e = feed(m, "\n:TIM:SWE?\n\n\r");
    EXPECT_EQ(e.log, (Lines{":TIM:SWE?"}));
}

TEST(ScopeModel, OnlyTheSecondChannelEndsAJob)
{
    sim::ScopeModel m{BenchOptions{}};
    auto steps = m.feed((const uint8_t *)"*LRN?\r:acquire1:memory?\r:acquire2:memory?\r", 42);
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(std::tie(steps[0].endsJob, steps[1].endsJob, steps[2].endsJob), std::make_tuple(false, false, true));
    EXPECT_EQ(steps[0].reply->kind, sim::ReplyKind::Block);
    EXPECT_EQ(steps[2].reply->bytes, sim::waveBlockFor(BenchOptions{}, 2));
}

TEST(ScopeModel, LongFormsAndSettersShareOneState)
{
    sim::ScopeModel m{BenchOptions{}};
    Exchange e = feed(m, ":TIMebase:SCALe 1.0E-3\n:TIMEBASE:SCALE?\n:CHANnel2:PROBe 2\n:chan2:prob?\n"
                         ":TRIGger:LEVel -0.5\n:TRIG:LEV?\n:acq1:mem?\n");
    ASSERT_EQ(e.replies.size(), 7u);
    EXPECT_EQ(Lines(e.replies.begin(), e.replies.begin() + 6),
              (Lines{"-", "1.000e-03\n", "-", "2\n", "-", "-5.000E-01\n"}));
    // the block's interval follows the new time base: 1e-3 / 400 = 2.5e-6
    EXPECT_EQ(bytesToHex(e.replies[6].substr(6, 4)), "36 27 C5 AC");
    std::string lrn = feed(m, "*LRN?\n").replies.at(0);
    EXPECT_NE(lrn.find(";PROBe 2;SCALe 1.000e+00;:CHANnel1:MATH"), std::string::npos) << lrn;
    EXPECT_NE(lrn.find(":TIMebase:SWEep 0;SCALe 1.000e-03;"), std::string::npos) << lrn;
    EXPECT_NE(lrn.find(";LEVel -5.000E-01;"), std::string::npos) << lrn;
    // *RST brings back the power-up state
    feed(m, "*RST\n");
    EXPECT_EQ(feed(m, "*LRN?\n").replies.at(0), kDefaultSettings + "\n");
}

TEST(ScopeModel, ErrorsAreReportedOnce)
{
    sim::ScopeModel m{BenchOptions{}};
    Exchange e = feed(m, ":SYST:ERR?\n:NO:SUCH?\n:BOGUS 3\n:TIM:DEL abc\n:SYST:ERR?\n:SYST:ERR?\n:SYST:ERR?\n"
                         ":SYST:ERR?\n");
    EXPECT_EQ(e.replies, (Lines{"+0, No error\n", "-", "-", "-", "-113, Undefined header\n", "-113, Undefined header\n",
                                "-104, Data type error\n", "+0, No error\n"}));
    // the set-up commands of the sequences are accepted without error or reply
    e = feed(m, "*RST\r:AUT\r:chan2:inv 1\r:DISP:WAV 0\r:SINGLE\r:SYST:ERR?\r");
    EXPECT_EQ(e.replies, (Lines{"-", "-", "-", "-", "-", "+0, No error\n"}));
    std::string lrn = feed(m, "*lrn?\r").replies.at(0);
    EXPECT_EQ(lrn.rfind(":DISPlay:WAVeform 0;", 0), 0u) << lrn;
    EXPECT_NE(lrn.find(":CHANnel2:DISPlay 1;BWLimit 0;COUPling 0;INVert 1;"), std::string::npos) << lrn;
}

} // namespace
