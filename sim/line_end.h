// The bench's end of the line: the master side of a pseudo-terminal whose slave the
// program opens (directly or through a symlink), or a serial device whose far end it
// opens. Everything the bench needs to know about the line, and does to it, is here:
// opening and raw mode, the symlink, reading, paced writing, and the probes of the
// program's end (has it closed the port, has it read what was sent).
//
// The bench never keeps the slave open, so the program can open, close and reopen it
// (exclusively); while nobody has it open a read fails with EIO. A device shows none
// of that: it only hangs up.
//
// Every wait here ends early once interrupt() is called (from any thread).
#pragma once

#include "options.h"
#include "reply_faults.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

namespace sim {

class LineEnd {
public:
    LineEnd() = default;
    ~LineEnd(); // close(); the pipe that interrupt() writes to lives until here
    LineEnd(const LineEnd &) = delete;
    LineEnd &operator=(const LineEnd &) = delete;

    // A pseudo-terminal (both sides raw) with the symlink at opts.linkPath, or, with
    // opts.devicePath, that device opened exclusively and set raw at opts.baud (19200
    // when 0), 8N1. False, with the reason and the system's words in *error.
    bool open(const BenchOptions &opts, std::string *error);
    // Closes the line and removes the symlink (only if it still points at our slave).
    // Safe to call again.
    void close();

    const std::string &slavePath() const { return slave_; } // the device's own path for a device
    const std::string &portPath() const { return port_; }   // where the program opens it
    bool isDevice() const { return device_; }

    void interrupt();
    bool interrupted() const { return interrupted_; }
    // False when interrupted meanwhile.
    bool sleepFor(std::chrono::milliseconds ms);

    enum class Input { Bytes, Quiet, Interrupted };
    // Waits for bytes from the program; `timeout` < 0 waits without end.
    Input waitForInput(std::chrono::milliseconds timeout);

    enum class Got { Bytes, Nothing, Closed, HungUp };
    // Bytes when *size > 0; Closed: nobody has the pty's slave open (it may be opened
    // again); HungUp: the device is gone (*why holds the system's words, if any).
    Got read(uint8_t *buf, size_t *size, std::string *why);

    // The program closed the port: what it left unread would otherwise greet its
    // next open, and a real line loses it.
    void programClosed();

    struct Sent {
        enum Outcome { Whole, HangupPoint, Cut, Interrupted } outcome = Whole;
        size_t done = 0;  // bytes of this reply written
        std::string why;  // Cut: what happened
    };
    // Writes the reply, paced at opts.baud/10 bytes per second when set, pausing at
    // its stall point, and stops at its hang-up point (the caller hangs up).
    Sent send(const ShapedReply &reply);
    // Waits until the program has read everything written, or closed the port, at
    // most `limit`; for a device, until the bytes have left this port.
    void drain(std::chrono::milliseconds limit);

    size_t bytesSent() const { return sent_; }

private:
    bool openDevice(std::string *error);
    bool openPty(std::string *error);
    bool fail(const std::string &what, std::string *error);
    bool slaveClosed() const;
    int openPeer() const;
    enum class Queue { Empty, Pending, Unknown };
    Queue slaveQueue() const;

    BenchOptions opts_;
    int fd_ = -1;
    int wake_[2] = {-1, -1};
    bool device_ = false;
    std::string slave_, link_, port_;
    std::atomic<bool> interrupted_{false};
    std::atomic<size_t> sent_{0};
    bool unreadReplies_ = false; // reply bytes written since the port was last seen open
    size_t outstanding_ = 0;     // written since the slave's queue was last seen empty
};

} // namespace sim
