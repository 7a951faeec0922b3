// What each fault makes of a reply, without a line: the bytes and the points where
// the line pauses or hangs up.
#include "reply_faults.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using sim::BenchOptions;
using sim::ReplyKind;

sim::Reply reply(ReplyKind kind, const std::string &text) { return {{text.begin(), text.end()}, kind}; }
const sim::Reply kQuery = reply(ReplyKind::Query, "5.000e-04\n");
const sim::Reply kBlock = reply(ReplyKind::Block, std::string(8014, 'b'));
const sim::Reply kAdapter = reply(ReplyKind::Binary, std::string("\x07\x07\x00", 3));

std::string shaped(const sim::Reply &r, const BenchOptions &opts, uint32_t garbledBefore = 0)
{
    std::optional<sim::ShapedReply> s = sim::shapeReply(r, opts, garbledBefore);
    return s ? std::string(s->bytes.begin(), s->bytes.end()) : "(nothing)";
}
std::string bytes(const std::vector<uint8_t> &b) { return {b.begin(), b.end()}; }

TEST(ReplyShaping, WithoutFaultsTheReplyGoesOutWhole)
{
    std::optional<sim::ShapedReply> s = sim::shapeReply(kBlock, BenchOptions{}, 0);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->bytes, kBlock.bytes);
    EXPECT_FALSE(s->stallAt || s->hangupAt || s->garbled);
    EXPECT_EQ(shaped(kQuery, {.silent = true}), "(nothing)");
}

TEST(ReplyShaping, ShortCutsBlocksAndAdapterRepliesNeverTextAnswers)
{
    EXPECT_EQ(shaped(kBlock, {.shortBytes = 100}), std::string(100, 'b'));
    EXPECT_EQ(shaped(kBlock, {.shortBytes = 0}), "");
    EXPECT_EQ(shaped(kAdapter, {.shortBytes = 1}), "\x07");
    EXPECT_EQ(shaped(kQuery, {.shortBytes = 1}), "5.000e-04\n");
}

TEST(ReplyShaping, GarbageIsTheNthDrawForBytesAndErrForText)
{
    const BenchOptions opts{.garbage = true, .seed = 7};
    EXPECT_EQ(shaped(kQuery, opts), "ERR?x\n");
    EXPECT_FALSE(sim::shapeReply(kQuery, opts, 0)->garbled); // text answers take no draw
    // the n-th garbled reply is garbageBytes(seed + n), of the reply's full length
    EXPECT_EQ(shaped(kBlock, opts, 0), bytes(sim::garbageBytes(7, 8014)));
    EXPECT_EQ(shaped(kBlock, opts, 1), bytes(sim::garbageBytes(8, 8014)));
    EXPECT_TRUE(sim::shapeReply(kAdapter, opts, 0)->garbled);
    EXPECT_NE(sim::garbageBytes(7, 64), sim::garbageBytes(8, 64));
    EXPECT_NE(bytes(sim::garbageBytes(7, 6)), "#48008");
    // and --short cuts the random bytes too
    EXPECT_EQ(shaped(kBlock, {.shortBytes = 3, .garbage = true, .seed = 7}), bytes(sim::garbageBytes(7, 3)));
}

TEST(ReplyShaping, LongFillsTextAnswersTo1500Bytes)
{
    // the number, a blank, then 'x' up to 1499 characters and the line end
    EXPECT_EQ(shaped(kQuery, {.longReplies = true}), "5.000e-04 " + std::string(1489, 'x') + "\n");
    EXPECT_EQ(shaped(kBlock, {.longReplies = true}), shaped(kBlock, {}));
}

TEST(ReplyShaping, StallAndHangupOnlyInsideTheReply)
{
    const BenchOptions stall{.stallAfter = 100, .stallMs = 800};
    std::optional<sim::ShapedReply> s = sim::shapeReply(kBlock, stall, 0);
    EXPECT_EQ(s->stallAt, 100u);
    EXPECT_EQ(s->stallFor, 800ms);
    // a reply of N bytes or fewer is not held up
    EXPECT_FALSE(sim::shapeReply(reply(ReplyKind::Block, std::string(100, 'b')), stall, 0)->stallAt);

    // a reply at least N bytes long is hung up after N; a shorter one goes out whole
    EXPECT_EQ(sim::shapeReply(kBlock, {.hangupAfter = 1000}, 0)->hangupAt, 1000u);
    EXPECT_EQ(sim::shapeReply(kAdapter, {.hangupAfter = 3}, 0)->hangupAt, 3u);
    EXPECT_FALSE(sim::shapeReply(kAdapter, {.hangupAfter = 4}, 0)->hangupAt);
    // the points count the bytes that go out: after --short
    EXPECT_FALSE(sim::shapeReply(kBlock, {.shortBytes = 10, .hangupAfter = 20}, 0)->hangupAt);
}

} // namespace
