// Shared by the adapter tests: the in-memory port opened as COM9, ioBuf filled
// with a marker so stale bytes are recognisable, and small byte-list helpers.
#pragma once

#include "fake_com9.h"

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

// COM9 open on a fresh in-memory port, ioBuf full of the stale marker.
class IssTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(openFakeCom9(), nullptr);
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
