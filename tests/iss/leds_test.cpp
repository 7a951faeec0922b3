// The LED driver on the pins: one pin command per clock edge, words MSB first.
#include "iss.h"
#include "iss_fixture.h"

using LedDriver = IssTest;

namespace {

// The pin commands of words given as their bits, MSB first ("0000 1100 0000 0001"):
// per word LOAD high then low twice, per bit (data, data + clock, data), LOAD high twice.
std::vector<Bytes> wordPins(std::initializer_list<std::string> words)
{
    Bytes pins;
    for (const std::string &bits : words) {
        pins.insert(pins.end(), {0x08, 0x00, 0x00});
        for (char bit : bits) {
            unsigned char data = bit == '1' ? 0x04 : 0x00;
            if (bit != ' ')
                pins.insert(pins.end(), {data, (unsigned char)(data | 0x02), data});
        }
        pins.insert(pins.end(), {0x08, 0x08});
    }
    return pinCommands(pins);
}

std::string iBytesWritten(int lines)
{
    std::string text;
    for (int i = 0; i < lines; ++i)
        text += " iBytesWritten: 2 \n";
    return text;
}

// What sendMAX2719 logs for one word.
std::string wordLog(const std::string &word) { return "\n=========\nMAX2719: " + word + "  \n" + iBytesWritten(53); }

std::vector<Bytes> acks(int n) { return std::vector<Bytes>(n, Bytes{0xFF}); }

// A word is 53 pin commands, each reading its reply; sendMAX2719 then waits.
const RoutineCase kWords[] = {
    {"Word0C01IsTheExact53PinCommands", acks(53), [] { sendMAX2719(9, 0x0C01); }, wordLog("0C01"),
     wordPins({"0000 1100 0000 0001"}), std::vector<unsigned>(53, 1), true},
    {"WordsAreSentMostSignificantBitFirst", acks(2 * 53),
     [] {
         sendMAX2719(9, 0x8001);
         sendMAX2719(9, 0xFFFF);
     },
     wordLog("8001") + wordLog("FFFF"), wordPins({"1000 0000 0000 0001", "1111 1111 1111 1111"}),
     std::vector<unsigned>(2 * 53, 1)},
    {"XyzLightsColumn0OfRow0WithWord0101", acks(53), [] { sendMAX2719xyz(9, 0, 0, 1); },
     "       101 \n" + wordLog("0101"), wordPins({"0000 0001 0000 0001"}), std::vector<unsigned>(53, 1)},
    {"XyzLightsColumn7OfRow7WithWord0880", acks(53), [] { sendMAX2719xyz(9, 7, 7, 0); },
     "       880 \n" + wordLog("0880"), wordPins({"0000 1000 1000 0000"}), std::vector<unsigned>(53, 1)},
};

} // namespace

using LedWord = RoutineTest;
TEST_P(LedWord, PinCommandsAndLog) { expectRoutine(GetParam()); }
INSTANTIATE_TEST_SUITE_P(LedDriver, LedWord, ::testing::ValuesIn(kWords), routineName);

TEST_F(LedDriver, XyzGivesEachColumnItsOwnBit)
{
    const char *words[8] = {"301", "302", "304", "308", "310", "320", "340", "380"};
    for (int x = 0; x < 8; ++x) {
        for (const Bytes &ack : acks(53))
            fakePort::queue(ack);
        StdoutCapture out;
        sendMAX2719xyz(9, x, 2, 0);
        EXPECT_EQ(out.finish().substr(0, 12), "       " + std::string(words[x]) + " \n") << "column " << x;
    }
    EXPECT_EQ(fakePort::writes().size(), 8u * 53u);
}

TEST_F(LedDriver, XyzOutsideTheMatrixSendsNothingAndSaysSoOnStandardError)
{
    const int bad[][2] = {{8, 0}, {-1, 0}, {0, 8}, {0, -1}, {100000, 3}};
    for (auto [x, y] : bad) {
        StdoutCapture out;
        StderrCapture err;
        sendMAX2719xyz(9, x, y, 0);
        EXPECT_EQ(out.finish(), "") << x << "," << y;
        std::string complaint = err.finish();
        EXPECT_TRUE(oneLine(complaint)) << x << "," << y << ": " << complaint;
    }
    EXPECT_TRUE(fakePort::writes().empty());
    EXPECT_TRUE(fakePort::readRequests().empty());
}

TEST_F(LedDriver, PinWalkSendsThirteenPinBytesWithAOneMillisecondSleepEach)
{
    expectRoutine({"", acks(13), [] { pinWalk(9); }, iBytesWritten(13),
                   pinCommands(hexToBytes("00 01 02 04 08 0A 02 06 04 0C 08 00 0E")), std::vector<unsigned>(13, 1)});
    EXPECT_EQ(fakePort::sleepCalls(), 13);
    EXPECT_EQ(fakePort::sleptMs(), 13);
}
