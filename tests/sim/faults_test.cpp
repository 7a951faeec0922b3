// The injected faults, seen from the program's side of the line (what each makes of
// a reply is in reply_faults_test.cpp).
#include "bench_fixture.h"

#include <poll.h>

namespace {

using namespace simtest;

class Faults : public BenchFixture {};

TEST_F(Faults, ShortCutsEveryBlockToNBytes)
{
    startBench({.shortBytes = 100});
    EXPECT_EQ(askFor("*LRN?\r", 400ms), sim::scopeSettingsReply(opts).substr(0, 100));
    EXPECT_EQ(askFor(":acquire1:memory?\r", 400ms), bytes(sim::waveBlockFor(opts, 1)).substr(0, 100));
    // numeric queries are not blocks: they come whole
    EXPECT_EQ(askFor(":TIM:SCAL?\r", 300ms), "5.000e-04\n");
}

TEST_F(Faults, HangupAfterNBytesClosesTheLineAndRemovesTheLink)
{
    startBench({.linkPath = tempDir() + "/com9", .hangupAfter = 1000});
    ASSERT_TRUE(std::filesystem::is_symlink(opts.linkPath));
    // a reply shorter than N goes out whole and the line stays up
    EXPECT_EQ(query("*LRN?\r"), sim::scopeSettingsReply(opts));
    port->write(":acquire1:memory?\r");
    std::string got;
    EXPECT_TRUE(port->hungUp(5s, &got));
    EXPECT_EQ(got, bytes(sim::waveBlockFor(opts, 1)).substr(0, 1000));
    pollfd p{port->fd(), POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 0), 1);
    EXPECT_TRUE(p.revents & POLLHUP);
    EXPECT_TRUE(bench->waitFinished(3s));
    EXPECT_TRUE(linkGone(opts.linkPath));
}

TEST_F(Faults, SilentAnswersNothingButObeys)
{
    startBench({.silent = true});
    auto start = Clock::now();
    EXPECT_EQ(askFor("*LRN?\r:acquire1:memory?\r*idn?\r:TIM:DEL 1.0E-03\r:TIM:DEL?\r", 300ms), "");
    EXPECT_GE(Clock::now() - start, 300ms);
    ASSERT_TRUE(bench->waitForLines(5, 1s));
    EXPECT_EQ(bench->commands().size(), 5u);
    EXPECT_EQ(bench->scopeState().timeDelay, 1.0e-03);
}

TEST_F(Faults, StallPausesMidReply)
{
    startBench({.stallAfter = 100, .stallMs = 800});
    auto start = Clock::now();
    std::string first = ask("*LRN?\r", 100);
    EXPECT_EQ(first.size(), 100u);
    // the pause began after the first 100 bytes, so after the request: nothing for
    // 700 ms of its 800, however late this thread got to read (a time already past reads nothing)
    EXPECT_EQ(port->readFor(std::chrono::ceil<std::chrono::milliseconds>(start + 700ms - Clock::now())), "");
    std::string rest = port->readUntil("\n", 3s);
    auto restAt = Clock::now();
    EXPECT_EQ(first + rest, sim::scopeSettingsReply(opts));
    EXPECT_GE(restAt - start, 750ms);
}

TEST_F(Faults, AdapterNackAcknowledgesNothingButStillActs)
{
    startBench({.nack = true, .keys = 0x21}, sim::Personality::Adapter);
    EXPECT_EQ(bytesToHex(ask(bytes({0x5A, 0x02, 0x60, 0x00}), 2, 1s)), "00 00");
    EXPECT_EQ(bytesToHex(ask(bytes({0x55, 0xE0, 0x00, 0x01, 0x51}), 1, 1s)), "00");
    EXPECT_EQ(bytesToHex(ask(bytes({0x5A, 0x10, 0x0C, 0x00}), 1, 1s)), "00");
    // reads still answer: the mode took, and so did the ranging
    EXPECT_EQ(bytesToHex(ask(bytes({0x55, 0xE1, 0x00, 0x06}), 6, 1s)), "0B 80 01 2C 00 64");
    EXPECT_EQ(bytesToHex(ask(bytes({0x54, 0xC7, 0x04}), 4, 1s)), "00 21 00 03");
    EXPECT_EQ(bytesToHex(ask(bytes({0x5A, 0x02, 0x00, 0x00}), 2, 1s)), "00 00");
    EXPECT_EQ(bytesToHex(ask(bytes({0x63, 0x08}), 1, 1s)), "00");
}

TEST_F(Faults, AdapterGarbageCountsItsRepliesAndHangupClosesTheLine)
{
    // cut to one byte: adapter replies are no text answers; the second reply is the next draw
    startBench({.shortBytes = 1, .garbage = true, .seed = 99}, sim::Personality::Adapter);
    EXPECT_EQ(askFor(bytes({0x5A, 0x01}), 300ms), bytes(sim::garbageBytes(99, 1)));
    EXPECT_EQ(askFor(bytes({0x5A, 0x03}), 300ms), bytes(sim::garbageBytes(100, 1)));
    TearDown();

    startBench({.hangupAfter = 2}, sim::Personality::Adapter);
    EXPECT_EQ(bytesToHex(ask(bytes({0x63, 0x00}), 1, 1s)), "FF"); // shorter than 2: whole, line stays up
    port->write(bytes({0x5A, 0x03}));
    std::string got;
    EXPECT_TRUE(port->hungUp(5s, &got));
    EXPECT_EQ(got, "00");
    EXPECT_TRUE(bench->waitFinished(3s));
    Lines log = bench->commands(); // then the matrix, logged as the bench stopped
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(Lines(log.begin(), log.begin() + 3), (Lines{"63 00", "5A 03", "# hung up after 2 bytes of a reply"}));
}

} // namespace
