// I2C device routines: frames to the SRF08, the display with keypad and the device at 0A.
#include "iss.h"
#include "iss_fixture.h"

using I2cDevices = IssTest;

const std::string kRanging = " iBytesWritten: 5 \n iBytesWritten: 4 \nsrf08: ";
const std::vector<Bytes> kRangingFrames = {hexToBytes("55 E0 00 01 51"), hexToBytes("55 E1 00 06")};
const std::string kTwenty = "Twenty characters ok";

// The SRF08 draws the second echo first, then a bar of a quarter of the first's
// centimetres; the display takes its count byte, then the text in a second write.
const RoutineCase kDeviceRoutines[] = {
    // first echo 300 cm, second 100 cm: a bar 75 wide
    {"Srf08RangesWaitsReadsSixRegistersAndDrawsTheBar", {hexToBytes("01"), hexToBytes("00 00 01 2C 00 64")},
     [] { srf08Range(9); }, kRanging + "000100 cm,  000300 cm " + std::string(74, '0') + "1+\n", kRangingFrames,
     {1, 6}, true},
    // 0xFFFF is 65535 (not -1) and draws a bar of 16383 characters
    {"Srf08DistancesAreUnsigned16BitValues", {hexToBytes("01"), hexToBytes("05 80 FF FF 80 00")}, [] { srf08Range(9); },
     kRanging + "032768 cm,  065535 cm " + std::string(16382, '0') + "1+\n", kRangingFrames, {1, 6}},
    {"Srf08EchoesBelowFourCentimetresDrawJustTheOne", {hexToBytes("01"), hexToBytes("05 80 00 03 00 00")},
     [] { srf08Range(9); }, kRanging + "000000 cm,  000003 cm 1+\n", kRangingFrames, {1, 6}},
    // 21: the command byte and the 20 characters; no terminator follows the text
    {"DispWriteSendsTheCountThenTheTextInASecondWrite", {hexToBytes("01")}, [] { dispWrite(9, 12, kTwenty.c_str()); },
     " iBytesWritten: 5 \n", {hexToBytes("55 C6 00 15 0C"), Bytes(kTwenty.begin(), kTwenty.end())}, {1}},
    // the empty text still goes out as a write of its own, of no bytes
    {"DispWriteWithNoTextSendsOnlyTheCommandByte", {hexToBytes("01")}, [] { dispWrite(9, 0, ""); },
     " iBytesWritten: 5 \n", {hexToBytes("55 C6 00 01 00"), {}}, {1}},
    {"KeypadPollReturnsTheSecondByteAndLogsAllFour", {hexToBytes("00 05 00 03")},
     [] { routineResult = setModeIICpollDisp(9); }, " iBytesWritten: 3 \nsetModeIICpollDisp: 00 05   00 03 \n",
     {hexToBytes("54 C7 04")}, {4}, true, 5}, // keys 1 and 3
    {"KeypadBytesAboveSevenFAreUnsigned", {hexToBytes("1C FF 80 12")}, [] { routineResult = setModeIICpollDisp(9); },
     " iBytesWritten: 3 \nsetModeIICpollDisp: 1C FF   80 12 \n", {hexToBytes("54 C7 04")}, {4}, std::nullopt, 255},
    {"PixelWriteSendsSevenRecordBytesAndLogsTheAck", {hexToBytes("01")},
     [] {
         serialState.ioBuf[37] = 0;
         routineResult = pixelWrite(9, 4, 4, 255, 64, 0);
     },
     " iBytesWritten: 11 \n pp: 11 7,  0 ack:1\n", {hexToBytes("55 0A 10 07 00 04 04 FF 40 00 20")}, {1}, false, 0},
    {"PixelWriteTakesLowBytesAndLogsWhatTheBlockWriteLeftAt37", {hexToBytes("01"), hexToBytes("00")},
     [] {
         pixelBlockWrite(9);
         pixelWrite(9, 0x104, -1, 0x200, 0x7F, 0x80);
     },
     " iBytesWritten: 37 \n pp: 37 33,  32 \n iBytesWritten: 11 \n pp: 11 7,  32 ack:0\n",
     {hexToBytes(kPixelBlock), hexToBytes("55 0A 10 07 00 04 FF 00 7F 80 20")}, {1, 1}},
    // no reply at all: the status byte printed is the frame's own first byte
    {"MissingRepliesLeaveTheFrameBytesInTheLog", {},
     [] {
         routineResult = setModeIICpollDisp(9);
         pixelWrite(9, 1, 2, 3, 4, 5);
     },
     " iBytesWritten: 3 \nsetModeIICpollDisp: 54 C7   04 EE \n iBytesWritten: 11 \n pp: 11 7,  238 ack:85\n",
     {hexToBytes("54 C7 04"), hexToBytes("55 0A 10 07 00 01 02 03 04 05 20")}, {4, 1}, std::nullopt, 0xC7},
};

using DeviceRoutine = RoutineTest;
TEST_P(DeviceRoutine, FramesRepliesAndLog) { expectRoutine(GetParam()); }
INSTANTIATE_TEST_SUITE_P(I2cDevices, DeviceRoutine, ::testing::ValuesIn(kDeviceRoutines), routineName);

TEST_F(I2cDevices, PixelBlockWriteSendsThe37ByteRecordAndKeepsABlankAfterIt)
{
    expectRoutine({"", {hexToBytes("01")}, [] { routineResult = pixelBlockWrite(9); },
                   " iBytesWritten: 37 \n pp: 37 33,  32 \n", {hexToBytes(kPixelBlock)}, {1}, true, 0});
    EXPECT_EQ(serialState.ioBuf[37], 0x20);
    EXPECT_EQ(serialState.ioBuf[38], kStale) << "nothing past the blank is touched";
}
