// What the oscilloscope's sample memory holds, apart from the instrument's state:
// the samples of a waveform and the layout of the block that carries them.
#pragma once

#include "options.h"

#include <cstdint>
#include <vector>

namespace sim {

inline constexpr size_t kWaveBlockSize = 8014;
inline constexpr size_t kWaveSamples = 4000;

// The 4000 samples of a waveform (options.h: in counts, clamped to -32768..32767).
std::vector<int16_t> waveSamples(const WaveSpec &wave);
// The reply to :acquireN:memory?: "#48008", the interval (big-endian float), the
// channel byte, three zero bytes, 4000 big-endian 16-bit samples (missing samples
// are 0, extra ones left out).
std::vector<uint8_t> waveBlock(int channel, float interval, const std::vector<int16_t> &samples);

} // namespace sim
