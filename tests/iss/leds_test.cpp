// The LED driver on the pins: one pin command per clock edge, words MSB first.
#include "iss.h"
#include "iss_fixture.h"

using LedDriver = IssTest;

namespace {

// The pin bytes of one word, written out as runs: LOAD high then low twice, per bit
// (data, data + clock, data), LOAD high twice.
Bytes wordPins(std::initializer_list<std::pair<int, int>> bitRuns)
{
    Bytes pins = {0x08, 0x00, 0x00};
    for (auto [bit, count] : bitRuns)
        appendRepeated(pins, bit ? std::initializer_list<unsigned char>{0x04, 0x06, 0x04}
                                 : std::initializer_list<unsigned char>{0x00, 0x02, 0x00},
                       count);
    pins.push_back(0x08);
    pins.push_back(0x08);
    return pins;
}

std::string iBytesWritten(int lines)
{
    std::string text;
    for (int i = 0; i < lines; ++i)
        text += " iBytesWritten: 2 \n";
    return text;
}

std::vector<Bytes> acks(int n) { return std::vector<Bytes>(n, Bytes{0xFF}); }

void queueAcks(int n)
{
    for (const Bytes &ack : acks(n))
        fakePort::queue(ack);
}

std::vector<Bytes> concat(std::vector<Bytes> a, const std::vector<Bytes> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A word is 53 pin commands, each reading its reply; sendMAX2719 then waits.
const RoutineCase kWords[] = {
    {"Word0C01IsTheExact53PinCommands", acks(53), [] { sendMAX2719(9, 0x0C01); },
     "\n=========\nMAX2719: 0C01  \n" + iBytesWritten(53), pinCommands(wordPins({{0, 4}, {1, 2}, {0, 9}, {1, 1}})),
     std::vector<unsigned>(53, 1), true},
    {"WordsAreSentMostSignificantBitFirst", acks(2 * 53),
     [] {
         sendMAX2719(9, 0x8001);
         sendMAX2719(9, 0xFFFF);
     },
     "\n=========\nMAX2719: 8001  \n" + iBytesWritten(53) + "\n=========\nMAX2719: FFFF  \n" + iBytesWritten(53),
     concat(pinCommands(wordPins({{1, 1}, {0, 14}, {1, 1}})), pinCommands(wordPins({{1, 16}}))),
     std::vector<unsigned>(2 * 53, 1)},
    {"XyzLightsColumn0OfRow0WithWord0101", acks(53), [] { sendMAX2719xyz(9, 0, 0, 1); },
     "       101 \n\n=========\nMAX2719: 0101  \n" + iBytesWritten(53),
     pinCommands(wordPins({{0, 7}, {1, 1}, {0, 7}, {1, 1}})), std::vector<unsigned>(53, 1)},
    {"XyzLightsColumn7OfRow7WithWord0880", acks(53), [] { sendMAX2719xyz(9, 7, 7, 0); },
     "       880 \n\n=========\nMAX2719: 0880  \n" + iBytesWritten(53),
     pinCommands(wordPins({{0, 4}, {1, 1}, {0, 3}, {1, 1}, {0, 7}})), std::vector<unsigned>(53, 1)},
};

} // namespace

using LedWord = RoutineTest;
TEST_P(LedWord, PinCommandsAndLog) { expectRoutine(GetParam()); }
INSTANTIATE_TEST_SUITE_P(LedDriver, LedWord, ::testing::ValuesIn(kWords), routineName);

TEST_F(LedDriver, XyzGivesEachColumnItsOwnBit)
{
    const char *lines[8] = {"       301 \n", "       302 \n", "       304 \n", "       308 \n",
                            "       310 \n", "       320 \n", "       340 \n", "       380 \n"};
    for (int x = 0; x < 8; ++x) {
        queueAcks(53);
        StdoutCapture out;
        sendMAX2719xyz(9, x, 2, 0);
        std::string text = out.finish();
        EXPECT_EQ(text.substr(0, 12), lines[x]) << "column " << x;
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
        EXPECT_FALSE(complaint.empty()) << x << "," << y;
        EXPECT_EQ(std::count(complaint.begin(), complaint.end(), '\n'), 1) << complaint;
        EXPECT_EQ(complaint.back(), '\n');
    }
    EXPECT_TRUE(fakePort::writes().empty());
    EXPECT_TRUE(fakePort::readRequests().empty());
}

TEST_F(LedDriver, PinWalkSendsThirteenPinBytesWithAOneMillisecondSleepEach)
{
    queueAcks(13);
    StdoutCapture out;
    pinWalk(9);
    EXPECT_EQ(out.finish(), iBytesWritten(13));
    EXPECT_EQ(fakePort::writes(), pinCommands(hexBytes("00 01 02 04 08 0A 02 06 04 0C 08 00 0E")));
    EXPECT_EQ(fakePort::readRequests(), std::vector<unsigned>(13, 1));
    EXPECT_EQ(fakePort::sleepCalls(), 13);
    EXPECT_EQ(fakePort::sleptMs(), 13);
}
