// Shared by the adapter tests: the in-memory port opened as COM9, ioBuf filled
// with a marker so stale bytes are recognisable, and small byte-list helpers.
#pragma once

#include "capture_stdout.h"
#include "fake_port.h"
#include "serial.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string.h>
#include <vector>

using Bytes = std::vector<unsigned char>;

// The byte that fills ioBuf before each test: any of it in a log line is stale.
constexpr unsigned char kStale = 0xEE;

// Bytes from a hex text such as "5A 02 00 00".
Bytes hexBytes(const std::string &text);

// `times` copies of a run of bytes, appended to `out`.
void appendRepeated(Bytes &out, std::initializer_list<unsigned char> run, int times);

// One pin command per byte: 63 b, as separate writes.
std::vector<Bytes> pinCommands(const Bytes &pins);

// Captures what is written to standard error (fd 2) while it lives.
class IssTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakePort::reset();
        StdoutCapture quiet; // the connect line is not what these tests look at
        ASSERT_NE(openComPort(9, 19200, '8', 'N'), nullptr);
        quiet.finish();
        memset(serialState.ioBuf, kStale, sizeof serialState.ioBuf);
    }
    void TearDown() override { closeComPort(9); }

    // Clock ticks that pass during f. The fake clock moves 250 ticks each time it
    // is read and never otherwise, so a call that does not wait shows 0.
    template <typename F> int ticksDuring(F f)
    {
        int32_t before = platformClockMs();
        f();
        return (int)(platformClockMs() - before) - 250;
    }
};
