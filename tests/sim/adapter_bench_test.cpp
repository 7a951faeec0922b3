// The virtual USB-ISS adapter over its pseudo-terminal: module commands, I2C
// devices in and out of I2C mode, frames split over writes, and the LED driver.
#include "bench_fixture.h"

namespace {

using namespace simtest;

// A word as the LED routine sends it in 53 pin bytes: LOAD pulse, 16 clocked bits from
// the top, LOAD high.
std::vector<int> pinsFor(uint16_t word)
{
    std::vector<int> p = {0x08, 0x00, 0x00};
    for (int bit = 15; bit >= 0; --bit) {
        int d = (word >> bit) & 1 ? 0x04 : 0x00;
        p.insert(p.end(), {d, d | 0x02, d});
    }
    p.insert(p.end(), {0x08, 0x08});
    return p;
}

class AdapterBench : public BenchFixture {
protected:
    void startBench(BenchOptions options = {})
    {
        BenchFixture::startBench(std::move(options), sim::Personality::Adapter);
    }
    void sendPins(const std::vector<int> &pins)
    {
        for (int p : pins)
            ASSERT_EQ(bytesToHex(ask(bytes({0x63, p}), 1)), "FF");
    }
    // The log's events, without the frames.
    Lines events()
    {
        Lines log = bench->commands(), out;
        std::ranges::copy_if(log, std::back_inserter(out), [](const std::string &l) { return l.starts_with("# "); });
        return out;
    }
};

TEST_F(AdapterBench, ModuleCommands)
{
    startBench({.serial = "0098765"});
    EXPECT_EQ(bytesToHex(ask(bytes({0x5A, 0x01}), 3)), "07 07 00");
    EXPECT_EQ(ask(bytes({0x5A, 0x03}), 7), "0098765");
    EXPECT_EQ(bytesToHex(ask(bytes({0x5A, 0x02, 0x60, 0x00}), 2)), "FF 00");
    EXPECT_EQ(bytesToHex(ask(bytes({0x5A, 0x01}), 3)), "07 07 60"); // the version reply carries the mode
    EXPECT_EQ(bytesToHex(ask(bytes({0x5A, 0x02, 0x33, 0x00}), 2)), "00 05"); // unknown mode
    EXPECT_EQ(bytesToHex(ask(bytes({0x5A, 0x02, 0x10, 0x0F}), 2)), "FF 00"); // new I/O types only
    EXPECT_EQ(bytesToHex(ask(bytes({0x5A, 0x01}), 3)), "07 07 60");
    EXPECT_EQ(bytesToHex(ask(bytes({0x5A, 0x10, 0x0C, 0x00}), 1)), "FF");
    EXPECT_EQ(bytesToHex(ask(bytes({0x5A, 0x12, 0x00, 0x00}), 8)), "07 07 60 0F 0C 00 00 00");
    EXPECT_EQ(bytesToHex(ask(bytes({0x5A, 0x02, 0x00, 0x00}), 2)), "FF 00");
    EXPECT_EQ(bytesToHex(ask(bytes({0x5A, 0x01}), 3)), "07 07 00");
    // an unknown module command is logged and not answered
    EXPECT_EQ(askFor(bytes({0x5A, 0x7E}), 300ms), "");
    EXPECT_EQ(bytesToHex(ask(bytes({0x5A, 0x01}), 3)), "07 07 00"); // still in step
    EXPECT_EQ(bench->commands(), (Lines{"5A 01", "5A 03", "5A 02 60 00", "5A 01", "5A 02 33 00", "# unknown mode 33",
                                        "5A 02 10 0F", "5A 01", "5A 10 0C 00", "5A 12 00 00", "5A 02 00 00", "5A 01",
                                        "5A 7E", "# no reply: unknown module command 5A 7E", "5A 01"}));
}

TEST_F(AdapterBench, I2cOnlyInAnI2cMode)
{
    startBench();
    // power-up is I/O mode: the ranging command is logged and not answered
    EXPECT_EQ(askFor(bytes({0x55, 0xE0, 0x00, 0x01, 0x51}), 300ms), "");
    EXPECT_EQ(bench->adapterState().srf08[2], 0); // and the ranger never heard it
    EXPECT_EQ(bench->commands(), (Lines{"55 E0 00 01 51", "# no reply: not in an I2C mode (mode 00)"}));
    ASSERT_EQ(bytesToHex(ask(bytes({0x5A, 0x02, 0x40, 0x00}), 2)), "FF 00");
    EXPECT_EQ(bytesToHex(ask(bytes({0x55, 0xE0, 0x00, 0x01, 0x51}), 1)), "01");
}

TEST_F(AdapterBench, RangerReportsTheChosenEchoes)
{
    startBench({.rangeFirst = 300, .rangeSecond = 100, .initialMode = 0x60});
    // before ranging only the revision and the light sensor read
    EXPECT_EQ(bytesToHex(ask(bytes({0x55, 0xE1, 0x00, 0x06}), 6)), "0B 80 00 00 00 00");
    EXPECT_EQ(bytesToHex(ask(bytes({0x55, 0xE0, 0x00, 0x01, 0x51}), 1)), "01");
    EXPECT_EQ(bytesToHex(ask(bytes({0x55, 0xE1, 0x00, 0x06}), 6)), "0B 80 01 2C 00 64");
    EXPECT_EQ(bytesToHex(ask(bytes({0x55, 0xE1, 0x02, 0x02}), 2)), "01 2C"); // from register 2
    // in inches (0x50): 300 / 2.54 = 118, 100 / 2.54 = 39
    EXPECT_EQ(bytesToHex(ask(bytes({0x55, 0xE0, 0x00, 0x01, 0x50}), 1)), "01");
    EXPECT_EQ(bytesToHex(ask(bytes({0x55, 0xE1, 0x02, 0x04}), 4)), "00 76 00 27");
    EXPECT_EQ(events(), (Lines{"# srf08: ranging 300 cm, 100 cm", "# srf08: ranging 118 in, 39 in"}));
}

TEST_F(AdapterBench, DisplayFrameSplitOverTwoWrites)
{
    startBench({.initialMode = 0x60});
    // the display routine writes the frame header, then the text
    EXPECT_EQ(askFor(bytes({0x55, 0xC6, 0x00, 0x06, 0x0C}), 200ms), "");
    EXPECT_EQ(bytesToHex(ask("HELLO", 1)), "01");
    EXPECT_EQ(bytesToHex(ask(bytes({0x55, 0xC6, 0x00, 0x04, 0x00}) + " 42", 1)), "01"); // 0 appends at the cursor
    EXPECT_EQ(bytesToHex(ask(bytes({0x55, 0xC6, 0x00, 0x03, 0x0C}) + "AB", 1)), "01");  // 12 clears first
    EXPECT_EQ(bench->commands(), (Lines{"55 C6 00 06 0C 48 45 4C 4C 4F", "# display: HELLO", "55 C6 00 04 00 20 34 32",
                                        "# display: HELLO 42", "55 C6 00 03 0C 41 42", "# display: AB"}));
    EXPECT_EQ(bench->adapterState().display, "AB");
}

TEST_F(AdapterBench, KeypadRecordsAndAbsentDevices)
{
    startBench({.keys = 5, .initialMode = 0x60});
    EXPECT_EQ(bytesToHex(ask(bytes({0x54, 0xC7, 0x04}), 4)), "00 05 00 03"); // keys 1 and 3
    EXPECT_EQ(bytesToHex(ask(bytes({0x55, 0x0A, 0x10, 0x07, 0x00, 0x04, 0x04, 0xFF, 0x40, 0x00, 0x20}), 1)), "01");
    EXPECT_EQ(bytesToHex(ask(bytes({0x55, 0x50, 0x00, 0x01, 0x33}), 1)), "00"); // nobody at 0x50
    EXPECT_EQ(bytesToHex(ask(bytes({0x55, 0x51, 0x00, 0x02}), 2)), "00 00");
    EXPECT_EQ(events(), (Lines{"# record 0A: 00 04 04 FF 40 00 20", "# no device at 50", "# no device at 50"}));
    ASSERT_EQ(bench->adapterState().records.size(), 1u);
    EXPECT_EQ(bytesToHex(bytes(bench->adapterState().records[0])), "00 04 04 FF 40 00 20");
}

TEST_F(AdapterBench, LedDriverLatchesTheWordFromItsFiftyThreePinBytes)
{
    startBench();
    // 0x0C01 by hand: LOAD low, each bit as data, clock high, clock low, LOAD high
    const std::vector<int> pins = {0x08, 0x00, 0x00,
                                   0x00, 0x02, 0x00, 0x00, 0x02, 0x00, 0x00, 0x02, 0x00, 0x00, 0x02, 0x00, // 0
                                   0x04, 0x06, 0x04, 0x04, 0x06, 0x04, 0x00, 0x02, 0x00, 0x00, 0x02, 0x00, // C
                                   0x00, 0x02, 0x00, 0x00, 0x02, 0x00, 0x00, 0x02, 0x00, 0x00, 0x02, 0x00, // 0
                                   0x00, 0x02, 0x00, 0x00, 0x02, 0x00, 0x00, 0x02, 0x00, 0x04, 0x06, 0x04, // 1
                                   0x08, 0x08};
    EXPECT_EQ(pinsFor(0x0C01), pins); // the test's own encoder agrees with the hand-written list
    sendPins(pins);
    std::vector<std::string> log = bench->commands();
    // each pin byte is logged as its frame; the latch comes with the first of the two 08s
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string &l) { return l.rfind("63 ", 0) == 0; }), 53);
    EXPECT_EQ(events(), Lines{"# latched 0C01"});
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(Lines(log.end() - 2, log.end()), (Lines{"# latched 0C01", "63 08"})); // then only the last "63 08"
    sim::AdapterState s = bench->adapterState();
    EXPECT_EQ(s.ledRegisters[0x0C], 0x01);
    EXPECT_EQ(s.latched, std::vector<uint16_t>{0x0C01});
}

TEST_F(AdapterBench, LedMatrixFollowsTheRowWords)
{
    startBench({.matrix = true});
    for (uint16_t word : {0x0101, 0x0324, 0x0880, 0x0B07})
        sendPins(pinsFor(word));
    EXPECT_EQ(bench->adapterState().ledRegisters[0x0B], 0x07);
    // --matrix: the matrix is logged after each of the three row words, not after the scan-limit word
    const Lines matrix = {"# matrix",
                          "# #.......", "# ........", "# ..#..#..", "# ........",
                          "# ........", "# ........", "# ........", "# .......#"};
    Lines ev = events();
    EXPECT_EQ(std::count(ev.begin(), ev.end(), "# matrix"), 3);
    ASSERT_GE(ev.size(), 10u);
    EXPECT_EQ(Lines(ev.end() - 10, ev.end() - 1), matrix);
    EXPECT_EQ(ev.back(), "# latched 0B07");
    // the matrix is also logged when the bench stops
    bench->stop();
    Lines all = bench->commands();
    EXPECT_EQ(Lines(all.end() - 9, all.end()), matrix);
}

TEST_F(AdapterBench, PinsOutsideIoModeOrTypedAsInputsDriveNothing)
{
    startBench({.initialMode = 0x60});
    sendPins(pinsFor(0x0C01));
    EXPECT_TRUE(bench->adapterState().latched.empty());
    EXPECT_EQ(bench->adapterState().ledRegisters[0x0C], 0);
    // I/O mode with I/O4 (LOAD) a digital input: the clocks shift, nothing latches
    ASSERT_EQ(bytesToHex(ask(bytes({0x5A, 0x02, 0x00, 0x80}), 2)), "FF 00");
    sendPins(pinsFor(0x0C01));
    EXPECT_TRUE(bench->adapterState().latched.empty());
    EXPECT_EQ(bench->adapterState().shift, 0x0C01);
}

TEST_F(AdapterBench, TheSelfTestPatternLatchesAfterSingleClocks)
{
    startBench();
    sendPins({0x00, 0x01, 0x02, 0x04, 0x08, 0x0A, 0x02, 0x06, 0x04, 0x0C, 0x08, 0x00, 0x0E});
    EXPECT_EQ(events(), (Lines{"# latched 0000 after 1 clock", "# latched 0000 after 1 clock",
                               "# latched 0001 after 1 clock"}));
    EXPECT_EQ(bench->adapterState().ledRegisters, (std::array<uint8_t, 16>{})); // register 0 is the no-op
}

TEST_F(AdapterBench, AnUnfinishedFrameIsDropped)
{
    startBench();
    port->write(bytes({0x55, 0xC6}));
    // the adapter gives up on the frame after a second of silence
    std::this_thread::sleep_for(1600ms);
    EXPECT_EQ(bytesToHex(ask(bytes({0x5A, 0x01}), 3)), "07 07 00");
    EXPECT_EQ(bench->commands(), (Lines{"# dropped incomplete frame: 55 C6", "5A 01"}));
}

} // namespace
