// Shared by the oscilloscope tests: an open in-memory port, a scratch working
// directory, the console output of a call, and sample ramps (sim::waveBlock lays
// them out as the instrument does).
#pragma once

#include "virtual_bench.h"
#include "fake_com9.h"
#include "scope.h"
#include "scope_internal.h"
#include "scratch_dir.h"
#include "text.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

inline std::vector<int16_t> ramp(int start, int step)
{
    std::vector<int16_t> s(4000);
    for (int k = 0; k < 4000; ++k)
        s[k] = (int16_t)(((start + k * step) % 256 + 256) % 256 - 128); // -128..127
    return s;
}

// One reply of the instrument, queued; one short of `fullSize` ends in silence, two empty reads.
inline void queueReply(const std::vector<unsigned char> &bytes, size_t fullSize)
{
    if (!bytes.empty())
        fakePort::queue(bytes);
    for (int i = 0; bytes.size() < fullSize && i < 2; ++i)
        fakePort::queue(std::string());
}

inline std::string commandsSent()
{
    std::vector<unsigned char> all = fakePort::written();
    return std::string(all.begin(), all.end());
}

class ScopeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        serialState = SerialState{};
        scopeProblems = 0;
        ASSERT_NE(openFakeCom9(), nullptr);
    }
    // Runs `call`; returns what it printed and keeps its standard error in `err`.
    template <class Call>
    std::string logOf(Call call)
    {
        StderrCapture errors;
        StdoutCapture out;
        call();
        std::string log = out.finish();
        err = errors.finish();
        return log;
    }
    ScratchDir work{"scopetest", ScratchDir::Enter}; // the test works in it
    std::string err;
};
