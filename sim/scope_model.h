// The virtual oscilloscope's behaviour without any line: its settings, what it
// sends for each query, and the command interpreter that turns received bytes into
// log lines and replies. The pure functions here give exactly the bytes the bench
// sends, so a test can build its expectations from them.
#pragma once

#include "options.h"
#include "reply.h"
#include "waveforms.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace sim {

// 4000 samples span the 10 divisions of the screen.
inline constexpr double kSamplesPerDivision = 400.0;
inline constexpr const char *kScopeIdentity = "VIRTUAL,DSO-2CH,SIM0001,V1.26";

// The instrument's settings: what *LRN? lists and the numeric queries report.
struct ScopeState {
    struct Channel {
        int display = 1, bwLimit = 0, coupling = 0, invert = 0;
        double offset = 0, scale = 1;
        int probe = 0;
    };
    int displayWaveform = 1;
    Channel channel[2];
    int sweep = 0;
    double timeScale = 5.0e-4, timeDelay = 0;
    double windowScale = 5.0e-5, windowDelay = 0;
    double triggerLevel = 1.2;
    WaveSpec wave[2];
    // --settings: the *LRN? reply byte for byte; the values above were read from it
    std::optional<std::string> verbatimSettings;
};

// The state at power-up for these options (with --settings, values found in the
// given text override the defaults; a value it lacks keeps its default).
ScopeState scopeStateFor(const BenchOptions &opts);

// The settings line in the instrument's form, without a line end.
std::string scopeSettingsText(const ScopeState &state);
std::string scopeSettingsText(const BenchOptions &opts);
// Exactly the bytes sent for *LRN?: the settings line and "\n", or, with
// --settings, the file's bytes unchanged (nothing added).
std::string scopeSettingsReply(const ScopeState &state);
std::string scopeSettingsReply(const BenchOptions &opts);

// The 4000 samples of channel 1 or 2.
std::vector<int16_t> waveSamples(const BenchOptions &opts, int channel);
// The sample interval in the block: time-base scale / 400, as a single-precision float.
float sampleInterval(const ScopeState &state);
float sampleInterval(const BenchOptions &opts);
// The whole 8014-byte reply to :acquireN:memory?: "#48008", the interval (big-endian
// float), the channel byte, three zero bytes, 4000 big-endian 16-bit samples.
std::vector<uint8_t> waveBlockFor(const ScopeState &state, int channel);
std::vector<uint8_t> waveBlockFor(const BenchOptions &opts, int channel);

// The trigger frequency the instrument reports: one cycle of channel 1's waveform.
double triggerFrequency(const ScopeState &state);

// Numbers as the instrument writes them: "5.000e-01" (lower) or "1.200E+00" (upper),
// independent of the process locale.
std::string scopeNumber(double value, bool upperCase);

// Reads received bytes, splits them into commands (ended by "\r", "\n" or "\r\n"),
// and interprets each. Not thread-safe; the bench serialises access.
class ScopeModel {
public:
    explicit ScopeModel(const BenchOptions &opts);
    std::vector<Step> feed(const uint8_t *data, size_t size);
    const ScopeState &state() const { return state_; }

private:
    Step interpret(const std::string &command);
    void pushError(int code);

    BenchOptions opts_;
    ScopeState initial_;
    ScopeState state_;
    std::string pending_;
    bool afterCr_ = false;
    std::deque<int> errors_;
};

} // namespace sim
