// What the oscilloscope's sample memory holds: the waveforms and the block layout.
#include "waveforms.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sim {

namespace {

constexpr double kPi = 3.14159265358979323846;

void putBigEndian16(std::vector<uint8_t> &out, size_t at, int16_t v)
{
    uint16_t u = (uint16_t)v;
    out[at] = (uint8_t)(u >> 8);
    out[at + 1] = (uint8_t)(u & 0xFF);
}

} // namespace

std::vector<int16_t> waveSamples(const WaveSpec &w)
{
    std::vector<int16_t> out(kWaveSamples);
    const int64_t a = w.amplitude;
    const int64_t p = std::max(2, w.period);
    for (size_t k = 0; k < kWaveSamples; ++k) {
        const int64_t phase = (int64_t)k % p;
        int64_t v = 0;
        switch (w.kind) {
        case WaveKind::Sine:
            v = std::lround((double)a * std::sin(2.0 * kPi * (double)phase / (double)p));
            break;
        case WaveKind::Square:
            v = 100 * phase < (int64_t)w.duty * p ? a : -a;
            break;
        case WaveKind::Triangle: {
            double t = (double)phase / (double)p;
            v = std::lround(t < 0.5 ? -(double)a + 4.0 * (double)a * t : 3.0 * (double)a - 4.0 * (double)a * t);
            break;
        }
        case WaveKind::Ramp:
            v = -a + (2 * a * phase) / p;
            break;
        case WaveKind::Zero:
            v = 0;
            break;
        }
        out[k] = (int16_t)std::clamp<int64_t>(v, -32768, 32767);
    }
    return out;
}

std::vector<uint8_t> waveBlock(int channel, float interval, const std::vector<int16_t> &samples)
{
    std::vector<uint8_t> block(kWaveBlockSize, 0);
    std::memcpy(block.data(), "#48008", 6);
    uint32_t bits;
    std::memcpy(&bits, &interval, 4);
    for (int i = 0; i < 4; ++i)
        block[6 + i] = (uint8_t)(bits >> (24 - 8 * i));
    block[10] = (uint8_t)channel;
    for (size_t k = 0; k < kWaveSamples && k < samples.size(); ++k)
        putBigEndian16(block, 14 + 2 * k, samples[k]);
    return block;
}

} // namespace sim
