// What the chosen faults make of a reply before it goes out: the bytes (--garbage,
// --long, --short) and where the line pauses or hangs up in it (--stall-after,
// --hangup-after). Pure: the line end (line_end.h) only carries out the result.
#pragma once

#include "options.h"
#include "reply.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace sim {

// The --garbage bytes of the n-th garbled block or adapter reply (n from 0): a
// std::mt19937 seeded with seed + n, one byte from each draw.
std::vector<uint8_t> garbageBytes(uint32_t seed, size_t count);
// The --garbage answer to every text query.
inline constexpr const char *kGarbageQueryReply = "ERR?x\n";
// The length of every --long query reply: the normal text without its "\n", a blank,
// 'x' up to 1499 characters, and "\n".
inline constexpr size_t kLongReplySize = 1500;

struct ShapedReply {
    std::vector<uint8_t> bytes;
    std::optional<size_t> stallAt;        // pause for stallFor once this many bytes are out
    std::chrono::milliseconds stallFor{0};
    std::optional<size_t> hangupAt;       // close the line once this many bytes are out
    bool garbled = false;                 // the bytes are a --garbage draw: the next one takes n + 1
};

// `reply` as it goes out under `opts`; `garbledBefore` is the number of garbled
// replies sent before it. Nothing at all with --silent.
std::optional<ShapedReply> shapeReply(const Reply &reply, const BenchOptions &opts, uint32_t garbledBefore);

} // namespace sim
