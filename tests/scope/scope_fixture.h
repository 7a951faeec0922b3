// Shared by the oscilloscope tests: an open in-memory port, a scratch working
// directory, and sample ramps (sim::waveBlock lays them out as the instrument does).
#pragma once

#include "bench.h"
#include "fake_com9.h"
#include "run_program.h"
#include "scope.h"

#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

inline std::vector<int16_t> ramp(int start, int step)
{
    std::vector<int16_t> s(4000);
    for (int k = 0; k < 4000; ++k)
        s[k] = (int16_t)(((start + k * step) % 256 + 256) % 256 - 128); // -128..127
    return s;
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
        dir = makeTempDir("scopetest");
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        home = cwd;
        ASSERT_EQ(chdir(dir.c_str()), 0);
        ASSERT_NE(openFakeCom9(), nullptr);
    }
    void TearDown() override
    {
        if (chdir(home.c_str()) != 0)
            ADD_FAILURE() << "cannot go back to " << home;
        removeTree(dir);
    }
    std::string dir, home;
};
