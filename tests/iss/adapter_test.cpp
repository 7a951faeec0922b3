// Module commands: the frames written, the reply lengths asked for, the log lines.
#include "iss.h"
#include "iss_fixture.h"

using namespace std::string_literals;

// Each routine's frame, reply length and log line; only issCmd12 waits.
const RoutineCase kModuleCommands[] = {
    {"VersionSendsTwoBytesReadsThreeAndLogsThem", {hexToBytes("07 02 40")}, [] { issVersion(9, 123); },
     " iBytesWritten: 2 \nISS:5A-01:ver: 07 02 40 \n", {hexToBytes("5A 01")}, {3}},
    {"SerialLogsAsciiDigitsAsHexAndAsText", {Bytes{'0', '9', '1', '2', '3', '4', '5'}}, [] { issSerial(9, 0); },
     " iBytesWritten: 2 \nISS:5A-03:ser: 30 39 31-32 33 34 35\nISS:5A-03:ser: 091-2345\n", {hexToBytes("5A 03")}, {7}},
    {"SetIoModeWritesExactlyFourBytesAndReadsTwo", {hexToBytes("FF 00")}, [] { issSetIoMode(9, 0); },
     " iBytesWritten: 4 \nISS:5A-02-00:IO-mode: FF 00 \n", {hexToBytes("5A 02 00 00")}, {2}, false},
    {"SetModeSendsModeAndTypeAndLogsTheModeWithTheReply", {hexToBytes("FF 00"), hexToBytes("00 05")},
     [] {
         issSetMode(9, 0x60, 0x00);
         issSetMode(9, 0x140, 0x1FF); // low bytes: 40 and FF
     },
     " iBytesWritten: 4 \nISS:5A-02-60:mode: FF 00 \n iBytesWritten: 4 \nISS:5A-02-40:mode: 00 05 \n",
     {hexToBytes("5A 02 60 00"), hexToBytes("5A 02 40 FF")}, {2, 2}},
    {"ChangeIoSendsModeByte10AndLogsNothingOfItsOwn", {hexToBytes("FF 00")}, [] { issChangeIo(9, 0x55); },
     " iBytesWritten: 4 \n", {hexToBytes("5A 02 10 55")}, {2}},
    {"SetPinsSendsTheLowByteOfItsValueAndReadsOne", {hexToBytes("FF"), hexToBytes("FF")},
     [] {
         issSetPins(9, 0x10E);
         issSetPins(9, -1);
     },
     " iBytesWritten: 2 \n iBytesWritten: 2 \n", {hexToBytes("63 0E"), hexToBytes("63 FF")}, {1, 1}},
    {"ReplyBytesAreLoggedAsUnsignedUpperCaseHex", {hexToBytes("FF"), hexToBytes("80"), hexToBytes("ab")},
     [] {
         issCmd10(9, 0x0C);
         issCmd10(9, 0x101);
         issCmd10(9, 0xFF);
     },
     " iBytesWritten: 4 \nFF \n iBytesWritten: 4 \n80 \n iBytesWritten: 4 \nAB \n",
     {hexToBytes("5A 10 0C 00"), hexToBytes("5A 10 01 00"), hexToBytes("5A 10 FF 00")}, {1, 1, 1}},
    {"Cmd12IsCmd10With0CThenItsOwnFrameAWaitAndAnEightByteRead",
     {hexToBytes("FF"), hexToBytes("01 02 C3 04 05 06 07 08")}, [] { issCmd12(9); },
     " iBytesWritten: 4 \nFF \n iBytesWritten: 4 \n01 02   C3 04 \n",
     {hexToBytes("5A 10 0C 00"), hexToBytes("5A 12 00 00")}, {1, 8}, true},
    // a reply shorter than the read still gives the log line, with what ioBuf held:
    // the version's byte 1 is still the frame's 01, its byte 2 was never touched
    {"ShortRepliesStillLogWithTheStaleBytes", {hexToBytes("07"), {}, hexToBytes("31 32 33")},
     [] {
         issVersion(9, 0);
         issSetIoMode(9, 0);
         issSerial(9, 0);
     },
     " iBytesWritten: 2 \nISS:5A-01:ver: 07 01 EE \n iBytesWritten: 4 \nISS:5A-02-00:IO-mode: 5A 02 \n"
     " iBytesWritten: 2 \nISS:5A-03:ser: 31 32 33-00 EE EE EE\nISS:5A-03:ser: 123-\0\xEE\xEE\xEE\n"s,
     {hexToBytes("5A 01"), hexToBytes("5A 02 00 00"), hexToBytes("5A 03")}, {3, 2, 7}},
};

using ModuleCommand = RoutineTest;
TEST_P(ModuleCommand, FramesRepliesAndLog) { expectRoutine(GetParam()); }
INSTANTIATE_TEST_SUITE_P(AdapterCommands, ModuleCommand, ::testing::ValuesIn(kModuleCommands), routineName);
