// The adapter's I/O pins as a Value Change Dump.
#include "pin_trace.h"

#include <cerrno>
#include <cstring>

namespace sim {

namespace {

// Pin bit 0x01 << i: its wire's name and its identifier code in the dump.
const struct {
    const char *name;
    char code;
} kWires[4] = {{"IO1", '!'}, {"CLK", '"'}, {"DIN", '#'}, {"LOAD", '$'}};

char valueOf(const PinDrive &pins, int i)
{
    const uint8_t bit = (uint8_t)(1u << i);
    return (pins.inputs & bit) ? 'z' : (pins.levels & bit) ? '1' : '0';
}

} // namespace

PinTrace::~PinTrace() { close(); }

bool PinTrace::open(const std::string &path, const std::optional<PinDrive> &atStart, std::string *error)
{
    close();
    file_ = std::fopen(path.c_str(), "w");
    if (file_ == nullptr) {
        if (error != nullptr)
            *error = "cannot write the pin trace " + path + ": " + std::strerror(errno);
        return false;
    }
    std::fputs("$comment the I/O pins of the virtual USB-ISS adapter (benchsim iss --vcd) $end\n"
               "$timescale 1 us $end\n"
               "$scope module iss $end\n",
               file_);
    for (const auto &w : kWires)
        std::fprintf(file_, "$var wire 1 %c %s $end\n", w.code, w.name);
    std::fputs("$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\n", file_);
    for (int i = 0; i < 4; ++i) {
        values_[i] = atStart ? valueOf(*atStart, i) : 'x';
        std::fprintf(file_, "%c%c\n", values_[i], kWires[i].code);
    }
    std::fputs("$end\n", file_);
    lastTime_ = 0;
    return true;
}

void PinTrace::record(uint64_t micros, const PinDrive &pins)
{
    if (file_ == nullptr)
        return;
    bool stamped = false;
    for (int i = 0; i < 4; ++i) {
        const char v = valueOf(pins, i);
        if (v == values_[i])
            continue;
        if (!stamped) {
            // the time of a change must grow, or a reader merges two edges into one
            lastTime_ = micros > lastTime_ ? micros : lastTime_ + 1;
            std::fprintf(file_, "#%llu\n", (unsigned long long)lastTime_);
            stamped = true;
        }
        values_[i] = v;
        std::fprintf(file_, "%c%c\n", v, kWires[i].code);
    }
}

void PinTrace::flush()
{
    if (file_ != nullptr)
        std::fflush(file_);
}

void PinTrace::end(uint64_t micros)
{
    if (file_ != nullptr && micros > lastTime_)
        std::fprintf(file_, "#%llu\n", (unsigned long long)micros);
    close();
}

void PinTrace::close()
{
    if (file_ != nullptr)
        std::fclose(file_);
    file_ = nullptr;
}

} // namespace sim
