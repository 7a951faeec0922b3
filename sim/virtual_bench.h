// The virtual bench: a simulated oscilloscope or USB-ISS adapter on the master side
// of a pseudo-terminal. The program under test opens the slave side (directly, or
// through the symlink at linkPath) as its serial port.
//
//   sim::BenchOptions opts;                   // options.h: one field per benchsim option
//   opts.personality = sim::Personality::Scope;
//   sim::VirtualBench bench(opts);
//   bench.start();                            // pty, symlink, answering thread
//   setenv("COM9", bench.slavePath().c_str(), 1);
//   ... run the program ...
//   bench.stop();                             // or it stops by itself (--once, --hangup-after)
//   bench.commands();                         // every line of the command log
//
// What the oscilloscope sends, as pure functions (scope_model.h):
//   scopeStateFor(opts)                 the settings at power-up
//   scopeSettingsText(opts | state)     the *LRN? line without its line end
//   scopeSettingsReply(opts | state)    the exact *LRN? reply bytes (line + "\n", or the --settings file)
//   waveSamples(opts, channel)          the 4000 samples of channel 1 or 2
//   sampleInterval(opts | state)        the interval in the blocks (time-base scale / 400, float)
//   waveBlockFor(opts | state, channel) the whole 8014-byte block (waveBlock: any samples)
//   triggerFrequency(state), scopeNumber(value, upper)
// The adapter (adapter_model.h): AdapterState, matrixText(rows), bytesToHex(bytes).
// What the faults make of a reply (reply_faults.h): shapeReply, garbageBytes(seed, n).
// The line itself (pty or device, pacing, the probes of the program's end): line_end.h.
//
// The command log: the oscilloscope logs each command as received, without its
// "\r"/"\n" terminator, one per line; the adapter logs each frame as hex bytes and
// its events as lines starting with "# " (adapter_model.h). The log goes to memory
// (commands()), to opts.logPath when set (flushed per line), and to standard error
// when opts.logToStderr is set. With opts.vcdPath the adapter's I/O pins also go to
// that file as a Value Change Dump (pin_trace.h).
//
// The line: replies are written as the program reads them (the pty holds about 4 KB);
// the bench never keeps the slave open, so the program can open, close and reopen it
// (exclusively). A reply is abandoned when the program closes the port while it is
// being sent, and bytes it left unread are discarded, as on a real line.
//
// With opts.devicePath the bench answers on that serial device instead (one port of
// a null-modem pair, a USB gadget port), set raw at opts.baud (19200 when 0), 8N1;
// slavePath() and portPath() name the device. A device does not show the program
// opening or closing its end, so nothing is discarded and --once ends once the last
// reply has left the port; the bench ends when the device hangs up.
#pragma once

#include "adapter_model.h"
#include "options.h"
#include "reply_faults.h"
#include "scope_model.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sim {

class VirtualBench {
public:
    explicit VirtualBench(const BenchOptions &opts);
    ~VirtualBench(); // stop()
    VirtualBench(const VirtualBench &) = delete;
    VirtualBench &operator=(const VirtualBench &) = delete;

    // Opens the log and the pin trace, the pty (slave set raw) or the device, makes the
    // symlink, starts answering.
    // False, with the reason in *error, when any of it fails.
    bool start(std::string *error = nullptr);
    // Stops answering, closes the master, removes the symlink, logs the adapter's
    // matrix. Safe to call twice and after the bench stopped by itself.
    void stop();

    const std::string &slavePath() const; // e.g. /dev/pts/3
    const std::string &linkPath() const;  // opts.linkPath, "" without one
    // Where the program should open the port: the symlink if there is one.
    const std::string &portPath() const;

    // True once the bench ended by itself (--once done, --hangup-after reached).
    bool finished() const;
    bool waitFinished(std::chrono::milliseconds timeout) const;

    // Every line of the command log so far.
    std::vector<std::string> commands() const;
    // Waits until the log holds at least `count` lines.
    bool waitForLines(size_t count, std::chrono::milliseconds timeout) const;
    // Bytes of replies written to the line so far.
    size_t bytesSent() const;

    // Snapshots of the instrument's state.
    ScopeState scopeState() const;
    AdapterState adapterState() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace sim
