// What an instrument model hands the line for one received command or frame:
// the log lines it produced and, maybe, a reply to send.
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

struct Step {
    std::vector<std::string> log;  // lines for the command log, in order
    std::vector<std::string> notes; // diagnostics that are not part of the command log
    std::optional<Reply> reply;    // nothing: the instrument stays silent
    bool endsJob = false;          // the last exchange of one full job (--once)
};

} // namespace sim
