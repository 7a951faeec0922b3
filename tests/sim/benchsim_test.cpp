// benchsim as a program: the printed path and the symlink, stopping by signal and
// by --once, the command line, and the dumps that tests of other programs build on.
#include "bench_fixture.h"
#include "cli.h"
#include "log_lines.h"
#include "program_expect.h"
#include "run_program.h"
#include "sim_expect.h"
#include "text.h"

#include <csignal>
#include <cstdlib>

namespace {

using namespace simtest;
namespace fs = std::filesystem;

// benchsim runs as a child process: of the fixture only the directory is used, with
// the link a test has benchsim make there.
class Benchsim : public BenchFixture {
protected:
    const std::string dir = tempDir();
    const std::string link = dir + "/com9";
};

ProgramRun benchsim(const std::vector<std::string> &args) { return runProgram(benchsimPath(), args, {}, "", 10s); }

// benchsim ARGS exits with `status`, prints nothing and writes one line to standard
// error that starts with `error`.
void expectFails(const std::vector<std::string> &args, int status, const std::string &error)
{
    ProgramRun run = benchsim(args);
    const std::string shown = ::testing::PrintToString(args);
    EXPECT_EQ(run.exitStatus, status) << shown;
    EXPECT_EQ(run.out, "") << shown;
    EXPECT_EQ(run.err.rfind(error, 0), 0u) << shown << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << shown << run.err;
}

TEST_F(Benchsim, PrintsTheLinkAnswersAndCleansUpOnSigterm)
{
    writeFile(link, "an old file in the way\n"); // replaced by the link
    BenchProcess bench("scope", link, {"--quiet"}); // throws unless it printed the link
    ASSERT_TRUE(fs::is_symlink(fs::symlink_status(link)));
    EXPECT_EQ(fs::read_symlink(link).string().rfind("/dev/pts/", 0), 0u);
    {
        SlavePort port(link, true);
        ASSERT_TRUE(port.isOpen());
        EXPECT_EQ(port.query("*idn?\r"), kIdentity);
    }
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(bench.running());
    EXPECT_EQ(bench.stop(), 0); // SIGTERM
    EXPECT_TRUE(linkGone(link));
}

TEST_F(Benchsim, SigintStopsTheAdapterAndTheLogEndsWithTheMatrix)
{
    const std::string log = dir + "/iss.log";
    BenchProcess bench("iss", link, {"--log", log});
    {
        SlavePort port(link);
        port.write(bytes({0x5A, 0x01}));
        EXPECT_EQ(bytesToHex(port.read(3, 2s)), "07 07 00");
    }
    bench.signal(SIGINT);
    EXPECT_EQ(bench.waitExit(5s), 0);
    EXPECT_TRUE(linkGone(link));
    EXPECT_EQ(readFile(log), "5A 01\n# matrix\n"
                             "# ........\n# ........\n# ........\n# ........\n"
                             "# ........\n# ........\n# ........\n# ........\n");
}

TEST_F(Benchsim, OnceEndsAfterTheSecondBlock)
{
    const std::string log = dir + "/scope.log";
    BenchProcess bench("scope", link, {"--once", "--log", log});
    {
        SlavePort port(link, true); // exclusive, as the program opens it
        EXPECT_EQ(port.query("*LRN?\r"), kDefaultSettings + "\n");
        port.write(":acquire1:memory?\r");
        EXPECT_EQ(port.read(8014, 3s).size(), 8014u);
        std::this_thread::sleep_for(200ms);
        EXPECT_TRUE(bench.running());
        port.write(":acquire2:memory?\r");
        EXPECT_EQ(port.read(8014, 3s).size(), 8014u);
        EXPECT_EQ(bench.waitExit(5s), 0);
    }
    EXPECT_TRUE(linkGone(link));
    EXPECT_EQ(readFile(log), kCaptureCommands);
}

TEST_F(Benchsim, OnceAdapterEndsWhenTheProgramClosesAfterAFrame)
{
    BenchProcess bench("iss", link, {"--once", "--quiet"});
    // opening and closing without a frame is not a job
    SlavePort(link).close();
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(bench.running());
    {
        SlavePort port(link);
        port.write(bytes({0x5A, 0x03}));
        EXPECT_EQ(port.read(7, 2s), "0012345");
        std::this_thread::sleep_for(200ms);
        EXPECT_TRUE(bench.running());
    }
    EXPECT_EQ(bench.waitExit(5s), 0);
    EXPECT_TRUE(linkGone(link));
}

TEST_F(Benchsim, HangupAfterExitsByItself)
{
    BenchProcess bench("scope", link, {"--hangup-after", "10", "--quiet"});
    SlavePort port(link);
    port.write("*LRN?\r");
    std::string got;
    EXPECT_TRUE(port.hungUp(5s, &got));
    EXPECT_EQ(got, ":DISPlay:W");
    EXPECT_EQ(bench.waitExit(5s), 0);
    EXPECT_TRUE(linkGone(link));
}

TEST_F(Benchsim, WithoutALinkItPrintsTheSlave)
{
    BenchProcess bench(std::vector<std::string>{"scope", "--quiet"});
    EXPECT_EQ(bench.firstLine().rfind("/dev/pts/", 0), 0u) << bench.firstLine();
    SlavePort port(bench.firstLine());
    EXPECT_EQ(port.query(":TIM:SCAL?\n"), "5.000e-04\n");
    EXPECT_EQ(bench.stop(), 0);
}

TEST_F(Benchsim, ServesASerialDeviceForACaptureOnTheOtherPort)
{
    // the bench's end as a port is found, so its own line settings must do the job
    ptyPair benchEnd(ptyPair::Slave::Cooked), programEnd;
    // a null-modem cable between the two masters: what either slave's user writes, the other's reads
    std::jthread cable([&](std::stop_token cut) {
        while (!cut.stop_requested()) {
            programEnd.write(benchEnd.read(4096, 10ms));
            benchEnd.write(programEnd.read(4096, 10ms));
        }
    });
    BenchProcess bench(std::vector<std::string>{"scope", "--device", benchEnd.slavePath(), "--once", "--quiet"});
    ASSERT_EQ(bench.firstLine(), benchEnd.slavePath());
    ProgramRun run = runProgram(appProgram("scopecap"), {}, {{"COM9", programEnd.slavePath()}}, dir, 60s);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err, "");
    expectCaptureFiles(dir, benchCaptureInput(sim::BenchOptions{}));
    EXPECT_EQ(bench.waitExit(10s), 0) << "--once ends it on a device too";

    expectFails({"scope", "--device", dir + "/none"}, 1,
                "benchsim: cannot open " + dir + "/none: No such file or directory\n");
    expectFails({"iss", "--device", "/dev/null"}, 1, "benchsim: /dev/null is not a serial device: ");
}

TEST_F(Benchsim, BadCommandLinesExit64WithOneLine)
{
    // each option out of range is refused in BenchOptionTable; here what the table cannot say
    const std::vector<std::vector<std::string>> bad = {
        {}, {"dsp"}, {"scope", "--bogus"}, {"iss", "--mode", "33"},
        {"scope", "--wave2", "sine:40000"}, {"scope", "--wave1", "sine:10:1"},
        {"scope", "--wave1", "square:10:100:0"}, {"scope", "--wave1", "sine:10:100:30"},
        // a device has no link, no hang-up of its own and no program closing it
        {"scope", "--device", "/dev/null", "--link", dir + "/com9"},
        {"scope", "--device", "/dev/null", "--hangup-after", "5"}, {"iss", "--device", "/dev/null", "--once"},
        // no pin trace from the oscilloscope, and none the bench could not write
        {"scope", "--vcd", dir + "/pins.vcd"}, {"iss", "--link", link, "--vcd", dir + "/no-such-dir/pins.vcd"},
    };
    for (const auto &args : bad)
        expectFails(args, 64, "benchsim: ");
}

TEST_F(Benchsim, ALinkOrLogThatCannotBeMadeExits1)
{
    expectFails({"scope", "--link", dir + "/no-such-dir/com9"}, 1,
                "benchsim: cannot make the link " + dir + "/no-such-dir/com9: ");
    expectFails({"iss", "--link", link, "--log", dir + "/no-such-dir/log"}, 1,
                "benchsim: cannot write the log ");
    EXPECT_TRUE(linkGone(link));
}

TEST_F(Benchsim, HelpPrintsTheOptionTable)
{
    ProgramRun run = benchsim({"--help"});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, sim::benchHelpText()); // each entry in it: BenchOptionTable
    EXPECT_EQ(benchsim({"iss", "-h"}).out, run.out);
}

// The adapter's pins as a logic analyser's tools see them: sigrok reads the VCD and
// its own MAX7219 decoder finds the driver words of an LED walk.
TEST_F(Benchsim, PinTraceDecodesAsTheLedDriverWordsInSigrok)
{
    const std::string sigrok = "/usr/bin/sigrok-cli";
    if (!fs::exists(sigrok))
        GTEST_SKIP() << "sigrok-cli is not installed (apt-get install sigrok-cli)";
    const std::string vcd = dir + "/pins.vcd";
    const auto start = Clock::now();
    {
        BenchProcess bench("iss", link, {"--vcd", vcd, "--quiet"});
        ProgramRun run = runProgram(appProgram("isscheck"), {"--walk-rows", "1", "leds"}, {{"COM9", link}}, "", 120s);
        ASSERT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(bench.stop(), 0);
    }
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
    ProgramRun decoded = runProgram(sigrok, {"-i", vcd, "-P", "spi:clk=CLK:mosi=DIN:cs=LOAD,max7219", "-A", "max7219"});
    EXPECT_EQ(decoded.exitStatus, 0) << decoded.err;
    // the set-up (0C01: out of shutdown), the eight rows cleared, row 1's walk
    std::string expected = "max7219-1: Scan limit: 8\nmax7219-1: Decode: 0b00000000\nmax7219-1: Intensity: 7\n"
                           "max7219-1: Display test: off\nmax7219-1: Shutdown: off\n";
    for (int row = 1; row <= 8; ++row)
        expected += "max7219-1: Digit " + std::to_string(row) + ": 00\n";
    for (int column = 0; column < 8; ++column) {
        char line[32];
        std::snprintf(line, sizeof line, "max7219-1: Digit 1: %02X\n", 1 << column);
        expected += line;
    }
    EXPECT_EQ(decoded.out, expected);
    // in microseconds of the bench's clock: 21 words, each followed by a 0.6 s wait
    const std::string trace = readFile(vcd);
    const long long last = std::atoll(trace.c_str() + trace.rfind("\n#") + 2);
    EXPECT_GE(last, 21 * 600000LL);
    EXPECT_LE(last, took);
}

TEST_F(Benchsim, DumpsGiveWhatTheLibrarySends)
{
    ProgramRun run = benchsim({"scope", "--dump-settings"});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, sim::scopeSettingsReply(sim::BenchOptions{}));

    const std::string file = dir + "/lrn.txt";
    writeFile(file, ":TIMebase:SCALe 1.000e-03;:RUN");
    EXPECT_EQ(benchsim({"scope", "--settings", file, "--dump-settings"}).out, ":TIMebase:SCALe 1.000e-03;:RUN");

    run = benchsim({"scope", "--settings", file, "--wave2", "ramp", "--dump-samples", "2"});
    EXPECT_EQ(run.exitStatus, 0);
    std::vector<std::string> lines = splitLines(run.out);
    ASSERT_EQ(lines.size(), 4001u);
    std::vector<int16_t> expected = sim::waveSamples(sim::WaveSpec{sim::WaveKind::Ramp, 128, 256});
    for (size_t k = 0; k < 4000; ++k)
        ASSERT_EQ(std::stoi(lines[k]), expected[k]) << k;
    EXPECT_EQ(lines[0], "-128");
    EXPECT_EQ(lines[255], "127");
    // 1e-3 s/div / 400: 2.5e-06, printed so it reads back as the very float sent
    ASSERT_EQ(lines[4000].rfind("interval ", 0), 0u);
    EXPECT_EQ(std::strtof(lines[4000].c_str() + 9, nullptr), 2.5e-06f);
}

} // namespace
