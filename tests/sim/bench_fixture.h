// A virtual bench started in the test's own process, with the program's side of its
// line opened raw as a serial port is.
#pragma once

#include "virtual_bench.h"
#include "bench_process.h"
#include "pty_pair.h"
#include "scratch_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <thread>

namespace simtest {

using namespace std::chrono_literals;
using sim::BenchOptions;
using sim::bytesToHex; // "5A 01"
using Clock = std::chrono::steady_clock;
using Lines = std::vector<std::string>; // a log, or the replies, compared in one expectation

// The settings line the instrument reports at power-up, written out in full.
inline const std::string kDefaultSettings =
    ":DISPlay:WAVeform 1;ACCumulate 0;CONTrast 15;GRATicule 1;"
    ":CHANnel1:DISPlay 1;BWLimit 0;COUPling 0;INVert 0;OFFSet -1.000e+00;PROBe 1;SCALe 5.000e-01;"
    ":CHANnel2:DISPlay 1;BWLimit 0;COUPling 0;INVert 0;OFFSet 5.000e-01;PROBe 0;SCALe 1.000e+00;"
    ":CHANnel1:MATH 0;:TIMebase:SWEep 0;SCALe 5.000e-04;DELay 0.000e+00;WINDow:SCALe 5.000E-05;DELay 0.000E+00;"
    ":ACQuire:MODe 0;AVERage 0;:TRIGger:TYPe 0;SOURce 0;MODe 1;SLOP 0;COUPle 1;REJect 0;NREJ 0;LEVel 1.200E+00;"
    "PULSe:MODe: 0;TIMe 0.000E+00;:VIDeo:TYPe 1;POLarity 0;FIELd 0;LINe 0;:CURSor:SOURce 1;XDISPlay 0;"
    "X1Position 60;X2Position 190;YDISPlay 0;Y1Position 40;Y2Position 160;:REF1:DISPlay 0;LOCate 50;"
    ":REF2:DISPlay 0;LOCate -50;:RUN";

// What the instrument answers to "*idn?".
inline const std::string kIdentity = "VIRTUAL,DSO-2CH,SIM0001,V1.26\n";

// Plain bytes, for frames and for what a test compares byte for byte.
inline std::string bytes(std::initializer_list<int> values) { return std::string(values.begin(), values.end()); }
inline std::string bytes(const std::vector<uint8_t> &values) { return std::string(values.begin(), values.end()); }

// True once nothing is left at `path`, not even a dangling symlink.
inline bool linkGone(const std::string &path)
{
    return !std::filesystem::exists(std::filesystem::symlink_status(path));
}

class BenchFixture : public ::testing::Test {
protected:
    // Starts the bench with `options`, kept in `opts` for the test's expectations.
    void startBench(BenchOptions options = {}, sim::Personality who = sim::Personality::Scope)
    {
        opts = std::move(options);
        opts.personality = who;
        bench = std::make_unique<sim::VirtualBench>(opts);
        std::string error;
        ASSERT_TRUE(bench->start(&error)) << error;
        port = std::make_unique<SlavePort>(bench->slavePath());
        ASSERT_TRUE(port->isOpen());
    }
    void TearDown() override
    {
        port.reset();
        if (bench)
            bench->stop();
    }
    // One frame and its reply of the length the program reads.
    std::string ask(const std::string &frame, size_t replyLength, std::chrono::milliseconds timeout = 2s)
    {
        port->write(frame);
        return port->read(replyLength, timeout);
    }
    // What comes back within `window` of sending `frame`.
    std::string askFor(const std::string &frame, std::chrono::milliseconds window)
    {
        return ask(frame, SIZE_MAX, window);
    }
    // A command and its reply up to the line end.
    std::string query(const std::string &command) { return port->query(command); }
    // A directory of the test's own, removed when it ends.
    std::string tempDir()
    {
        if (!dir)
            dir = std::make_unique<ScratchDir>("simtest-");
        return dir->path();
    }

    sim::BenchOptions opts;
    std::unique_ptr<sim::VirtualBench> bench;
    std::unique_ptr<SlavePort> port;

private:
    std::unique_ptr<ScratchDir> dir;
};

} // namespace simtest
