#include "line_floor.h"

#include <algorithm>
#include <cmath>

namespace capturebench {

double blockReadFloorMs(size_t replyBytes, size_t want, double bytesPerMs, const ReadTimeouts &timeouts)
{
    const size_t coming = std::min(replyBytes, want); // the block read never asks beyond want
    double t = 0;
    size_t got = 0;
    int emptyReads = 2;
    while (got < want) {
        const size_t ask = want - got;
        const double deadline = t + timeouts.constant + timeouts.multiplier * (double)ask;
        // nothing more comes, or not before the deadline: the read lasts its whole
        // total time-out and comes back empty
        if (got >= coming || (double)(got + 1) / bytesPerMs > deadline) {
            t = deadline;
            if (--emptyReads == 0)
                break;
            continue;
        }
        // the read takes bytes until it has what it asked for, or the line stays
        // quiet for the interval after the reply's last byte, or the deadline passes
        double done = replyBytes >= want ? (double)want / bytesPerMs
                                         : std::max(t, (double)replyBytes / bytesPerMs) + timeouts.interval;
        double end = std::min(deadline, std::max(done, t));
        size_t arrived = end == done ? coming : std::min(coming, (size_t)std::floor(end * bytesPerMs));
        got = std::max(got, arrived);
        t = end;
    }
    return t;
}

CaptureFloor captureFloor(size_t settingsBytes, size_t block1Bytes, size_t block2Bytes, long baud)
{
    const double bytesPerMs = (double)baud / 10.0 / 1000.0;
    CaptureFloor floor;
    floor.waitsMs = 2 * 600;
    floor.lineMs = (double)(settingsBytes + block1Bytes + block2Bytes) / bytesPerMs;
    double reads = blockReadFloorMs(settingsBytes, 700, bytesPerMs) + blockReadFloorMs(block1Bytes, 8014, bytesPerMs) +
                   blockReadFloorMs(block2Bytes, 8014, bytesPerMs);
    floor.timeoutsMs = reads - floor.lineMs;
    return floor;
}

} // namespace capturebench
