// The serial link over the POSIX layer on a pseudo-terminal: opening, the block
// read against a scripted peer, and the logged transfers.
#include "link_expect.h"
#include "pty_pair.h"

#include <chrono>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

class SerialLinkPty : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("COM9", pty.slavePath().c_str(), 1);
        auto [h, log] = openLogged();
        EXPECT_EQ(log, kConnectOk);
        ASSERT_NE(h, nullptr);
    }
    void TearDown() override
    {
        closeComPort(9);
        unsetenv("COM9");
    }
    ptyPair pty;
};

TEST_F(SerialLinkPty, OpensWithTheLineSettingsAndTimeouts)
{
    DCB dcb;
    ASSERT_TRUE(GetCommState(serialState.hComm, &dcb));
    EXPECT_EQ(lineOf(dcb), programLine(8, NOPARITY));
    COMMTIMEOUTS t;
    ASSERT_TRUE(GetCommTimeouts(serialState.hComm, &t));
    EXPECT_EQ(timeoutsOf(t), kProgramTimeouts);
}

TEST_F(SerialLinkPty, ParityAndDataBitsCharacters)
{
    for (auto [bits, parity, byteSize, parityCode] : kLineChars) {
        closeComPort(9);
        auto [h, log] = openLogged(9, bits, parity);
        ASSERT_NE(h, nullptr) << log << bits << parity;
        DCB dcb;
        ASSERT_TRUE(GetCommState(h, &dcb));
        EXPECT_EQ(lineOf(dcb), programLine(byteSize, parityCode)) << bits << parity;
    }
}

TEST_F(SerialLinkPty, ReopenAfterCloseSucceeds)
{
    closeComPort(9);
    auto [h, log] = openLogged();
    EXPECT_NE(h, nullptr);
    EXPECT_EQ(log, kConnectOk);
}

TEST_F(SerialLinkPty, SecondOpenWhileOpenFailsWithAccessDenied)
{
    HANDLE first = serialState.hComm;
    EXPECT_EQ(openLogged(), failedWith(connectFailLine(5)));
    serialState.hComm = first; // the failed open overwrote it; close the real one
}

TEST_F(SerialLinkPty, BlockInOnePiece)
{
    std::string reply(700, 'a');
    pty.write(reply);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(readBlockLogged(700), std::tuple(700u, reply, "count_rd: 700 countGot: 700 want: 700 loop: 2\n"));
}

TEST_F(SerialLinkPty, SilentPeerGivesTwoEmptyReads)
{
    auto start = std::chrono::steady_clock::now();
    auto block = readBlockLogged(700);
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(block, std::tuple(0u, "", "count_rd: 0 countGot: 0 want: 700 loop: 1\n"
                                        "count_rd: 0 countGot: 0 want: 700 loop: 0\n"));
    EXPECT_GE(s, 1.5); // two reads of 100 + 700 ms each
    EXPECT_LT(s, 4.0);
}

TEST_F(SerialLinkPty, DataSilenceDataSilenceEndsAtTheSecondSilence)
{
    // want 1000: the first read ends 100 ms after piece A; the second waits out its
    // 1 s total and comes back empty; piece B lands well inside the third read's
    // 1 s window; the fourth read is the second empty one.
    std::jthread peer([&] {
        pty.write(std::string(100, 'A'));
        std::this_thread::sleep_for(1600ms);
        pty.write(std::string(50, 'B'));
    });
    EXPECT_EQ(readBlockLogged(1000), std::tuple(150u, std::string(100, 'A') + std::string(50, 'B'),
                                                "count_rd: 100 countGot: 100 want: 1000 loop: 2\n"
                                                "count_rd: 0 countGot: 100 want: 1000 loop: 1\n"
                                                "count_rd: 50 countGot: 150 want: 1000 loop: 1\n"
                                                "count_rd: 0 countGot: 150 want: 1000 loop: 0\n"));
}

TEST_F(SerialLinkPty, WantZeroCountsAsTwoEmptyReads)
{
    pty.write("xyz"); // waiting bytes must not be taken
    EXPECT_EQ(readBlockLogged(0), std::tuple(0u, "", "count_rd: 0 countGot: 0 want: 0 loop: 1\n"
                                                     "count_rd: 0 countGot: 0 want: 0 loop: 0\n"));
}

TEST_F(SerialLinkPty, SendIoBufLogsTheCountAndTheBytesArrive)
{
    const std::string frame("\x5A\x01\xFF", 3);
    memcpy(serialState.ioBuf, frame.data(), 3);
    StdoutCapture capture;
    sendIoBuf(9, 3);
    EXPECT_EQ(capture.finish(), " iBytesWritten: 3 \n");
    EXPECT_EQ(pty.read(3, 1s), frame);
}

TEST_F(SerialLinkPty, ReadIoBufTakesTheReplyIntoIoBuf)
{
    pty.write(std::string("\xFF\x00", 2));
    readIoBuf(9, 2);
    EXPECT_EQ(serialState.readIoBufRead, 2u);
    EXPECT_EQ(std::string((const char *)serialState.ioBuf, 2), std::string("\xFF\x00", 2));
}

} // namespace

// The pty fixtures make the slave raw themselves; a real port may be found in the
// kernel's cooked default (canonical input, echo, CR/LF translation, XON/XOFF,
// signal characters), and the program's own settings must undo all of it.
TEST(SerialLinkCookedPty, EveryByteValueArrivesExactBothWays)
{
    ptyPair pty(ptyPair::Slave::Cooked);
    setenv("COM9", pty.slavePath().c_str(), 1);
    ASSERT_NE(openLogged().first, nullptr);
    std::string every;
    for (int b = 0; b < 256; ++b)
        every += (char)b;
    pty.write(every);
    auto [got, data, log] = readBlockLogged(256);
    EXPECT_EQ(got, 256u);
    EXPECT_EQ(data, every);
    writeBytes(9, every.data(), 256);
    EXPECT_EQ(serialState.writeBytesWritten, 256u);
    EXPECT_EQ(pty.read(257, 1s), every); // nothing added either, such as a CR before each LF
    closeComPort(9);
    unsetenv("COM9");
}
