// The virtual USB-ISS adapter: module commands, I2C devices and the LED driver.
#include "adapter_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace sim {

namespace {

constexpr uint8_t kRanger = 0xE0, kDisplay = 0xC6, kRecorder = 0x0A;
constexpr size_t kDisplayCells = 80; // 4 lines of 20 characters

std::string hex2(unsigned v)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X", v & 0xFFu);
    return buf;
}

Reply binary(std::vector<uint8_t> bytes)
{
    Reply r;
    r.kind = ReplyKind::Binary;
    r.bytes = std::move(bytes);
    return r;
}

} // namespace

std::array<uint8_t, 8> AdapterState::rows() const
{
    std::array<uint8_t, 8> r{};
    for (int i = 0; i < 8; ++i)
        r[i] = ledRegisters[i + 1];
    return r;
}

bool isI2cMode(uint8_t mode)
{
    return mode == 0x20 || mode == 0x30 || mode == 0x40 || mode == 0x50 || mode == 0x60 || mode == 0x70 ||
           mode == 0x80;
}

bool isKnownMode(uint8_t mode) { return mode == 0x00 || isI2cMode(mode); }

PinDrive pinsOfIoType(uint8_t ioType)
{
    PinDrive d;
    for (int pin = 0; pin < 4; ++pin) {
        const unsigned type = (ioType >> (2 * pin)) & 3u;
        if (type & 2u)
            d.inputs |= (uint8_t)(1u << pin);
        else if (type == 1u)
            d.levels |= (uint8_t)(1u << pin);
    }
    return d;
}

std::string matrixText(const std::array<uint8_t, 8> &rows)
{
    std::string out;
    for (uint8_t row : rows) {
        for (int c = 0; c < 8; ++c)
            out += (row >> c) & 1 ? '#' : '.';
        out += '\n';
    }
    return out;
}

std::string bytesToHex(const uint8_t *bytes, size_t size)
{
    std::string out;
    for (size_t i = 0; i < size; ++i)
        out += (i ? " " : "") + hex2(bytes[i]);
    return out;
}

AdapterModel::AdapterModel(const BenchOptions &opts) : opts_(opts)
{
    state_.mode = (uint8_t)opts.initialMode;
    state_.keys = opts.keys;
    state_.srf08[0] = kSrf08Revision;
    state_.srf08[1] = kSrf08Light;
}

std::vector<Step> AdapterModel::feed(const uint8_t *data, size_t size)
{
    std::vector<Step> steps;
    pending_.insert(pending_.end(), data, data + size);
    for (;;) {
        size_t length = frameLength();
        if (length == 0 || pending_.size() < length)
            break;
        std::vector<uint8_t> frame(pending_.begin(), pending_.begin() + (long)length);
        pending_.erase(pending_.begin(), pending_.begin() + (long)length);
        steps.push_back(handle(frame));
    }
    return steps;
}

size_t AdapterModel::frameLength() const
{
    if (pending_.empty())
        return 0;
    const size_t have = pending_.size();
    switch (pending_[0]) {
    case 0x5A:
        if (have < 2)
            return 0;
        return (pending_[1] == 0x02 || pending_[1] == 0x10 || pending_[1] == 0x12) ? 4 : 2;
    case 0x63:
        return 2;
    case 0x55: // command, device, register, count [, data when writing]
        if (have < 4)
            return 0;
        return 4 + ((pending_[1] & 1) ? 0 : pending_[3]);
    case 0x54: // command, device, count [, data when writing]
        if (have < 3)
            return 0;
        return 3 + ((pending_[1] & 1) ? 0 : pending_[2]);
    default:
        return 1;
    }
}

Step AdapterModel::dropPartialFrame()
{
    Step step;
    if (!pending_.empty())
        step.log.push_back("# dropped incomplete frame: " + bytesToHex(pending_));
    pending_.clear();
    return step;
}

std::optional<PinDrive> AdapterModel::drivenPins() const
{
    if (state_.mode != 0x00)
        return std::nullopt;
    return PinDrive{(uint8_t)(state_.pins & 0x0F), state_.inputs};
}

std::vector<std::string> AdapterModel::closingLog() const
{
    std::vector<std::string> log;
    matrixLog(log);
    return log;
}

void AdapterModel::matrixLog(std::vector<std::string> &log) const
{
    log.push_back("# matrix");
    std::string text = matrixText(state_.rows());
    size_t start = 0;
    for (int r = 0; r < 8; ++r) {
        size_t end = text.find('\n', start);
        log.push_back("# " + text.substr(start, end - start));
        start = end + 1;
    }
}

Step AdapterModel::handle(const std::vector<uint8_t> &frame)
{
    Step step;
    ++state_.frames;
    step.log.push_back(bytesToHex(frame));
    switch (frame[0]) {
    case 0x5A:
        moduleCommand(frame, step);
        break;
    case 0x63:
        step.reply = binary({(uint8_t)(opts_.nack ? 0x00 : 0xFF)});
        if (state_.mode == 0x00)
            drivePins(frame[1], step);
        else
            step.log.push_back("# pins ignored: not in I/O mode (mode " + hex2(state_.mode) + ")");
        break;
    case 0x54:
    case 0x55:
        i2c(frame, step);
        break;
    default:
        step.log.push_back("# no reply: unknown command byte " + hex2(frame[0]));
        break;
    }
    return step;
}

void AdapterModel::moduleCommand(const std::vector<uint8_t> &f, Step &step)
{
    const uint8_t ack = opts_.nack ? 0x00 : 0xFF;
    switch (f[1]) {
    case 0x01:
        step.reply = binary({kModuleId, kFirmware, state_.mode});
        break;
    case 0x03:
        step.reply = binary(std::vector<uint8_t>(opts_.serial.begin(), opts_.serial.end()));
        break;
    case 0x02:
        if (f[2] == 0x10) {
            state_.ioType = f[3]; // new I/O types, same mode
            if (state_.mode == 0x00)
                applyIoType(step);
        } else if (isKnownMode(f[2])) {
            state_.mode = f[2];
            state_.ioType = f[3];
            if (f[2] == 0x00)
                applyIoType(step);
        } else {
            step.log.push_back("# unknown mode " + hex2(f[2]));
            step.reply = binary({0x00, (uint8_t)(opts_.nack ? 0x00 : 0x05)});
            break;
        }
        step.reply = binary({ack, 0x00});
        break;
    case 0x10:
        state_.cmd10 = f[2];
        step.reply = binary({ack});
        break;
    case 0x12:
        step.reply = binary({kModuleId, kFirmware, state_.mode, state_.ioType, state_.cmd10, 0x00, 0x00, 0x00});
        break;
    default:
        step.log.push_back("# no reply: unknown module command 5A " + hex2(f[1]));
        break;
    }
}

void AdapterModel::i2c(const std::vector<uint8_t> &f, Step &step)
{
    const bool withRegister = f[0] == 0x55;
    const uint8_t device = f[1];
    const uint8_t reg = withRegister ? f[2] : 0;
    const size_t count = withRegister ? f[3] : f[2];
    const size_t dataAt = withRegister ? 4 : 3;
    if (!isI2cMode(state_.mode)) {
        step.log.push_back("# no reply: not in an I2C mode (mode " + hex2(state_.mode) + ")");
        return;
    }
    const uint8_t address = device & 0xFE;
    const bool present = address == kRanger || address == kDisplay || address == kRecorder;
    if (!present)
        step.log.push_back("# no device at " + hex2(address));
    if (device & 1) {
        step.reply = binary(readRegisters(address, reg, count));
        return;
    }
    if (present)
        writeRegisters(address, reg, f.data() + dataAt, count, step);
    step.reply = binary({(uint8_t)(present && !opts_.nack ? kWriteAck : 0x00)});
}

std::vector<uint8_t> AdapterModel::readRegisters(uint8_t device, size_t first, size_t count) const
{
    std::vector<uint8_t> out(count, 0x00);
    for (size_t i = 0; i < count; ++i) {
        size_t r = first + i;
        if (device == kRanger && r < state_.srf08.size()) {
            out[i] = state_.srf08[r];
        } else if (device == kDisplay && r < 4) {
            const uint8_t regs[4] = {0x00, (uint8_t)(state_.keys & 0xFF), (uint8_t)((state_.keys >> 8) & 0xFF),
                                     kDisplayVersion};
            out[i] = regs[r];
        }
    }
    return out;
}

void AdapterModel::writeRegisters(uint8_t device, uint8_t reg, const uint8_t *data, size_t count, Step &step)
{
    if (device == kRecorder) {
        state_.records.emplace_back(data, data + count);
        step.log.push_back("# record 0A: " + bytesToHex(data, count));
        return;
    }
    if (device == kRanger) {
        if (reg != 0 || count == 0)
            return; // gain and range registers: no effect on the simulated echoes
        const uint8_t command = data[0];
        if (command < 0x50 || command > 0x52) {
            step.log.push_back("# srf08: command " + hex2(command) + " ignored");
            return;
        }
        auto unit = [&](int cm) -> int {
            if (command == 0x50)
                return (int)std::lround(cm / 2.54); // inches
            if (command == 0x52)
                return std::min(cm * 58, 65535); // microseconds of flight
            return cm;
        };
        const int first = unit(opts_.rangeFirst), second = unit(opts_.rangeSecond);
        std::fill(state_.srf08.begin() + 2, state_.srf08.end(), 0);
        state_.srf08[2] = (uint8_t)(first >> 8);
        state_.srf08[3] = (uint8_t)(first & 0xFF);
        state_.srf08[4] = (uint8_t)(second >> 8);
        state_.srf08[5] = (uint8_t)(second & 0xFF);
        const char *name = command == 0x50 ? " in" : command == 0x51 ? " cm" : " us";
        step.log.push_back("# srf08: ranging " + std::to_string(first) + name + ", " + std::to_string(second) + name);
        return;
    }
    // the display: register 0 takes commands and text
    if (reg != 0)
        return;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t c = data[i];
        if (c == 12) {
            state_.display.clear();
            state_.cursor = 0;
        } else if (c == 1) {
            state_.cursor = 0;
        } else if (c == 8) {
            if (state_.cursor > 0)
                --state_.cursor;
        } else if (c >= 32 && state_.cursor < kDisplayCells) {
            if (state_.cursor < state_.display.size())
                state_.display[state_.cursor] = (char)c;
            else
                state_.display += (char)c;
            ++state_.cursor;
        }
        // 0 and the other control codes leave text and cursor alone
    }
    step.log.push_back("# display: " + state_.display);
}

// In I/O mode the type byte sets each output low or high and lets each input go.
void AdapterModel::applyIoType(Step &step)
{
    const PinDrive typed = pinsOfIoType(state_.ioType);
    state_.inputs = typed.inputs;
    pinsChanged(typed.levels, step);
    step.pins = drivenPins();
}

// A pin write drives the outputs only; the LED driver reads an input pin as low.
void AdapterModel::drivePins(uint8_t pins, Step &step)
{
    pinsChanged((uint8_t)(pins & ~state_.inputs), step);
    step.pins = drivenPins();
}

void AdapterModel::pinsChanged(uint8_t pins, Step &step)
{
    const uint8_t rising = (uint8_t)(~state_.pins & pins);
    state_.pins = pins;
    if (rising & kPinClk) {
        state_.shift = (uint16_t)((state_.shift << 1) | ((pins & kPinDin) ? 1 : 0));
        ++state_.clocksSinceLatch;
    }
    // A LOAD edge with no clock since the last latch would latch the same word again.
    if ((rising & kPinLoad) && state_.clocksSinceLatch > 0)
        latch(step);
}

void AdapterModel::latch(Step &step)
{
    const uint16_t word = state_.shift;
    state_.latched.push_back(word);
    char line[64];
    if (state_.clocksSinceLatch == 16)
        std::snprintf(line, sizeof line, "# latched %04X", word);
    else
        std::snprintf(line, sizeof line, "# latched %04X after %d clock%s", word, state_.clocksSinceLatch,
                      state_.clocksSinceLatch == 1 ? "" : "s");
    step.log.push_back(line);
    state_.clocksSinceLatch = 0;
    // the driver decodes D11..D8 as the register; D15..D12 are ignored
    const int reg = (word >> 8) & 0x0F;
    if (reg != 0)
        state_.ledRegisters[reg] = (uint8_t)(word & 0xFF);
    if (opts_.matrix && reg >= 1 && reg <= 8)
        matrixLog(step.log);
}

} // namespace sim
