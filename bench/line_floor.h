// The shortest time a capture can take on a serial line: the bytes the instrument
// sends at the line rate, the waits the main sequence makes, and the read time-outs
// that end a block read whose reply is shorter than what it asked for.
#pragma once

#include <cstddef>

namespace capturebench {

// The port's read time-outs, in milliseconds (scopecap sets 100 / 100 + 1 per byte).
struct ReadTimeouts {
    double interval = 100;   // after the last byte of a read
    double constant = 100;   // total time of one read: constant + multiplier x bytes asked
    double multiplier = 1;
};

// When readBlock(want) returns, in ms after its first read begins, for a reply of
// `replyBytes` whose byte k arrives k / bytesPerMs ms after that moment. Two empty
// reads end the block, as in readBlock.
double blockReadFloorMs(size_t replyBytes, size_t want, double bytesPerMs, const ReadTimeouts &timeouts = {});

struct CaptureFloor {
    double waitsMs = 0;    // the busy waits before the port is opened
    double lineMs = 0;     // every reply byte at the line rate
    double timeoutsMs = 0; // what the block reads wait beyond their bytes
    double totalMs() const { return waitsMs + lineMs + timeoutsMs; }
};

// One capture: the settings reply (read asking for 700 bytes) and the two sample
// blocks (8014 bytes asked each), sent at `baud` with ten bits per byte.
CaptureFloor captureFloor(size_t settingsBytes, size_t block1Bytes, size_t block2Bytes, long baud);

} // namespace capturebench
