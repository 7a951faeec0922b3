// The adapter's four I/O pins as a Value Change Dump, the file every logic analyser's
// tools read (sigrok-cli and PulseView, GTKWave): one one-bit wire per pin, named by
// its line on the LED driver where it has one (CLK 0x02, DIN 0x04, LOAD 0x08) and IO1
// otherwise, with the bench's own clock in microseconds as the time.
//
//   PinTrace trace;
//   trace.open("/tmp/pins.vcd", model.drivenPins(), &error); // the pins at power-up
//   trace.record(micros, *step.pins);                         // after each pin write or I/O mode frame
//   trace.end(micros);                                        // the time the trace ends
//
// A driven pin is 0 or 1; a pin typed as an input is z; before the adapter is in I/O
// mode the pins are x. Only changes are written; two writes within the same
// microsecond are set a microsecond apart, so no edge is lost.
#pragma once

#include "reply.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace sim {

class PinTrace {
public:
    PinTrace() = default;
    ~PinTrace(); // close()
    PinTrace(const PinTrace &) = delete;
    PinTrace &operator=(const PinTrace &) = delete;

    // Writes the header and the pins at time 0 (x for each pin when nullopt).
    bool open(const std::string &path, const std::optional<PinDrive> &atStart, std::string *error);
    void record(uint64_t micros, const PinDrive &pins);
    void flush();
    // The last time in the dump (so a reader plays the last change too), then close().
    void end(uint64_t micros);
    void close();
    bool isOpen() const { return file_ != nullptr; }

private:
    FILE *file_ = nullptr;
    char values_[4] = {'x', 'x', 'x', 'x'}; // IO1, CLK, DIN, LOAD as last written
    uint64_t lastTime_ = 0;
};

} // namespace sim
