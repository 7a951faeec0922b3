// Expected captures for what the virtual oscilloscope sends (for tests that link the
// bench library): the values come from the bench's own description of its state.
#pragma once

#include "virtual_bench.h"
#include "capture_expect.h"

#include <bit>

// A capture of whole blocks from a bench started with these options.
inline ScopeCaptureInput benchCaptureInput(const sim::BenchOptions &opts)
{
    sim::ScopeState state = sim::scopeStateFor(opts);
    ScopeCaptureInput in;
    in.settings = sim::scopeSettingsReply(state); // the exact bytes, line end included
    in.triggerLevel = (float)state.triggerLevel;
    in.probeCode = (float)state.channel[0].probe;
    in.scale1 = (float)state.channel[0].scale;
    in.offset1 = (float)state.channel[0].offset;
    in.scale2 = (float)state.channel[1].scale;
    in.offset2 = (float)state.channel[1].offset;
    in.timeScale = (float)state.timeScale;
    in.timeDelay = (float)state.timeDelay;
    in.sweepCode = (float)state.sweep;
    in.interval1 = in.interval2 = sim::sampleInterval(state);
    in.ch1 = sim::waveSamples(opts, 1);
    in.ch2 = sim::waveSamples(opts, 2);
    return in;
}

// Sample k of a sample block: big-endian 16-bit, from byte 14.
inline int16_t blockSample(const std::vector<uint8_t> &block, size_t k)
{
    return (int16_t)(uint16_t)(block[14 + 2 * k] << 8 | block[15 + 2 * k]);
}

// Sets channel `channel` of `in` from the first `got` bytes of `block`, the rest read
// as zeros (what the program holds after a short reply).
inline void setChannelFromBlock(ScopeCaptureInput &in, int channel, std::vector<uint8_t> block, size_t got)
{
    block.resize(8014, 0);
    std::fill(block.begin() + (long)std::min<size_t>(got, 8014), block.end(), 0);
    std::vector<int16_t> &samples = channel == 1 ? in.ch1 : in.ch2;
    samples.assign(4000, 0);
    for (size_t k = 0; k < 4000; ++k)
        samples[k] = blockSample(block, k);
    uint32_t bits = (uint32_t)block[6] << 24 | (uint32_t)block[7] << 16 | (uint32_t)block[8] << 8 | block[9];
    (channel == 1 ? in.interval1 : in.interval2) = std::bit_cast<float>(bits);
    (channel == 1 ? in.header1 : in.header2) = std::string(block.begin(), block.begin() + 6);
    (channel == 1 ? in.channelByte1 : in.channelByte2) = block[10];
}
