// The floor a capture is measured against, worked out by hand from the port's
// time-outs (100 ms interval, 100 ms + 1 ms per byte asked) and ten bits a byte.
#include "line_floor.h"

#include <gtest/gtest.h>

using capturebench::blockReadFloorMs;
using capturebench::captureFloor;

namespace {

constexpr double kAt19200 = 1.92;    // bytes per millisecond
constexpr double kAt115200 = 11.52;

TEST(BlockReadFloor, ShortReplyEndsByTheIntervalThenTwoEmptyReads)
{
    // 676 bytes of settings for 700 asked: the last byte at 352.08 ms, the interval
    // 100 ms later; then two reads asking for 24 bytes, 124 ms each
    EXPECT_NEAR(blockReadFloorMs(676, 700, kAt19200), 676 / 1.92 + 100 + 2 * 124, 1e-6);
    EXPECT_NEAR(blockReadFloorMs(676, 700, kAt115200), 676 / 11.52 + 100 + 2 * 124, 1e-6);
}

TEST(BlockReadFloor, FullReplyEndsWithItsLastByte)
{
    EXPECT_NEAR(blockReadFloorMs(8014, 8014, kAt19200), 8014 / 1.92, 1e-6);
    EXPECT_NEAR(blockReadFloorMs(8014, 8014, kAt115200), 8014 / 11.52, 1e-6);
}

TEST(BlockReadFloor, SilenceCostsTwoWholeTotalTimeouts)
{
    EXPECT_NEAR(blockReadFloorMs(0, 8014, kAt19200), 2 * 8114, 1e-6);
    EXPECT_NEAR(blockReadFloorMs(0, 700, kAt19200), 2 * 800, 1e-6);
}

TEST(BlockReadFloor, HalfABlockWaitsForTheRestTwice)
{
    // 4096 bytes, then two reads asking for the 3918 missing: 4018 ms each
    EXPECT_NEAR(blockReadFloorMs(4096, 8014, kAt19200), 4096 / 1.92 + 100 + 2 * 4018, 1e-6);
}

TEST(BlockReadFloor, LineSlowerThanTheTotalTimeoutTakesASecondRead)
{
    // at 9600 baud 8014 bytes need 8347.9 ms: the first read ends at its 8114 ms
    // deadline with 7789 bytes, the second takes the rest as they come
    EXPECT_NEAR(blockReadFloorMs(8014, 8014, 0.96), 8014 / 0.96, 1e-6);
    // however slow the line, a reply that keeps coming never leaves a read empty:
    // at 2400 baud seventeen reads, each cut by its deadline but the last
    EXPECT_NEAR(blockReadFloorMs(8014, 8014, 0.24), 8014 / 0.24, 1e-6);
}

TEST(CaptureFloor, DefaultCaptureAtBothRates)
{
    // 1200 ms of waits; 676 + 2 x 8014 bytes; the settings read's 100 ms interval and
    // two empty reads of 124 ms
    auto at19200 = captureFloor(676, 8014, 8014, 19200);
    EXPECT_DOUBLE_EQ(at19200.waitsMs, 1200);
    EXPECT_NEAR(at19200.lineMs, 8700, 1e-6);
    EXPECT_NEAR(at19200.timeoutsMs, 348, 1e-6);
    EXPECT_NEAR(at19200.totalMs(), 10248, 1e-6);

    auto at115200 = captureFloor(676, 8014, 8014, 115200);
    EXPECT_NEAR(at115200.lineMs, 1450, 1e-6);
    EXPECT_NEAR(at115200.totalMs(), 2998, 1e-6);
}

} // namespace
