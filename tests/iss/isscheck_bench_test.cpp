// isscheck against the virtual adapter of the bench (benchsim iss): every command,
// the LED driver words as the driver latches them, and the matrix the dot walk leaves.
#include "bench_process.h"
#include "iss_fixture.h"
#include "program_expect.h"
#include "run_program.h"
#include "scratch_dir.h"
#include "text.h"

#include <algorithm>
#include <memory>

using namespace std::chrono_literals;

// Each test starts a benchsim iss, with --link and --log in a directory of its own;
// its log is read once it has stopped.
class IsscheckBench : public ::testing::Test {
protected:
    void TearDown() override
    {
        bench_.reset();
        removeTree(dir_);
    }
    // A new bench with these options, then isscheck with these arguments against it,
    // expected to end with `status`.
    ProgramRun runIsscheck(std::vector<std::string> options, const std::vector<std::string> &args, int status = 0)
    {
        bench_.reset(); // the link is free again
        options.insert(options.end(), {"--log", dir_ + "/log"});
        bench_ = std::make_unique<BenchProcess>("iss", dir_ + "/COM9", options); // throws unless it started
        ProgramRun run = runProgram(appProgram("isscheck"), args, {{"COM9", bench_->link()}}, "", 240s);
        EXPECT_EQ(run.exitStatus, status) << run.err;
        return run;
    }
    // Stops the bench (a bench that does not stop is killed) and returns its log.
    std::string stopAndReadLog()
    {
        bench_->stop();
        return readFile(dir_ + "/log");
    }

    std::string dir_ = makeTempDir("isscheck-bench-");
    std::unique_ptr<BenchProcess> bench_;
};

TEST_F(IsscheckBench, InfoShowsTheModuleVersionAndSerialNumber)
{
    ProgramRun run = runIsscheck({"--serial", "0912345"}, {"info"});
    EXPECT_EQ(run.err, "");
    expectAdapterInfo(run.out, "0912345");
    std::string log = stopAndReadLog();
    EXPECT_EQ(splitLines(log).at(0), "5A 01");
    EXPECT_EQ(splitLines(log).at(1), "5A 03");
}

TEST_F(IsscheckBench, RangeShowsBothEchoesWithTheBar)
{
    ProgramRun run = runIsscheck({"--range", "123,45"}, {"range"});
    EXPECT_EQ(run.out, kInI2cMode + " iBytesWritten: 5 \n iBytesWritten: 4 \nsrf08: 000045 cm,  000123 cm " +
                           std::string(29, '0') + "1+\n");
    std::string log = stopAndReadLog();
    std::vector<std::string> frames = linesStartingWith(log, "5");
    EXPECT_EQ(frames, (std::vector<std::string>{"5A 02 60 00", "55 E0 00 01 51", "55 E1 00 06"})) << log;
}

TEST_F(IsscheckBench, DisplayClearsTheDisplayAndLeavesTheText)
{
    ProgramRun run = runIsscheck({}, {"display", "Hello bench"});
    EXPECT_EQ(run.out, kInI2cMode + " iBytesWritten: 5 \n");
    std::string log = stopAndReadLog();
    std::vector<std::string> shown = linesStartingWith(log, "# display: ");
    ASSERT_FALSE(shown.empty()) << log;
    EXPECT_EQ(shown.back(), "# display: Hello bench");
}

TEST_F(IsscheckBench, KeysPrintsTheKeysTheKeypadHolds)
{
    ProgramRun run = runIsscheck({"--keys", "5"}, {"keys"});
    std::vector<std::string> out = splitLines(run.out);
    ASSERT_GE(out.size(), 2u) << run.out;
    EXPECT_EQ(out[out.size() - 2].substr(0, 26), "setModeIICpollDisp: 00 05 ") << run.out;
    EXPECT_EQ(out.back(), "keys held: 1 3");

    run = runIsscheck({}, {"keys"});
    EXPECT_EQ(splitLines(run.out).back(), "keys held: none");
}

TEST_F(IsscheckBench, PixelsReachTheDeviceAt0A)
{
    ProgramRun run = runIsscheck({}, {"pixels"});
    EXPECT_NE(run.out.find(" pp: 37 33,  32 \n"), std::string::npos) << run.out;
    EXPECT_TRUE(run.out.ends_with(" pp: 11 7,  32 ack:1\n")) << run.out;
    std::string log = stopAndReadLog();
    // the block's record, without the frame's 55 0A 10 21
    EXPECT_EQ(linesStartingWith(log, "# record 0A: "),
              (std::vector<std::string>{"# record 0A: " + kPixelBlock.substr(12), "# record 0A: 00 04 04 FF 40 00 20"}))
        << log;
}

TEST_F(IsscheckBench, NotAcknowledgedModeGivesStatus2)
{
    ProgramRun run = runIsscheck({"--nack"}, {"leds"}, 2);
    EXPECT_TRUE(oneLine(run.err)) << run.err;
    EXPECT_NE(run.err.find("no reply from the adapter"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("not acknowledged"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("MAX2719"), std::string::npos) << "nothing is sent after the refused mode";
    std::string log = stopAndReadLog();
    EXPECT_EQ(linesStartingWith(log, "# latched"), std::vector<std::string>{}) << log;
}

TEST_F(IsscheckBench, LedsShortWalkLatchesEveryWordInOrder)
{
    ProgramRun run = runIsscheck({}, {"--walk-rows", "2", "leds"});
    EXPECT_EQ(run.err, "");
    std::string log = stopAndReadLog();
    expectLedWalk(log, 2);
    // the walk's words, spelled out once: row 1, then row 2, column 0 to 7
    std::vector<std::string> words = wholeWordsLatched(log);
    ASSERT_EQ(words.size(), 29u);
    EXPECT_EQ(std::vector<std::string>(words.begin() + 13, words.begin() + 21),
              (std::vector<std::string>{"0101", "0102", "0104", "0108", "0110", "0120", "0140", "0180"}));
    EXPECT_EQ(words.back(), "0280");
}

TEST_F(IsscheckBench, LedsFullDotWalkLeavesColumn7LitInEveryRow)
{
    ProgramRun run = runIsscheck({}, {"leds"});
    expectLedWalk(stopAndReadLog(), 8);
    // every word's 53 pin commands went out and were answered: 77 words and the walk's 13
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'),
              1 + 2 + 13 + 77 * (3 + 53) + 64) << "lines: connect, mode frame, pin walk, words, xyz";
}
