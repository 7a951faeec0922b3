// The faults' effect on one reply.
#include "reply_faults.h"

#include <algorithm>
#include <cstring>
#include <random>

namespace sim {

std::vector<uint8_t> garbageBytes(uint32_t seed, size_t count)
{
    std::mt19937 gen(seed);
    std::vector<uint8_t> out(count);
    for (uint8_t &b : out)
        b = (uint8_t)(gen() & 0xFF);
    return out;
}

std::optional<ShapedReply> shapeReply(const Reply &reply, const BenchOptions &opts, uint32_t garbledBefore)
{
    if (opts.silent)
        return std::nullopt;
    ShapedReply out;
    std::vector<uint8_t> &bytes = out.bytes;
    bytes = reply.bytes;
    if (opts.garbage) {
        if (reply.kind == ReplyKind::Query) {
            bytes.assign(kGarbageQueryReply, kGarbageQueryReply + std::strlen(kGarbageQueryReply));
        } else {
            bytes = garbageBytes(opts.seed + garbledBefore, bytes.size());
            out.garbled = true;
        }
    } else if (opts.longReplies && reply.kind == ReplyKind::Query) {
        if (!bytes.empty() && bytes.back() == '\n')
            bytes.pop_back();
        bytes.push_back(' ');
        bytes.resize(std::max(bytes.size(), kLongReplySize - 1), 'x');
        bytes.push_back('\n');
    }
    // a text answer is never cut: --short is about blocks and adapter replies
    if (opts.shortBytes >= 0 && reply.kind != ReplyKind::Query && bytes.size() > (size_t)opts.shortBytes)
        bytes.resize((size_t)opts.shortBytes);
    if (opts.stallAfter >= 0 && (size_t)opts.stallAfter < bytes.size()) {
        out.stallAt = (size_t)opts.stallAfter;
        out.stallFor = std::chrono::milliseconds(opts.stallMs);
    }
    // a reply shorter than N goes out whole and the line stays up
    if (opts.hangupAfter >= 0 && (size_t)opts.hangupAfter <= bytes.size())
        out.hangupAt = (size_t)opts.hangupAfter;
    return out;
}

} // namespace sim
