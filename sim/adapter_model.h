// The virtual USB-ISS adapter without any line: frame assembly, module commands,
// the I2C devices behind it and the MAX7219-type LED driver on its I/O pins.
//
// Log lines: every complete frame as upper-case hex bytes ("5A 02 60 00"), then the
// events it caused, each starting with "# ":
//   "# latched 0C01"                 a word latched by the LED driver (16 clocks)
//   "# latched 0001 after 1 clock"   a latch after some other number of clocks
//   "# matrix" + 8 lines "# #......." the row registers (with --matrix, and at exit)
//   "# display: HELLO"               the display's text after each write
//   "# record 0A: 05 FF ..."         the data bytes of a write to the device at 0x0A
//   "# srf08: ranging 300 cm, 100 cm"
//   "# no reply: ..."                why a frame got no answer
//   "# dropped incomplete frame: .." bytes of a frame that never completed
#pragma once

#include "options.h"
#include "reply.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

inline constexpr uint8_t kModuleId = 0x07;
inline constexpr uint8_t kFirmware = 0x07;
inline constexpr uint8_t kSrf08Revision = 0x0B;
inline constexpr uint8_t kSrf08Light = 0x80;
inline constexpr uint8_t kDisplayVersion = 0x03;
inline constexpr uint8_t kWriteAck = 0x01; // status byte of an acknowledged I2C write
inline constexpr uint8_t kPinLoad = 0x08, kPinClk = 0x02, kPinDin = 0x04;

struct AdapterState {
    uint8_t mode = 0x00;   // 0x00 I/O, 0x20..0x80 I2C
    uint8_t ioType = 0x00; // the I/O type byte of the last mode frame
    uint8_t cmd10 = 0x00;  // value of the last 5A 10 frame
    uint8_t pins = 0x00;   // last pin byte written, its inputs' bits clear
    uint8_t inputs = 0x00; // the I/O pins the I/O type makes inputs (not driven)
    size_t frames = 0;     // complete frames received

    std::array<uint8_t, 36> srf08{};  // registers 0..35 as read (0, 1 fixed; 2.. echoes)
    std::string display;              // the display's text
    size_t cursor = 0;
    int keys = 0;
    std::vector<std::vector<uint8_t>> records; // data bytes written to the device at 0x0A

    uint16_t shift = 0;                  // the driver's shift register
    int clocksSinceLatch = 0;
    std::array<uint8_t, 16> ledRegisters{}; // 1..8 rows, 9 decode, A intensity, B scan, C shutdown, F test
    std::vector<uint16_t> latched;       // every word latched, in order

    std::array<uint8_t, 8> rows() const; // row r = register r + 1
};

bool isI2cMode(uint8_t mode);
bool isKnownMode(uint8_t mode);
// What an I/O type byte drives: two bits per pin, I/O1 in bits 1..0 up to I/O4 in
// bits 7..6; 00 output low, 01 output high, 10 digital input, 11 analogue input.
PinDrive pinsOfIoType(uint8_t ioType);

// "#......." etc.: 8 lines of 8 characters and "\n", row 0 first, column c at
// position c, '#' for a set bit.
std::string matrixText(const std::array<uint8_t, 8> &rows);
// "5A 01": upper-case hex bytes separated by blanks.
std::string bytesToHex(const uint8_t *bytes, size_t size);
inline std::string bytesToHex(const std::vector<uint8_t> &bytes) { return bytesToHex(bytes.data(), bytes.size()); }
inline std::string bytesToHex(const std::string &bytes)
{
    return bytesToHex((const uint8_t *)bytes.data(), bytes.size());
}

class AdapterModel {
public:
    explicit AdapterModel(const BenchOptions &opts);
    std::vector<Step> feed(const uint8_t *data, size_t size);
    bool hasPartialFrame() const { return !pending_.empty(); }
    // The line went quiet or closed in the middle of a frame: forget its bytes.
    Step dropPartialFrame();
    // The I/O pins as driven now; none outside I/O mode.
    std::optional<PinDrive> drivenPins() const;
    // Lines for the log when the bench stops (the matrix).
    std::vector<std::string> closingLog() const;
    const AdapterState &state() const { return state_; }

private:
    size_t frameLength() const; // 0 while the header is incomplete
    Step handle(const std::vector<uint8_t> &frame);
    void moduleCommand(const std::vector<uint8_t> &f, Step &step);
    void i2c(const std::vector<uint8_t> &f, Step &step);
    void applyIoType(Step &step);
    void drivePins(uint8_t pins, Step &step);
    void pinsChanged(uint8_t pins, Step &step);
    void latch(Step &step);
    std::vector<uint8_t> readRegisters(uint8_t device, size_t first, size_t count) const;
    void writeRegisters(uint8_t device, uint8_t reg, const uint8_t *data, size_t count, Step &step);
    void matrixLog(std::vector<std::string> &log) const;

    BenchOptions opts_;
    AdapterState state_;
    std::vector<uint8_t> pending_;
};

} // namespace sim
