// Everything the virtual bench can be told, one field per benchsim option.
// The command-line parser (cli.h) fills a BenchOptions; tests may build one directly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sim {

enum class Personality { Scope, Adapter };

enum class WaveKind { Sine, Square, Triangle, Ramp, Zero };

// One channel's waveform, in converter counts. Samples are clamped to -32768..32767;
// the defaults stay inside -128..127 like the instrument's 8-bit converter.
struct WaveSpec {
    WaveKind kind = WaveKind::Sine;
    int amplitude = 100; // peak, counts (0..32768)
    int period = 400;    // samples per cycle (>= 2)
    int duty = 50;       // square: percent of each cycle at +amplitude (1..99)
};

struct BenchOptions {
    Personality personality = Personality::Scope;

    // --- the line ---
    std::string linkPath{};    // --link: symlink to the slave side ("" = none)
    std::string devicePath{};  // --device: serve this serial device instead of a pty ("" = a pty)
    bool once = false;         // --once: stop after one full job
    long baud = 0;             // --baud: pace replies at baud/10 bytes per second (0 = at once)
    std::string logPath{};     // --log: received commands/frames and events, one per line
    bool logToStderr = false;  // benchsim without --log and without --quiet

    // --- faults (both personalities unless noted) ---
    bool silent = false;       // --silent: never answer
    long shortBytes = -1;      // --short N: cut block replies (scope) / every reply (adapter) to N bytes
    long stallAfter = -1;      // --stall-after N: ...
    long stallMs = 0;          // --stall-ms T: ... pause T ms after N bytes of each reply
    long hangupAfter = -1;     // --hangup-after N: close the line after N bytes of a reply
    bool garbage = false;      // --garbage: non-numeric query replies, random block/adapter bytes
    bool longReplies = false;  // --long (scope): numeric queries answered with 1500 bytes
    bool nack = false;         // --nack (adapter): every write acknowledged with 0x00
    uint32_t seed = 1;         // --seed: seed of the --garbage bytes

    // --- oscilloscope ---
    std::optional<std::string> settings{}; // --settings FILE: the *LRN? reply, byte for byte
    // at channel 1's default -1 V and 0.5 V/div the sine stays on the 8-division screen
    WaveSpec wave1{WaveKind::Sine, 45, 400};
    WaveSpec wave2{WaveKind::Square, 50, 1000};

    // --- adapter ---
    int keys = 0;                  // --keys N: keypad state (low byte = second reply byte)
    int rangeFirst = 300;          // --range A,B: the two SRF08 echoes, centimetres
    int rangeSecond = 100;
    std::string serial = "0012345"; // --serial: the serial-number reply text
    bool matrix = false;           // --matrix: log the 8x8 matrix after each row latch
    int initialMode = 0x00;        // --mode: the adapter's mode at power-up (I/O mode)
    std::string vcdPath{};         // --vcd: the I/O pins as a Value Change Dump ("" = none)
};

} // namespace sim
