// Shared by the oscilloscope tests: an open in-memory port, a scratch working
// directory, and sample blocks made the way the instrument lays them out.
#pragma once

#include "capture_stdout.h"
#include "fake_port.h"
#include "run_program.h"
#include "scope.h"
#include "serial.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

inline std::vector<unsigned char> makeBlock(int channel, float interval, const std::vector<int16_t> &samples)
{
    std::vector<unsigned char> block(8014, 0);
    memcpy(block.data(), "#48008", 6);
    uint32_t bits;
    memcpy(&bits, &interval, 4);
    block[6] = (unsigned char)(bits >> 24);
    block[7] = (unsigned char)(bits >> 16);
    block[8] = (unsigned char)(bits >> 8);
    block[9] = (unsigned char)bits;
    block[10] = (unsigned char)channel;
    for (size_t k = 0; k < samples.size() && k < 4000; ++k) {
        block[14 + 2 * k] = (unsigned char)((uint16_t)samples[k] >> 8);
        block[15 + 2 * k] = (unsigned char)samples[k];
    }
    return block;
}

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
        fakePort::reset();
        serialState = SerialState{};
        scopeProblems = 0;
        dir = makeTempDir("scopetest");
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        home = cwd;
        ASSERT_EQ(chdir(dir.c_str()), 0);
        StdoutCapture quiet;
        ASSERT_NE(openComPort(9, 19200, '8', 'N'), nullptr);
    }
    void TearDown() override
    {
        if (chdir(home.c_str()) != 0)
            ADD_FAILURE() << "cannot go back to " << home;
        removeTree(dir);
    }
    std::string dir, home;
};
