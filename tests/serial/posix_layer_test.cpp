// The POSIX stand-in for the Windows serial calls, on a pseudo-terminal pair.
#include "pty_pair.h"
#include "winapi.h"

#include <chrono>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

class PosixLayer : public ::testing::Test {
protected:
    void SetUp() override { setenv("COM7", pty.slavePath().c_str(), 1); }
    void TearDown() override
    {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        unsetenv("COM7");
    }
    HANDLE open()
    {
        h = CreateFileA("COM7", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
        return h;
    }
    void setTimeouts(DWORD interval, DWORD constant, DWORD multiplier)
    {
        COMMTIMEOUTS t{};
        t.ReadIntervalTimeout = interval;
        t.ReadTotalTimeoutConstant = constant;
        t.ReadTotalTimeoutMultiplier = multiplier;
        t.WriteTotalTimeoutConstant = 5;
        t.WriteTotalTimeoutMultiplier = 1;
        ASSERT_TRUE(SetCommTimeouts(h, &t));
    }
    ptyPair pty;
    HANDLE h = INVALID_HANDLE_VALUE;
};

TEST_F(PosixLayer, PortNamesResolveOrDoNotExist)
{
    const char *missing[] = {"COM0", "COM:", "COM", "LPT1", "COM7x", "COM07"};
    for (const char *name : missing) {
        SetLastError(0);
        EXPECT_EQ(CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL),
                  INVALID_HANDLE_VALUE)
            << name;
        EXPECT_EQ(GetLastError(), 2u) << name;
    }
    setenv("COM8", "/nonexistent/tty", 1);
    EXPECT_EQ(CreateFileA("COM8", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), 2u);
    unsetenv("COM8");
    // device names are case-blind on Windows
    h = CreateFileA("com7", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
}

TEST_F(PosixLayer, SecondOpenOfTheSameDeviceIsRefusedUntilTheFirstCloses)
{
    ASSERT_NE(open(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA("COM7", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), 5u);
    ASSERT_TRUE(CloseHandle(h));
    h = INVALID_HANDLE_VALUE;
    EXPECT_NE(open(), INVALID_HANDLE_VALUE);
}

TEST_F(PosixLayer, CommStateRoundTripsWhatTheProgramSets)
{
    ASSERT_NE(open(), INVALID_HANDLE_VALUE);
    DCB dcb;
    ASSERT_TRUE(GetCommState(h, &dcb));
    dcb.BaudRate = 19200;
    dcb.ByteSize = 7;
    dcb.Parity = ODDPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fOutX = dcb.fInX = dcb.fOutxCtsFlow = 0;
    ASSERT_TRUE(SetCommState(h, &dcb));
    DCB back;
    ASSERT_TRUE(GetCommState(h, &back));
    EXPECT_EQ(back.BaudRate, 19200u);
    EXPECT_EQ(back.ByteSize, 7);
    EXPECT_EQ(back.Parity, ODDPARITY);
    EXPECT_EQ(back.StopBits, ONESTOPBIT);
    EXPECT_EQ(back.fOutX, 0u);

    dcb.BaudRate = 12345; // no such line rate here
    SetLastError(0);
    EXPECT_FALSE(SetCommState(h, &dcb));
    EXPECT_EQ(GetLastError(), 87u);
}

TEST_F(PosixLayer, ReadWithNothingArrivingEndsAtTheTotalDeadline)
{
    ASSERT_NE(open(), INVALID_HANDLE_VALUE);
    setTimeouts(100, 100, 1);
    unsigned char buf[64];
    DWORD got = 99;
    auto start = Clock::now();
    EXPECT_TRUE(ReadFile(h, buf, 50, &got, NULL));
    double ms = msSince(start);
    EXPECT_EQ(got, 0u);
    EXPECT_GE(ms, 140); // 100 + 1 x 50
    EXPECT_LT(ms, 600);
}

TEST_F(PosixLayer, ReadEndsAtTheIntervalAfterABurstNotAtTheTotal)
{
    ASSERT_NE(open(), INVALID_HANDLE_VALUE);
    setTimeouts(100, 100, 1); // total for 2000 bytes: 2.1 s
    std::thread peer([&] {
        std::this_thread::sleep_for(50ms);
        pty.write(std::string(5, 'x'));
    });
    unsigned char buf[2000];
    DWORD got = 0;
    auto start = Clock::now();
    EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &got, NULL));
    double ms = msSince(start);
    peer.join();
    EXPECT_EQ(got, 5u);
    EXPECT_GE(ms, 140);
    EXPECT_LT(ms, 1200);
}

TEST_F(PosixLayer, IntervalStartsOnlyWithTheFirstByte)
{
    ASSERT_NE(open(), INVALID_HANDLE_VALUE);
    setTimeouts(100, 100, 1); // total for 1500 bytes: 1.6 s
    std::thread peer([&] {
        std::this_thread::sleep_for(400ms); // well past one interval
        pty.write("late");
    });
    unsigned char buf[1500];
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &got, NULL));
    peer.join();
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(std::string((char *)buf, 4), "late");
}

TEST_F(PosixLayer, DataAlreadyWaitingComesBackAtOnce)
{
    ASSERT_NE(open(), INVALID_HANDLE_VALUE);
    setTimeouts(100, 100, 1);
    pty.write("0123456789");
    std::this_thread::sleep_for(20ms);
    unsigned char buf[10];
    DWORD got = 0;
    auto start = Clock::now();
    EXPECT_TRUE(ReadFile(h, buf, 10, &got, NULL));
    EXPECT_LT(msSince(start), 90);
    EXPECT_EQ(got, 10u);
    EXPECT_EQ(std::string((char *)buf, 10), "0123456789");
}

TEST_F(PosixLayer, WriteDeliversEveryByte)
{
    ASSERT_NE(open(), INVALID_HANDLE_VALUE);
    setTimeouts(100, 100, 1);
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += (char)('a' + i % 26);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, text.data(), (DWORD)text.size(), &written, NULL));
    EXPECT_EQ(written, 300u);
    EXPECT_EQ(pty.read(300, 1s), text);
}

TEST_F(PosixLayer, HangUpOfTheOtherSideFailsTheReadWithoutWaitingOut)
{
    ASSERT_NE(open(), INVALID_HANDLE_VALUE);
    setTimeouts(100, 3000, 1);
    std::thread peer([&] {
        std::this_thread::sleep_for(100ms);
        pty.closeMaster();
    });
    unsigned char buf[16];
    DWORD got = 77;
    auto start = Clock::now();
    EXPECT_FALSE(ReadFile(h, buf, sizeof buf, &got, NULL));
    double ms = msSince(start);
    peer.join();
    EXPECT_EQ(got, 0u);
    EXPECT_LT(ms, 2000);
    // and again at once: a pulled cable does not cost a time-out per read
    start = Clock::now();
    EXPECT_FALSE(ReadFile(h, buf, sizeof buf, &got, NULL));
    EXPECT_LT(msSince(start), 500);
}

TEST_F(PosixLayer, HangUpAfterSomeBytesReturnsThem)
{
    ASSERT_NE(open(), INVALID_HANDLE_VALUE);
    setTimeouts(1000, 3000, 1);
    std::thread peer([&] {
        pty.write("abc");
        std::this_thread::sleep_for(100ms);
        pty.closeMaster();
    });
    unsigned char buf[16];
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &got, NULL));
    peer.join();
    EXPECT_EQ(got, 3u);
}

TEST_F(PosixLayer, ClearCommErrorReportsBytesWaiting)
{
    ASSERT_NE(open(), INVALID_HANDLE_VALUE);
    pty.write("12345");
    std::this_thread::sleep_for(50ms);
    DWORD errors = 9;
    COMSTAT stat{};
    ASSERT_TRUE(ClearCommError(h, &errors, &stat));
    EXPECT_EQ(errors, 0u);
    EXPECT_EQ(stat.cbInQue, 5u);
}

TEST_F(PosixLayer, CallsOnAClosedHandleFail)
{
    ASSERT_NE(open(), INVALID_HANDLE_VALUE);
    ASSERT_TRUE(CloseHandle(h));
    HANDLE closed = h;
    h = INVALID_HANDLE_VALUE;
    DWORD got = 5;
    char buf[4];
    EXPECT_FALSE(ReadFile(closed, buf, 4, &got, NULL));
    EXPECT_EQ(got, 0u);
    EXPECT_FALSE(CloseHandle(closed));
}

TEST(PlatformClock, CountsWallClockMilliseconds)
{
    int32_t start = platformClockMs();
    platformSleepMs(200); // a sleeping process uses no processor time, but the clock must move
    int32_t elapsed = platformClockMs() - start;
    EXPECT_GE(elapsed, 195);
    EXPECT_LT(elapsed, 1000);
}

} // namespace
