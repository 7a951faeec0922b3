// What an instrument model hands the line for one received command or frame:
// the log lines it produced, maybe a reply to send, and the adapter's pins.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

enum class ReplyKind {
    Query,  // the oscilloscope's one-line answer to a numeric or text query
    Block,  // the oscilloscope's settings reply or a sample-memory block
    Binary, // an adapter reply
};

struct Reply {
    std::vector<uint8_t> bytes;
    ReplyKind kind = ReplyKind::Query;
};

// The adapter's four I/O pins as it drives them, one bit each (0x01 I/O1 .. 0x08 I/O4).
struct PinDrive {
    uint8_t levels = 0; // the outputs' levels
    uint8_t inputs = 0; // pins typed as inputs: not driven
};

struct Step {
    std::vector<std::string> log;  // lines for the command log, in order
    std::vector<std::string> notes; // diagnostics that are not part of the command log
    std::optional<Reply> reply;    // nothing: the instrument stays silent
    std::optional<PinDrive> pins;  // the adapter drove its I/O pins (a pin write, an I/O mode frame)
    bool endsJob = false;          // the last exchange of one full job (--once)
};

} // namespace sim
