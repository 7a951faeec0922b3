// Fuzz target: the USB-ISS adapter routines fed arbitrary replies through the
// in-memory port. Input: up to eight records of
//   op, a (2 bytes), b (2 bytes), c, d, e, n, then n & 0x7F reply bytes
// each run on a freshly opened port: the reply bytes are queued as one piece
// (after an empty piece, a read that times out, when n has its high bit) and the
// routine chosen by op runs with arguments made from a..e (values past 255 and
// negative ones included). Whatever comes back, every routine must send exactly
// the frames the adapter's command set fixes and ask for exactly its reply length.
#include "fake_port.h"
#include "fuzz_support.h"
#include "iss.h"
#include "serial.h"

#include <string.h>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// A few records carry what one routine leaves in ioBuf into the next; longer
// inputs only make each run slower.
enum { kMaxRecords = 8 };

static void expectFrames(const char *what, const std::vector<Bytes> &expected, const std::vector<unsigned> &reads)
{
    const std::vector<Bytes> got = fakePort::writes();
    FUZZ_CHECK(got.size() == expected.size(), "%s wrote %zu frames, expected %zu", what, got.size(), expected.size());
    for (size_t i = 0; i < got.size(); i++)
        FUZZ_CHECK(got[i] == expected[i], "%s frame %zu differs (%zu bytes, expected %zu)", what, i, got[i].size(),
                   expected[i].size());
    FUZZ_CHECK(fakePort::readRequests() == reads, "%s asked for other reply lengths", what);
}

static Bytes lowBytes(std::initializer_list<int> values)
{
    Bytes b;
    for (int v : values)
        b.push_back((unsigned char)(v & 0xFF));
    return b;
}

FUZZ_QUIET_INITIALIZE()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in{data, size};
    for (int record = 0; record < kMaxRecords && in.size > 0; record++) {
        const uint8_t op = in.byte();
        const int a = (int16_t)in.u16(), b = (int16_t)in.u16();
        const uint8_t c = in.byte(), d = in.byte(), e = in.byte();
        const uint8_t n = in.byte();
        Bytes reply(n & 0x7F);
        in.take(reply.data(), reply.size());

        fakePort::reset();
        FUZZ_CHECK(openComPort(9, 19200, '8', 'N') != NULL, "the in-memory port did not open");
        FUZZ_CHECK(fakePort::writes().empty(), "opening the port wrote %zu frames", fakePort::writes().size());
        if (n & 0x80)
            fakePort::queue(Bytes());
        fakePort::queue(reply);

        switch (op % 16) {
        case 0:
            issVersion(9, a);
            expectFrames("issVersion", {{0x5A, 0x01}}, {3});
            break;
        case 1:
            issSerial(9, a);
            expectFrames("issSerial", {{0x5A, 0x03}}, {7});
            break;
        case 2:
            issSetMode(9, a, b);
            expectFrames("issSetMode", {lowBytes({0x5A, 0x02, a, b})}, {2});
            break;
        case 3:
            issSetIoMode(9, a);
            expectFrames("issSetIoMode", {lowBytes({0x5A, 0x02, 0x00, a})}, {2});
            break;
        case 4:
            issChangeIo(9, a);
            expectFrames("issChangeIo", {lowBytes({0x5A, 0x02, 0x10, a})}, {2});
            break;
        case 5:
            issSetPins(9, a);
            expectFrames("issSetPins", {lowBytes({0x63, a})}, {1});
            break;
        case 6:
            issCmd10(9, a);
            expectFrames("issCmd10", {lowBytes({0x5A, 0x10, a, 0x00})}, {1});
            break;
        case 7:
            issCmd12(9);
            expectFrames("issCmd12", {{0x5A, 0x10, 0x0C, 0x00}, {0x5A, 0x12, 0x00, 0x00}}, {1, 8});
            break;
        case 8:
            srf08Range(9);
            expectFrames("srf08Range", {{0x55, 0xE0, 0x00, 0x01, 0x51}, {0x55, 0xE1, 0x00, 0x06}}, {1, 6});
            break;
        case 9: {
            // the reply bytes as a text, up to a NUL if there is one
            std::string text(reply.begin(), reply.end());
            text.resize(strlen(text.c_str()));
            dispWrite(9, a, text.c_str());
            expectFrames("dispWrite",
                         {lowBytes({0x55, 0xC6, 0x00, (int)text.size() + 1, a}), Bytes(text.begin(), text.end())},
                         {1});
            break;
        }
        case 10: {
            const int keys = setModeIICpollDisp(9);
            expectFrames("setModeIICpollDisp", {{0x54, 0xC7, 0x04}}, {4});
            // the first read takes the queued piece; with nothing, the frame's
            // address byte stays in ioBuf's second place
            const Bytes first = n & 0x80 ? Bytes() : reply;
            const int expected = first.size() >= 2 ? first[1] : 0xC7;
            FUZZ_CHECK(keys == expected, "keypad byte %d, expected %d", keys, expected);
            break;
        }
        case 11: {
            const int r = pixelBlockWrite(9);
            FUZZ_CHECK(r == 0, "pixelBlockWrite returned %d", r);
            const std::vector<Bytes> got = fakePort::writes();
            FUZZ_CHECK(got.size() == 1 && got[0].size() == 37, "pixelBlockWrite sent other than one 37-byte frame");
            FUZZ_CHECK(got[0][0] == 0x55 && got[0][1] == 0x0A && got[0][2] == 0x10 && got[0][3] == 33,
                       "pixelBlockWrite frame head differs");
            FUZZ_CHECK(fakePort::readRequests() == std::vector<unsigned>{1}, "pixelBlockWrite reply length");
            break;
        }
        case 12: {
            const int r = pixelWrite(9, a, b, c, d, e);
            FUZZ_CHECK(r == 0, "pixelWrite returned %d", r);
            expectFrames("pixelWrite", {lowBytes({0x55, 0x0A, 0x10, 7, 0x00, a, b, c, d, e, 0x20})}, {1});
            break;
        }
        case 13: {
            sendMAX2719(9, a);
            const std::vector<Bytes> got = fakePort::writes();
            FUZZ_CHECK(got.size() == 53, "sendMAX2719 sent %zu pin commands, expected 53", got.size());
            for (const Bytes &w : got)
                FUZZ_CHECK(w.size() == 2 && w[0] == 0x63, "sendMAX2719 sent a frame other than a pin command");
            FUZZ_CHECK(fakePort::readRequests() == std::vector<unsigned>(53, 1u), "sendMAX2719 reply lengths");
            break;
        }
        case 14:
            sendMAX2719xyz(9, c % 8, d % 8, e);
            FUZZ_CHECK(fakePort::writes().size() == 53, "sendMAX2719xyz sent %zu pin commands",
                       fakePort::writes().size());
            break;
        case 15:
            pinWalk(9);
            FUZZ_CHECK(fakePort::writes().size() == 13, "pinWalk sent %zu pin commands", fakePort::writes().size());
            break;
        }
        FUZZ_CHECK(serialState.readIoBufRead <= 8, "a read returned %u bytes", (unsigned)serialState.readIoBufRead);
    }
    // the port's records are freed before the run ends: memory still held then
    // makes libFuzzer look for a leak after every input
    fakePort::reset();
    return 0;
}
