// Shared by the adapter tests: the in-memory port opened as COM9, ioBuf filled
// with a marker so stale bytes are recognisable, small byte-list helpers, and the
// lines and records the isscheck tests expect too.
#pragma once

#include "fake_com9.h"
#include "log_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <string.h>
#include <vector>

using Bytes = std::vector<unsigned char>;

// The byte that fills ioBuf before each test: any of it in a log line is stale.
constexpr unsigned char kStale = 0xEE;

// Bytes from a hex text such as "5A 02 00 00".
inline Bytes hexToBytes(const std::string &text)
{
    Bytes out;
    for (size_t i = text.find_first_not_of(' '); i != std::string::npos; i = text.find_first_not_of(' ', i + 2))
        out.push_back((unsigned char)std::stoul(text.substr(i, 2), nullptr, 16));
    return out;
}

// One pin command per byte: 63 b, as separate writes.
inline std::vector<Bytes> pinCommands(const Bytes &pins)
{
    std::vector<Bytes> frames;
    for (unsigned char p : pins)
        frames.push_back({0x63, p});
    return frames;
}

// The 37-byte record pixelBlockWrite sends to the device at 0A, as hex text.
inline const std::string kPixelBlock = "55 0A 10 21 05 FF FF FF FF FF 7F FF 7F 7F FF 7F FF "
                                       "7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F FF";

// isscheck's first line on COM9 followed by its switch to I2C mode, acknowledged.
inline const std::string kInI2cMode = kConnectOk + " iBytesWritten: 4 \nISS:5A-02-60:mode: FF 00 \n";

inline bool oneLine(const std::string &text)
{
    return !text.empty() && text.back() == '\n' && std::count(text.begin(), text.end(), '\n') == 1;
}

// Where a routine case's call keeps what the routine returned.
inline int routineResult = 0;

// One routine run on the queued replies, held to what it logs, the frames it writes
// (one per WriteFile), the reply lengths it asks for and, where given, its result
// (routineResult) and whether it waits (600 to 2000 ticks) or not at all.
struct RoutineCase {
    std::string name;
    std::vector<Bytes> replies;
    std::function<void()> call;
    std::string log;
    std::vector<Bytes> frames;
    std::vector<unsigned> reads;
    std::optional<bool> waits = {};
    std::optional<int> result = {};
};

// COM9 open on a fresh in-memory port, ioBuf full of the stale marker.
class IssTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(openFakeCom9(), nullptr);
        memset(serialState.ioBuf, kStale, sizeof serialState.ioBuf);
    }
    void TearDown() override { closeComPort(9); }

    void expectRoutine(const RoutineCase &c)
    {
        for (const Bytes &r : c.replies)
            fakePort::queue(r);
        routineResult = 0;
        StdoutCapture out;
        // The fake clock moves 250 ticks each time it is read and never otherwise,
        // so a call that does not wait shows 0.
        int32_t before = platformClockMs();
        c.call();
        int ticks = (int)(platformClockMs() - before) - 250;
        EXPECT_EQ(out.finish(), c.log);
        EXPECT_EQ(fakePort::writes(), c.frames);
        EXPECT_EQ(fakePort::readRequests(), c.reads);
        if (c.result) {
            EXPECT_EQ(routineResult, *c.result);
        }
        if (c.waits == false) {
            EXPECT_EQ(ticks, 0);
        } else if (c.waits == true) {
            EXPECT_GE(ticks, 600);
            EXPECT_LT(ticks, 2000);
        }
    }
};

class RoutineTest : public IssTest, public ::testing::WithParamInterface<RoutineCase> {};

inline void PrintTo(const RoutineCase &c, std::ostream *os) { *os << c.name; }
inline std::string routineName(const ::testing::TestParamInfo<RoutineCase> &info) { return info.param.name; }
