// The serial link's logic against the in-memory port: every failure path of the
// open, the settings it makes, and the block read's counting.
#include "fake_port.h"
#include "link_expect.h"

#include <gtest/gtest.h>

namespace {

class SerialLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakePort::reset();
        serialState = SerialState{};
    }
};

TEST_F(SerialLink, EachFailingStepPrintsItsOwnLineClosesThePortAndReturnsNull)
{
    const struct { const char *call, *line; } cases[] = {
        {"SetupComm", "serial port COM9 SetupComm fail  31\n\r"},
        {"GetCommState", "serial port COM9  GetCommState fail  31\n\r"},
        {"SetCommState", "serial port COM9  SetCommState fail  31\n\r"},
        {"SetCommTimeouts", "serial port COM9 SetCommTimeouts fail  31\n\r"},
    };
    for (const auto &c : cases) {
        fakePort::reset();
        fakePort::setCallFails(c.call, 31);
        EXPECT_EQ(openLogged(), failedWith(c.line)) << c.call;
        EXPECT_FALSE(fakePort::portOpen()) << c.call << ": the port must not stay locked";
        EXPECT_NE(serialState.hComm, nullptr) << c.call << ": hComm keeps the handle";
    }
}

TEST_F(SerialLink, ConnectFailCarriesPortNameAndSystemError)
{
    fakePort::setOpenFails(2);
    EXPECT_EQ(openLogged(), failedWith(connectFailLine(2)));
    EXPECT_EQ(serialState.hComm, INVALID_HANDLE_VALUE); // stored even when the open fails

    fakePort::setOpenFails(5);
    EXPECT_EQ(openLogged(3), failedWith(connectFailLine(5, 3)));
}

TEST_F(SerialLink, PortsFromTenOpenByTheirDevicePathAndAreCalledCOMnInTheMessages)
{
    const std::pair<int, std::string> names[] = {{9, "COM9"}, {1, "COM1"}, {10, "\\\\.\\COM10"}, {255, "\\\\.\\COM255"}};
    for (const auto &[port, opened] : names) {
        fakePort::reset();
        EXPECT_EQ(openLogged(port).second, connectOkLine(port));
        EXPECT_EQ(fakePort::openedName(), opened);
    }
    fakePort::setOpenFails(2);
    EXPECT_EQ(openLogged(12), failedWith(connectFailLine(2, 12)));
}

TEST_F(SerialLink, SettingsMadeAndSettingsLeftAlone)
{
    auto [h, log] = openLogged(9, '8', 'E');
    EXPECT_EQ(log, kConnectOk);
    EXPECT_NE(h, nullptr);
    const DCB d = fakePort::lastCommState();
    EXPECT_EQ(lineOf(d), programLine(8, EVENPARITY));
    // not the program's to set: as the driver reported them
    EXPECT_EQ(std::tuple(d.fBinary, d.XonLim, d.XoffLim, d.XonChar, d.XoffChar), std::tuple(1u, 2048, 512, 0x11, 0x13));
    EXPECT_EQ(timeoutsOf(fakePort::lastTimeouts()), kProgramTimeouts);
    // a stale line error from an earlier user is cleared once at the open
    EXPECT_EQ(fakePort::clearCommErrorCalls(), 1);
}

TEST_F(SerialLink, DataBitsAndParityCharacters)
{
    for (auto [bits, parity, byteSize, parityCode] : kLineChars) {
        fakePort::reset();
        openLogged(9, bits, parity);
        EXPECT_EQ(lineOf(fakePort::lastCommState()), programLine(byteSize, parityCode)) << bits << parity;
    }
}

TEST_F(SerialLink, CloseLeavesTheHandleValue)
{
    openLogged();
    HANDLE h = serialState.hComm;
    closeComPort(9);
    EXPECT_FALSE(fakePort::portOpen());
    EXPECT_EQ(serialState.hComm, h);
    closeComPort(9); // a second close does nothing visible
}

TEST_F(SerialLink, BlockReadAllowsTwoEmptyReadsInAllNotInARow)
{
    openLogged();
    // the 'c's are never read: the second empty read ended the block
    for (const std::string &piece :
         {std::string(10, 'a'), std::string(), std::string(5, 'b'), std::string(), std::string(5, 'c')})
        fakePort::queue(piece);
    EXPECT_EQ(readBlockLogged(100), std::tuple(15u, std::string(10, 'a') + std::string(5, 'b'),
                                               "count_rd: 10 countGot: 10 want: 100 loop: 2\n"
                                               "count_rd: 0 countGot: 10 want: 100 loop: 1\n"
                                               "count_rd: 5 countGot: 15 want: 100 loop: 1\n"
                                               "count_rd: 0 countGot: 15 want: 100 loop: 0\n"));
    // each read asks only for what is still missing
    EXPECT_EQ(fakePort::readRequests(), (std::vector<unsigned>{100, 90, 90, 85}));
    // a line error after an empty read is cleared so it cannot fail the rest
    EXPECT_EQ(fakePort::clearCommErrorCalls(), 1 + 2);
}

TEST_F(SerialLink, BlockReadStopsAsSoonAsAllBytesCame)
{
    openLogged();
    // all but the last byte, then the last byte in a read of its own
    for (const std::string &piece : {std::string(13, 'x'), std::string(1, 'y'), std::string(3, 'z')})
        fakePort::queue(piece);
    EXPECT_EQ(readBlockLogged(14), std::tuple(14u, std::string(13, 'x') + "y",
                                              "count_rd: 13 countGot: 13 want: 14 loop: 2\n"
                                              "count_rd: 1 countGot: 14 want: 14 loop: 2\n"));
}

TEST_F(SerialLink, TransfersCountIntoTheirOwnCounters)
{
    openLogged();
    serialState.ioBuf[0] = 1;
    serialState.ioBuf[1] = 2;
    StdoutCapture capture;
    sendIoBuf(9, 2);
    writeBytes(9, "abcd", 4);
    EXPECT_EQ(capture.finish(), " iBytesWritten: 2 \n"); // writeBytes logs nothing
    EXPECT_EQ(serialState.sendIoBufWritten, 2u);
    EXPECT_EQ(serialState.writeBytesWritten, 4u);
    fakePort::queue(std::string("\x07\x02", 2));
    readIoBuf(9, 3);
    EXPECT_EQ(serialState.readIoBufRead, 2u);
    EXPECT_EQ(serialState.sendIoBufWritten, 2u);
    EXPECT_EQ(fakePort::writes(), (std::vector<std::vector<unsigned char>>{{1, 2}, {'a', 'b', 'c', 'd'}}));
}

TEST_F(SerialLink, AFailedReadThatClearCommErrorClearsIsALineErrorNotALoss)
{
    openLogged();
    fakePort::setCallFails("ReadFile", 995); // aborted by fAbortOnError
    fakePort::queue(std::string(4, 'a'));
    StderrCapture err;
    EXPECT_EQ(std::get<0>(readBlockLogged(4)), 4u);
    EXPECT_EQ(err.finish(), "serial: COM9: ReadFile failed: The I/O operation has been aborted because of either a "
                            "thread exit or an application request\n");
    EXPECT_FALSE(serialPortLost());
}

TEST_F(SerialLink, ALostPortIsNamedOnceAndLaterTransfersCountZeroWithoutASystemCall)
{
    serialNameProgram("scopecap");
    openLogged(7);
    fakePort::queue(std::string(3, 'a'));
    fakePort::setGone(1167);
    char buf[10];
    StdoutCapture out;
    StderrCapture err;
    EXPECT_EQ(readBlock(7, buf, 10), 0u);
    serialState.writeBytesWritten = 9;
    writeBytes(7, "x", 1);
    sendIoBuf(7, 2);
    readIoBuf(7, 4);
    EXPECT_EQ(readBlock(7, buf, 10), 0u);
    EXPECT_EQ(err.finish(), "scopecap: COM7 was lost (the device was removed): The device is not connected\n");
    // the fixed log lines stay, every count 0
    EXPECT_EQ(out.finish(), "count_rd: 0 countGot: 0 want: 10 loop: 1\n"
                            "count_rd: 0 countGot: 0 want: 10 loop: 0\n"
                            " iBytesWritten: 0 \n"
                            "count_rd: 0 countGot: 0 want: 10 loop: 1\n"
                            "count_rd: 0 countGot: 0 want: 10 loop: 0\n");
    EXPECT_TRUE(serialPortLost());
    EXPECT_EQ(fakePort::readRequests().size(), 1u);
    EXPECT_TRUE(fakePort::writes().empty());
    EXPECT_EQ(serialState.writeBytesWritten, 0u);
    EXPECT_EQ(serialState.readIoBufRead, 0u);
    // a port opened afresh is a new port
    fakePort::reset();
    openLogged(7);
    EXPECT_FALSE(serialPortLost());
}

TEST_F(SerialLink, WaitTicksZeroReadsTheClockOnceOrTwice)
{
    int32_t before = platformClockMs();
    waitTicks(0);
    int32_t after = platformClockMs();
    // the fake clock moves 250 ms per reading: one or two readings inside waitTicks
    EXPECT_GE(after - before, 2 * 250);
    EXPECT_LE(after - before, 3 * 250);
}

TEST_F(SerialLink, WaitTicksWaitsUntilTheTargetIsReached)
{
    int32_t before = platformClockMs();
    waitTicks(600);
    int32_t after = platformClockMs();
    EXPECT_GE(after - before, 600 + 250);
    EXPECT_LE(after - before, 600 + 3 * 250);
}

} // namespace
