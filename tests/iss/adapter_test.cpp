// Module commands: the frames written, the reply lengths asked for, the log lines.
#include "iss.h"
#include "iss_fixture.h"

using namespace std::string_literals;

using AdapterCommands = IssTest;

TEST_F(AdapterCommands, VersionSendsTwoBytesReadsThreeAndLogsThem)
{
    fakePort::queue(hexBytes("07 02 40"));
    StdoutCapture out;
    issVersion(9, 123);
    EXPECT_EQ(out.finish(), " iBytesWritten: 2 \nISS:5A-01:ver: 07 02 40 \n");
    EXPECT_EQ(fakePort::writes(), std::vector<Bytes>{hexBytes("5A 01")});
    EXPECT_EQ(fakePort::readRequests(), std::vector<unsigned>{3});
}

TEST_F(AdapterCommands, SerialLogsAsciiDigitsAsHexAndAsText)
{
    fakePort::queue(std::string("0912345"));
    StdoutCapture out;
    issSerial(9, 0);
    EXPECT_EQ(out.finish(), " iBytesWritten: 2 \n"
                            "ISS:5A-03:ser: 30 39 31-32 33 34 35\n"
                            "ISS:5A-03:ser: 091-2345\n");
    EXPECT_EQ(fakePort::writes(), std::vector<Bytes>{hexBytes("5A 03")});
    EXPECT_EQ(fakePort::readRequests(), std::vector<unsigned>{7});
}

TEST_F(AdapterCommands, SetIoModeWritesExactlyFourBytesAndReadsTwo)
{
    fakePort::queue(hexBytes("FF 00"));
    StdoutCapture out;
    int ticks = ticksDuring([] { issSetIoMode(9, 0); });
    EXPECT_EQ(out.finish(), " iBytesWritten: 4 \nISS:5A-02-00:IO-mode: FF 00 \n");
    EXPECT_EQ(fakePort::written(), hexBytes("5A 02 00 00"));
    EXPECT_EQ(fakePort::writes().size(), 1u);
    EXPECT_EQ(fakePort::readRequests(), std::vector<unsigned>{2});
    EXPECT_EQ(ticks, 0) << "only issCmd12 waits";
}

TEST_F(AdapterCommands, SetModeSendsModeAndTypeAndLogsTheModeWithTheReply)
{
    fakePort::queue(hexBytes("FF 00"));
    fakePort::queue(hexBytes("00 05"));
    StdoutCapture out;
    issSetMode(9, 0x60, 0x00);
    issSetMode(9, 0x140, 0x1FF); // low bytes: 40 and FF
    EXPECT_EQ(out.finish(), " iBytesWritten: 4 \nISS:5A-02-60:mode: FF 00 \n"
                            " iBytesWritten: 4 \nISS:5A-02-40:mode: 00 05 \n");
    EXPECT_EQ(fakePort::writes(), (std::vector<Bytes>{hexBytes("5A 02 60 00"), hexBytes("5A 02 40 FF")}));
    EXPECT_EQ(fakePort::readRequests(), (std::vector<unsigned>{2, 2}));
}

TEST_F(AdapterCommands, ChangeIoSendsModeByte10AndLogsNothingOfItsOwn)
{
    fakePort::queue(hexBytes("FF 00"));
    StdoutCapture out;
    issChangeIo(9, 0x55);
    EXPECT_EQ(out.finish(), " iBytesWritten: 4 \n");
    EXPECT_EQ(fakePort::written(), hexBytes("5A 02 10 55"));
    EXPECT_EQ(fakePort::readRequests(), std::vector<unsigned>{2});
}

TEST_F(AdapterCommands, SetPinsSendsTheLowByteOfItsValueAndReadsOne)
{
    fakePort::queue(hexBytes("FF"));
    fakePort::queue(hexBytes("FF"));
    StdoutCapture out;
    issSetPins(9, 0x10E);
    issSetPins(9, -1);
    EXPECT_EQ(out.finish(), " iBytesWritten: 2 \n iBytesWritten: 2 \n");
    EXPECT_EQ(fakePort::writes(), (std::vector<Bytes>{hexBytes("63 0E"), hexBytes("63 FF")}));
    EXPECT_EQ(fakePort::readRequests(), (std::vector<unsigned>{1, 1}));
}

TEST_F(AdapterCommands, ReplyBytesAreLoggedAsUnsignedUpperCaseHex)
{
    fakePort::queue(hexBytes("FF"));
    fakePort::queue(hexBytes("80"));
    fakePort::queue(hexBytes("ab"));
    StdoutCapture out;
    issCmd10(9, 0x0C);
    issCmd10(9, 0x101);
    issCmd10(9, 0xFF);
    EXPECT_EQ(out.finish(), " iBytesWritten: 4 \nFF \n iBytesWritten: 4 \n80 \n iBytesWritten: 4 \nAB \n");
    EXPECT_EQ(fakePort::writes(),
              (std::vector<Bytes>{hexBytes("5A 10 0C 00"), hexBytes("5A 10 01 00"), hexBytes("5A 10 FF 00")}));
    EXPECT_EQ(fakePort::readRequests(), (std::vector<unsigned>{1, 1, 1}));
}

TEST_F(AdapterCommands, Cmd12IsCmd10With0CThenItsOwnFrameAWaitAndAnEightByteRead)
{
    fakePort::queue(hexBytes("FF"));
    fakePort::queue(hexBytes("01 02 C3 04 05 06 07 08"));
    StdoutCapture out;
    int ticks = ticksDuring([] { issCmd12(9); });
    EXPECT_EQ(out.finish(), " iBytesWritten: 4 \nFF \n iBytesWritten: 4 \n01 02   C3 04 \n");
    EXPECT_EQ(fakePort::writes(), (std::vector<Bytes>{hexBytes("5A 10 0C 00"), hexBytes("5A 12 00 00")}));
    EXPECT_EQ(fakePort::readRequests(), (std::vector<unsigned>{1, 8}));
    EXPECT_GE(ticks, 600);
    EXPECT_LT(ticks, 2000);
}

// A reply shorter than the read still gives the log line, with what ioBuf held.
TEST_F(AdapterCommands, ShortRepliesStillLogWithTheStaleBytes)
{
    fakePort::queue(hexBytes("07"));
    StdoutCapture out;
    issVersion(9, 0);
    // byte 1 is still the frame's 01, byte 2 was never touched
    EXPECT_EQ(out.finish(), " iBytesWritten: 2 \nISS:5A-01:ver: 07 01 EE \n");

    StdoutCapture silent;
    issSetIoMode(9, 0);
    EXPECT_EQ(silent.finish(), " iBytesWritten: 4 \nISS:5A-02-00:IO-mode: 5A 02 \n");

    StdoutCapture serial;
    fakePort::queue(std::string("123"));
    issSerial(9, 0);
    EXPECT_EQ(serial.finish(), " iBytesWritten: 2 \n"
                               "ISS:5A-03:ser: 31 32 33-00 EE EE EE\n"
                               "ISS:5A-03:ser: 123-\0\xEE\xEE\xEE\n"s);
}
