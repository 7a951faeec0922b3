// isscheck as a program: its command line, no adapter at all, and an adapter
// scripted frame by frame on a pseudo-terminal.
#include "iss_fixture.h"
#include "pty_pair.h"
#include "run_program.h"

#include <thread>

using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

// COMn pointing nowhere, so a test never reaches a real serial port by accident.
const std::map<std::string, std::string> kNoAdapter = {{"COM9", "/nonexistent/isscheck-no-adapter"},
                                                       {"COM3", "/nonexistent/isscheck-no-adapter"}};

struct Step {
    size_t expect; // bytes of the frame the program must send
    Bytes reply;   // what the adapter answers; empty: it stays silent
};

// Plays the adapter on the master side of a pty: answers each frame once it is
// complete, and keeps every byte the program sent, beyond the script too.
class ScriptedAdapter {
public:
    explicit ScriptedAdapter(std::vector<Step> steps) : steps_(std::move(steps)) {}

    std::string path() const { return pty_.slavePath(); }
    // Everything the program sent, once it is gone.
    Bytes received()
    {
        thread_.request_stop();
        thread_.join();
        return Bytes(received_.begin(), received_.end());
    }

private:
    void play(std::stop_token stop)
    {
        size_t framesEnd = 0; // where the frame of the next step ends in received_
        for (size_t next = 0; !stop.stop_requested();) {
            received_ += pty_.read(64, 50ms);
            for (; next < steps_.size() && received_.size() >= framesEnd + steps_[next].expect; ++next) {
                framesEnd += steps_[next].expect;
                pty_.write(steps_[next].reply);
            }
        }
    }

    ptyPair pty_;
    std::vector<Step> steps_;
    std::string received_;
    std::jthread thread_{[this](std::stop_token stop) { play(stop); }}; // last: it uses the members above
};

} // namespace

TEST(IsscheckCommandLine, HelpDescribesEveryCommandAndOptionOnStandardOutput)
{
    ProgramRun run = runProgram(appProgram("isscheck"), {"--help"}, kNoAdapter);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.err, "");
    // each command and option has its line (the table test walks them); the rest is here
    for (const char *word : {"usage: isscheck", "COM9", "64"})
        EXPECT_NE(run.out.find(word), std::string::npos) << word;
    EXPECT_EQ(runProgram(appProgram("isscheck"), {"--port", "3", "leds", "--help"}, kNoAdapter).out, run.out);
}

TEST(IsscheckCommandLine, BadCommandLinesGiveOneLineOnStandardErrorAndStatus64)
{
    const std::vector<std::vector<std::string>> bad = {
        {}, {"frob"}, {"INFO"}, {"--verbose", "info"}, {"info", "extra"}, {"info", "--port"},
        {"--port", "256", "info"}, {"--port", "-1", "info"}, {"--port", "x", "info"}, {"--port", "9x", "info"},
        {"--port", "", "info"},
        {"display"}, {"display", "one", "two"}, {"display", std::string(60, 'x')},
        {"leds", "--walk-rows", "0"}, {"leds", "--walk-rows", "9"},
    };
    for (const auto &args : bad) {
        SCOPED_TRACE(::testing::PrintToString(args));
        ProgramRun run = runProgram(appProgram("isscheck"), args, kNoAdapter);
        EXPECT_EQ(run.exitStatus, 64);
        EXPECT_TRUE(oneLine(run.err)) << run.err;
        EXPECT_EQ(run.out, "") << "the port is not even opened";
    }
}

TEST(IsscheckNoAdapter, PortThatDoesNotExistGivesTheConnectFailLineAndStatus1)
{
    ProgramRun run = runProgram(appProgram("isscheck"), {"info"}, kNoAdapter);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "serial port COM9 connect fail COM9 error 2\n\r");
    EXPECT_NE(run.err.find("COM9"), std::string::npos);

    ProgramRun other = runProgram(appProgram("isscheck"), {"--port", "3", "leds"}, kNoAdapter);
    EXPECT_EQ(other.exitStatus, 1);
    EXPECT_EQ(other.out, "serial port COM3 connect fail COM3 error 2\n\r");
}

// A run against the scripted adapter: its status, its whole standard output, the
// words of its one line on standard error (none: nothing there), and every byte sent.
struct ScriptedRun {
    std::string name;
    std::vector<Step> steps;
    std::vector<std::string> args;
    int exitStatus;
    std::string out;
    std::vector<std::string> errSays;
    Bytes sent;
};
void PrintTo(const ScriptedRun &r, std::ostream *os) { *os << r.name; }

// The adapter's acknowledgement of the switch to I2C mode, and the keypad poll after it,
// as isscheck keys logs and sends it.
const Step kModeAck = {4, hexToBytes("FF 00")};
const std::string kPolled = kInI2cMode + " iBytesWritten: 3 \nsetModeIICpollDisp: ";
const Bytes kKeysSent = hexToBytes("5A 02 60 00 54 C7 04");

const ScriptedRun kScriptedRuns[] = {
    {"InfoLogsVersionAndSerial", {{2, hexToBytes("07 02 40")}, {2, hexToBytes("30 39 31 32 33 34 35")}}, {"info"}, 0,
     kConnectOk + " iBytesWritten: 2 \nISS:5A-01:ver: 07 02 40 \n iBytesWritten: 2 \n"
                  "ISS:5A-03:ser: 30 39 31-32 33 34 35\nISS:5A-03:ser: 091-2345\n",
     {}, hexToBytes("5A 01 5A 03")},
    // the version line is still printed, with what ioBuf held: the frame and a zero;
    // nothing is sent after the empty reply
    {"SilentAdapterGivesNoReplyForTheVersionAndStatus2", {{2, {}}}, {"info"}, 2,
     kConnectOk + " iBytesWritten: 2 \nISS:5A-01:ver: 5A 01 00 \n", {"no reply from the adapter", "version"},
     hexToBytes("5A 01")},
    {"KeysPrintsTheKeysHeld", {kModeAck, {3, hexToBytes("00 05 00 03")}}, {"keys"}, 0,
     kPolled + "00 05   00 03 \nkeys held: 1 3\n", {}, kKeysSent},
    {"ModeNotAcknowledgedGivesStatus2AndStopsThere", {{4, hexToBytes("00 05")}}, {"range"}, 2,
     kConnectOk + " iBytesWritten: 4 \nISS:5A-02-60:mode: 00 05 \n",
     {"no reply from the adapter", "not acknowledged"}, hexToBytes("5A 02 60 00")},
    {"RangeRangesOnceInI2cMode", {kModeAck, {5, hexToBytes("01")}, {4, hexToBytes("05 80 01 2C 00 64")}}, {"range"}, 0,
     kInI2cMode + " iBytesWritten: 5 \n iBytesWritten: 4 \nsrf08: 000100 cm,  000300 cm " + std::string(74, '0') +
         "1+\n",
     {}, hexToBytes("5A 02 60 00 55 E0 00 01 51 55 E1 00 06")},
    // the text "--bench ok" follows the display frame's command byte
    {"DisplayClearsAndWritesTheText", {kModeAck, {5 + 10, hexToBytes("01")}},
     {"--port", "9", "display", "--", "--bench ok"}, 0, kInI2cMode + " iBytesWritten: 5 \n", {},
     hexToBytes("5A 02 60 00 55 C6 00 0B 0C 2D 2D 62 65 6E 63 68 20 6F 6B")},
    // the serial lines show the frame, the version reply's last byte, then zeros
    {"EmptySerialReplyGivesNoReplyForTheSerialAndStatus2", {{2, hexToBytes("07 02 40")}, {2, {}}}, {"info"}, 2,
     kConnectOk + " iBytesWritten: 2 \nISS:5A-01:ver: 07 02 40 \n iBytesWritten: 2 \n"
                  "ISS:5A-03:ser: 5A 03 40-00 00 00 00\nISS:5A-03:ser: Z\x03@-\0\0\0\0\n"s,
     {"no reply from the adapter", "serial"}, hexToBytes("5A 01 5A 03")},
    {"KeysWithNoKeyHeld", {kModeAck, {3, hexToBytes("1C 00 00 12")}}, {"keys"}, 0,
     kPolled + "1C 00   00 12 \nkeys held: none\n", {}, kKeysSent},
    {"KeysWithEveryKeyHeld", {kModeAck, {3, hexToBytes("1C FF 0F 12")}}, {"keys"}, 0,
     kPolled + "1C FF   0F 12 \nkeys held: 1 2 3 4 5 6 7 8\n", {}, kKeysSent},
    {"ShortKeypadReplyGivesStatus2WithoutAKeysLine", {kModeAck, {3, {}}}, {"keys"}, 2,
     kPolled + "54 C7   04 00 \n", {"no reply from the adapter"}, kKeysSent},
    {"PixelsSendsTheBlockAndOnePixelRecord", {kModeAck, {37, hexToBytes("01")}, {11, hexToBytes("01")}}, {"pixels"}, 0,
     kInI2cMode + " iBytesWritten: 37 \n pp: 37 33,  32 \n iBytesWritten: 11 \n pp: 11 7,  32 ack:1\n", {},
     hexToBytes("5A 02 60 00 " + kPixelBlock + " 55 0A 10 07 00 04 04 FF 40 00 20")},
};

class ScriptedSession : public ::testing::TestWithParam<ScriptedRun> {};
TEST_P(ScriptedSession, StatusOutputErrorAndFrames)
{
    const ScriptedRun &c = GetParam();
    ScriptedAdapter adapter(c.steps);
    ProgramRun run = runProgram(appProgram("isscheck"), c.args, {{"COM9", adapter.path()}}, "", 60s);
    EXPECT_EQ(run.exitStatus, c.exitStatus) << run.err;
    EXPECT_EQ(run.out, c.out);
    EXPECT_TRUE(c.errSays.empty() ? run.err.empty() : oneLine(run.err)) << run.err;
    for (const std::string &words : c.errSays)
        EXPECT_NE(run.err.find(words), std::string::npos) << run.err;
    EXPECT_EQ(adapter.received(), c.sent);
}

INSTANTIATE_TEST_SUITE_P(IsscheckScripted, ScriptedSession, ::testing::ValuesIn(kScriptedRuns),
                         [](const auto &info) { return info.param.name; });
