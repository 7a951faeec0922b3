// isscheck.exe of the MinGW-w64 build under Wine against the virtual USB-ISS
// adapter: the module's version and serial number, and the LED driver words of
// the leds check as the driver latched them, every pin byte through the Windows
// serial API.
#include "virtual_bench.h"
#include "capture_expect.h"
#include "log_lines.h"
#include "program_expect.h"
#include "run_program.h"
#include "text.h"
#include "wine_prefix.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <regex>

namespace {

class IsscheckUnderWine : public WineProgramTest {
protected:
    void SetUp() override { startWith("app/isscheck.exe"); }
};

TEST_F(IsscheckUnderWine, InfoShowsTheModuleVersionAndSerialNumberOnCom9AndCom12)
{
    // Windows opens COM12 only as \\.\COM12; the log still calls it COM12
    for (const std::string port : {"9", "12"}) {
        SCOPED_TRACE("COM" + port);
        const std::string log = work_ + "/adapter" + port + ".log";
        ProgramRun run = wine::runWithBench("iss", {"--serial", "0912345", "--log", log},
                                            {exe_, "--port", port, "info"}, work_, std::chrono::seconds(180),
                                            "COM" + port);
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        char version[64];
        // module id, firmware, and the mode at power-up (I/O mode)
        snprintf(version, sizeof version, "ISS:5A-01:ver: %02X %02X 00 \n", sim::kModuleId, sim::kFirmware);
        EXPECT_EQ(run.out, lineEnds(connectOkLine(std::stoi(port)) + " iBytesWritten: 2 \n" + version +
                                        " iBytesWritten: 2 \n"
                                        "ISS:5A-03:ser: 30 39 31-32 33 34 35\n"
                                        "ISS:5A-03:ser: 091-2345\n",
                                    kWindowsStyle));
        std::vector<std::string> frames = splitLines(readFile(log));
        ASSERT_GE(frames.size(), 2u);
        EXPECT_EQ(frames[0], "5A 01");
        EXPECT_EQ(frames[1], "5A 03");
    }
}

// Wine writes each port it maps (and each /dev/ttyS it finds) to the registry's
// HARDWARE\DEVICEMAP\SERIALCOMM, which its own reg tool reads back here; its SetupAPI
// has no devices in the Ports class, so a port's name and device are all there is.
TEST_F(IsscheckUnderWine, PortsListsWhatTheRegistryHolds)
{
    ASSERT_EQ(wine::mapPort("COM12", buildDir() + "/wine/com12"), "");
    ProgramRun reg = wine::run({"reg", "query", "HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM"}, work_);
    // "    \Device\Serial11    REG_SZ    COM12" gives the line "COM12\t\Device\Serial11" and nine
    // fields not known; the lines come by port number
    std::map<unsigned, std::string> held;
    const std::regex value(R"(^\s+(\S+)\s+REG_SZ\s+COM(\d+)\s*$)");
    for (const std::string &line : splitLines(reg.out))
        if (std::smatch m; std::regex_match(line, m, value)) {
            held[std::stoul(m[2])] = "COM" + m.str(2) + "\t" + m.str(1);
            for (int field = 3; field <= 11; ++field)
                held[std::stoul(m[2])] += "\t-";
        }
    ASSERT_EQ(held.count(12), 1u) << reg.out;

    ProgramRun run = wine::run({exe_, "ports"}, work_);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    std::string listed;
    for (const auto &[number, line] : held)
        listed += line + "\r\n";
    EXPECT_EQ(run.out, listed);
}

TEST_F(IsscheckUnderWine, LedsLatchesEveryWordInOrderAndLeavesColumn7Lit)
{
    const std::string log = work_ + "/adapter.log";
    ProgramRun run = wine::runWithBench("iss", {"--log", log}, {exe_, "leds"}, work_, std::chrono::seconds(300));
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err.find("isscheck:"), std::string::npos) << run.err;

    // driver set-up, the eight rows cleared, then one LED at a time, row by row, and
    // column 7 of every row left lit
    std::string adapterLog = readFile(log);
    expectLedWalk(adapterLog, 8);
    std::vector<std::string> shown;
    for (std::string line : linesStartingWith(run.out, "MAX2719: ")) {
        EXPECT_EQ(line.substr(13), "  \r") << "console line ends are \\r\\n";
        shown.push_back(line.substr(9, 4));
    }
    EXPECT_EQ(shown, wholeWordsLatched(adapterLog));
}

} // namespace
