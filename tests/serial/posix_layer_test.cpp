// The POSIX stand-in for the Windows serial calls, on a pseudo-terminal pair.
#include "link_expect.h"
#include "pty_pair.h"

#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Each test starts with COM7 open on the pty, at the program's time-outs.
class PosixLayer : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("COM7", pty.slavePath().c_str(), 1);
        ASSERT_NE(open(), INVALID_HANDLE_VALUE);
        setTimeouts(100, 100, 1);
    }
    void TearDown() override
    {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        unsetenv("COM7");
    }
    static HANDLE create(const char *name)
    {
        return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    }
    HANDLE open() { return h = create("COM7"); }
    void setTimeouts(DWORD interval, DWORD constant, DWORD multiplier)
    {
        // in the structure's order: the read interval, multiplier and constant, then the write's
        COMMTIMEOUTS t{interval, multiplier, constant, 1, 5};
        ASSERT_TRUE(SetCommTimeouts(h, &t));
    }
    struct Read {
        BOOL ok;
        DWORD got;
        std::string data;
        double ms;
        std::tuple<BOOL, DWORD, std::string> result() const { return {ok, got, data}; }
    };
    // One ReadFile of up to `size` bytes, timed; the count starts at 77, so a call
    // that does not set it shows.
    Read read(DWORD size)
    {
        std::vector<char> buf(size);
        Read r{FALSE, 77, "", 0};
        auto start = Clock::now();
        r.ok = ReadFile(h, buf.data(), size, &r.got, NULL);
        r.ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        r.data.assign(buf.data(), std::min(r.got, size));
        return r;
    }
    ptyPair pty;
    HANDLE h = INVALID_HANDLE_VALUE;
};

TEST_F(PosixLayer, PortNamesResolveOrDoNotExist)
{
    setenv("COM8", "/nonexistent/tty", 1);
    for (const char *name : {"COM0", "COM:", "COM", "LPT1", "COM7x", "COM07", "COM8"}) {
        SetLastError(0);
        EXPECT_EQ(create(name), INVALID_HANDLE_VALUE) << name;
        EXPECT_EQ(GetLastError(), 2u) << name;
    }
    unsetenv("COM8");
    // device names are case-blind on Windows; from COM10 on they come as device paths
    for (const char *name : {"com7", "\\\\.\\COM7"}) {
        ASSERT_TRUE(CloseHandle(h));
        EXPECT_NE(h = create(name), INVALID_HANDLE_VALUE) << name;
    }
}

TEST_F(PosixLayer, SecondOpenOfTheSameDeviceIsRefusedUntilTheFirstCloses)
{
    EXPECT_EQ(create("COM7"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), 5u);
    ASSERT_TRUE(CloseHandle(h));
    h = INVALID_HANDLE_VALUE;
    EXPECT_NE(open(), INVALID_HANDLE_VALUE);
}

TEST_F(PosixLayer, CommStateRoundTripsWhatTheProgramSets)
{
    DCB dcb;
    ASSERT_TRUE(GetCommState(h, &dcb));
    dcb.BaudRate = 19200;
    dcb.ByteSize = 7;
    dcb.Parity = ODDPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fAbortOnError = 1;
    dcb.fOutX = dcb.fInX = dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = 0;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    ASSERT_TRUE(SetCommState(h, &dcb));
    DCB back;
    ASSERT_TRUE(GetCommState(h, &back));
    EXPECT_EQ(lineOf(back), programLine(7, ODDPARITY));

    dcb.BaudRate = 12345; // no such line rate here
    SetLastError(0);
    EXPECT_FALSE(SetCommState(h, &dcb));
    EXPECT_EQ(GetLastError(), 87u);
}

TEST_F(PosixLayer, ReadWithNothingArrivingEndsAtTheTotalDeadline)
{
    Read r = read(50);
    EXPECT_EQ(r.result(), std::tuple(TRUE, 0u, ""));
    EXPECT_GE(r.ms, 140); // 100 + 1 x 50
    EXPECT_LT(r.ms, 600);
}

TEST_F(PosixLayer, ReadEndsAtTheIntervalAfterABurstNotAtTheTotal)
{
    std::jthread peer([&] {
        std::this_thread::sleep_for(50ms);
        pty.write(std::string(5, 'x'));
    });
    Read r = read(2000); // the total for 2000 bytes: 2.1 s
    EXPECT_EQ(r.result(), std::tuple(TRUE, 5u, "xxxxx"));
    EXPECT_GE(r.ms, 140);
    EXPECT_LT(r.ms, 1200);
}

TEST_F(PosixLayer, IntervalStartsOnlyWithTheFirstByte)
{
    std::jthread peer([&] {
        std::this_thread::sleep_for(400ms); // well past one interval
        pty.write("late");
    });
    Read r = read(1500); // the total for 1500 bytes: 1.6 s
    EXPECT_EQ(r.result(), std::tuple(TRUE, 4u, "late"));
}

TEST_F(PosixLayer, DataAlreadyWaitingComesBackAtOnce)
{
    pty.write("0123456789");
    std::this_thread::sleep_for(20ms);
    Read r = read(10);
    EXPECT_EQ(r.result(), std::tuple(TRUE, 10u, "0123456789"));
    EXPECT_LT(r.ms, 90);
}

TEST_F(PosixLayer, WriteDeliversEveryByte)
{
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += (char)('a' + i % 26);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, text.data(), (DWORD)text.size(), &written, NULL));
    EXPECT_EQ(written, 300u);
    EXPECT_EQ(pty.read(300, 1s), text);
}

TEST_F(PosixLayer, WriteToALineNobodyReadsEndsAtItsDeadlineWithTheCountItManaged)
{
    // the far end stopped reading: the pty takes what it holds, then the write must give up
    COMMTIMEOUTS t{100, 1, 100, 0, 300}; // the write: 300 ms in all
    ASSERT_TRUE(SetCommTimeouts(h, &t));
    std::string lots(1 << 20, 'w');
    DWORD written = 0;
    auto start = Clock::now();
    auto done = std::async(std::launch::async, [&] { return WriteFile(h, lots.data(), (DWORD)lots.size(), &written, NULL); });
    bool ended = done.wait_for(5s) == std::future_status::ready;
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    while (done.wait_for(0s) != std::future_status::ready)
        pty.readFor(100ms); // so a write that waits for ever can end and the test report it
    ASSERT_TRUE(ended) << "a write to a full line waited past its deadline";
    EXPECT_TRUE(done.get());
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, lots.size());
    EXPECT_GE(ms, 290);
    EXPECT_LT(ms, 1500);
    EXPECT_EQ(pty.readFor(500ms).size(), written) << "the count is what went out";

    // the serial link on the line filled again, at the program's write time-outs: 5 ms + 1 ms a byte
    ASSERT_TRUE(WriteFile(h, lots.data(), (DWORD)lots.size(), &written, NULL));
    t.WriteTotalTimeoutConstant = 5;
    t.WriteTotalTimeoutMultiplier = 1;
    ASSERT_TRUE(SetCommTimeouts(h, &t));
    serialState.hComm = h;
    StdoutCapture out;
    start = Clock::now();
    sendIoBuf(7, 100);
    EXPECT_LT((std::chrono::duration<double, std::milli>(Clock::now() - start).count()), 1000);
    EXPECT_EQ(out.finish(), " iBytesWritten: 0 \n");
}

TEST_F(PosixLayer, HangUpOfTheOtherSideFailsTheReadWithoutWaitingOut)
{
    setTimeouts(100, 3000, 1);
    std::jthread peer([&] {
        std::this_thread::sleep_for(100ms);
        pty.closeMaster();
    });
    Read r = read(16);
    EXPECT_EQ(r.result(), std::tuple(FALSE, 0u, ""));
    EXPECT_LT(r.ms, 2000);
    // and again at once: a pulled cable does not cost a time-out per read
    r = read(16);
    EXPECT_FALSE(r.ok);
    EXPECT_LT(r.ms, 500);
}

TEST_F(PosixLayer, HangUpAfterSomeBytesReturnsThem)
{
    setTimeouts(1000, 3000, 1);
    std::jthread peer([&] {
        pty.write("abc");
        std::this_thread::sleep_for(100ms);
        pty.closeMaster();
    });
    Read r = read(16);
    EXPECT_EQ(r.result(), std::tuple(TRUE, 3u, "abc"));
}

TEST_F(PosixLayer, ClearCommErrorReportsBytesWaiting)
{
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
    ASSERT_TRUE(CloseHandle(h));
    EXPECT_EQ(read(4).result(), std::tuple(FALSE, 0u, ""));
    EXPECT_FALSE(CloseHandle(h));
    h = INVALID_HANDLE_VALUE;
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
