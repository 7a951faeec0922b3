// The programs on the Linux kernel's own serial drivers: one QEMU guest (tests/drivers/
// run-guest) boots Debian's kernel and runs every case of tier-job.sh, on the 8250 UART,
// QEMU's FT232 through ftdi_sio and a CDC-ACM link through cdc_acm; the results come
// back over the 9p share and are held to the same expectations as the pty tests.
// What a pseudo-terminal cannot show is what these cases are for: the line settings a
// real converter is given, a busy real tty, and a USB adapter that goes away.
#include "program_expect.h"
#include "run_program.h"
#include "scratch_dir.h"
#include "sim_expect.h"
#include "text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

namespace {

// The FT232 is pulled this long into its capture, and the CDC cable this long into the
// LED walk (tier-job.sh).
constexpr double kFtdiPulledAt = 5.0;
constexpr double kCdcPulledAt = 4.0;

struct Case {
    int status = -1;
    double seconds = -1; // the guest's own wall clock
    std::string out, err, dir;
};

class GuestTier : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        share_ = makeTempDir("guest-tier-");
        boot_ = runProgram("/bin/bash",
                           {std::string(SCOPECAP_SOURCE_DIR) + "/tests/drivers/run-guest", "--build", buildDir(),
                            "--share", share_, "--job", std::string(SCOPECAP_SOURCE_DIR) + "/tests/drivers/tier-job.sh",
                            "--bench-usb", "--baud 19200", "--timeout", "170"},
                           {}, "", std::chrono::seconds(200));
    }
    static void TearDownTestSuite()
    {
        if (!::testing::Test::HasFailure() && std::getenv("SCOPECAP_KEEP_GUEST") == nullptr)
            removeTree(share_);
        else
            std::fprintf(stderr, "guest tier: the share is kept in %s\n", share_.c_str());
    }

    void SetUp() override
    {
        if (boot_.exitStatus == 3) {
            // no guest can start on this machine; CI must run the tier, so there it fails
            if (std::getenv("CI") != nullptr)
                FAIL() << "the guest tier must run in CI: " << boot_.err;
            GTEST_SKIP() << boot_.err;
        }
        ASSERT_EQ(boot_.exitStatus, 0) << boot_.err << boot_.out;
    }

    static Case result(const std::string &name)
    {
        // a case the guest never finished has no status or seconds file: -1 then
        const std::string dir = share_ + "/" + name;
        const std::string status = readFile(dir + "/status"), seconds = readFile(dir + "/seconds");
        return {status.empty() ? -1 : std::atoi(status.c_str()), seconds.empty() ? -1 : std::atof(seconds.c_str()),
                readFile(dir + "/stdout"), readFile(dir + "/stderr"), dir};
    }
    static std::string shared(const std::string &file) { return readFile(share_ + "/" + file); }

    static std::string share_;
    static ProgramRun boot_;
};

std::string GuestTier::share_;
ProgramRun GuestTier::boot_;

void expectCleanRun(const Case &c)
{
    EXPECT_EQ(c.status, 0) << c.err;
    EXPECT_EQ(c.err, "");
}

void expectWholeCapture(const Case &c, const std::string &commands)
{
    ScopeCaptureInput in = benchCaptureInput(sim::BenchOptions{});
    expectCleanRun(c);
    const std::string asked = "*LRN?\n:acquire1:memory?\n:acquire2:memory?\n";
    EXPECT_EQ(commands.substr(0, asked.size()), asked) << commands;
    expectCaptureFiles(c.dir, in);
    expectCaptureLog(c.out, in);
}

TEST_F(GuestTier, CaptureOverThe8250Uart)
{
    expectWholeCapture(result("s8250"), shared("bench-8250.log"));
}

TEST_F(GuestTier, CaptureThroughTheFt232AtTheLineRate)
{
    Case c = result("ftdi");
    expectWholeCapture(c, shared("bench-usb.log"));
    // paced by the bench at 19200 baud: 16028 block bytes at 1920 bytes a second and the
    // 1.2 s of waits; bench/capture sets the time beside the floor
    EXPECT_GT(c.seconds, 9.5);
    RecordProperty("guest_seconds", std::to_string(c.seconds));
}

// QEMU traces the control requests the FT232 gets. After each open raised DTR and RTS
// (the kernel does that), openComPort's settings must follow: 19200 baud, 8 data bits,
// no parity, one stop bit, no flow control, then DTR and RTS each turned off.
TEST_F(GuestTier, Ft232GetsTheLineSettings)
{
    std::string trace = shared("usb-trace.log");
    std::regex baud(R"(usb_serial_set_baud .* baud rate (\d+))");
    std::regex data(R"(usb_serial_set_data .* parity (.), data bits (\d), stop bits (\d))");
    std::regex flow(R"(usb_serial_set_flow_control .* flow control (\d+))");
    std::regex modem(R"(got control 0x4001, value 0x([0-9a-f]+))");
    // the modem-control values in order, DTR off (100) with the settings in force then
    std::string lastBaud, lastData, lastFlow, requests;
    long raises = 0;
    for (const std::string &line : splitLines(trace)) {
        std::smatch m;
        if (std::regex_search(line, m, baud))
            lastBaud = m[1];
        else if (std::regex_search(line, m, data))
            lastData = m.str(1) + m.str(2) + m.str(3);
        else if (std::regex_search(line, m, flow))
            lastFlow = m[1];
        else if (std::regex_search(line, m, modem)) {
            raises += m[1] == "303";
            requests += m[1] == "100" ? " 100 at " + lastBaud + " " + lastData + " flow " + lastFlow : " " + m.str(1);
        }
    }
    // the capture and the pulled capture open the port twice each
    EXPECT_GE(raises, 4) << trace;
    std::regex settled(R"( 303 100 at 19200 N81 flow 0 200\b)");
    EXPECT_EQ(std::distance(std::sregex_iterator(requests.begin(), requests.end(), settled), std::sregex_iterator()),
              raises)
        << "after a raise the next requests are DTR off, then RTS off:" << requests;
}

TEST_F(GuestTier, AdapterOverCdcAcm)
{
    Case info = result("acm-info");
    expectCleanRun(info);
    expectAdapterInfo(info.out, sim::BenchOptions{}.serial);
    Case com12 = result("acm-com12"); // COM12=/dev/ttyACM0, opened as \\.\COM12
    expectCleanRun(com12);
    expectAdapterInfo(com12.out, sim::BenchOptions{}.serial, 12);
    expectCleanRun(result("acm-leds"));
    expectLedWalk(shared("acm-leds.log"), 1);
}

// The guest's ports with COM12 naming the gadget's side of the CDC-ACM link, which
// carries the USB-ISS's ids and strings (guest-init); the by-id link is the job's own,
// named as udev names it. Then again after QEMU's monitor removed the FT232.
TEST_F(GuestTier, PortsNamesTheRealPortsWithTheirDriversAndMarksTheUsbIss)
{
    const std::string byId = "/dev/serial/by-id/usb-Devantech_USB-ISS_00012345-if00";
    const std::string acm = "COM12\t/dev/ttyACM0\tCOM12=" + byId + "\tcdc-acm\tcdc_acm\t04d8:ffee\tDevantech\tUSB-ISS\t"
                            "00012345\t" + byId + "\tUSB-ISS\n";
    // the 8250 driver registers four ttyS; QEMU gives the first two a UART
    const std::string uarts = "COM1\t/dev/ttyS0\tCOM1=/dev/ttyS0\tuart\tserial\t-\t-\t-\t-\t-\t-\n"
                              "COM2\t/dev/ttyS1\tCOM2=/dev/ttyS1\tuart\tserial\t-\t-\t-\t-\t-\t-\n";
    EXPECT_EQ(shared("ttyS-registered"), "ttyS0\nttyS1\nttyS2\nttyS3\n");
    const std::string ft232 = "-\t/dev/ttyUSB0\tCOM9=/dev/ttyUSB0\tusb-serial\tftdi_sio\t0403:6001\tQEMU\t"
                              "QEMU USB SERIAL\t1-0000:00:02.0-1\t-\t-\n";
    for (const auto &[name, listed] : {std::pair{"ports-before", acm + uarts + ft232}, {"ports-after", acm + uarts}}) {
        Case c = result(name);
        expectCleanRun(c);
        EXPECT_EQ(c.out, listed) << name;
    }
}

TEST_F(GuestTier, BusyTtyIsRefused)
{
    Case c = result("acm-busy");
    EXPECT_EQ(c.status, 1);
    EXPECT_EQ(c.out, "serial port COM9 connect fail COM9 error 5\n\r");
    EXPECT_EQ(c.err, "isscheck: COM9 is /dev/ttyACM0: already in use by another program\nisscheck: COM9 did not open\n");
}

TEST_F(GuestTier, PulledFt232IsNamedAndEndsTheCapture)
{
    Case c = result("ftdi-pulled");
    EXPECT_EQ(c.status, 2);
    std::vector<std::string> err = splitLines(c.err);
    ASSERT_GE(err.size(), 2u) << c.err;
    EXPECT_EQ(err[0], "scopecap: COM9 was lost (the device was removed): Input/output error");
    EXPECT_EQ(std::count(err.begin(), err.end(), err[0]), 1) << c.err;
    EXPECT_NE(err[1].find("sample block short"), std::string::npos) << c.err;
    EXPECT_EQ(c.out.substr(0, expectedSelfTestAndBanner().size()), expectedSelfTestAndBanner());
    EXPECT_LT(c.seconds, 20.0);
    EXPECT_GT(c.seconds, kFtdiPulledAt);
}

TEST_F(GuestTier, PulledCdcCableStopsIsscheck)
{
    Case c = result("acm-pulled");
    EXPECT_EQ(c.status, 2);
    EXPECT_EQ(c.err, "isscheck: COM9 was lost (the device was removed): Input/output error\n");
    // a few seconds after the pull, not the rest of the minute-long walk
    EXPECT_GT(c.seconds, kCdcPulledAt);
    EXPECT_LT(c.seconds, kCdcPulledAt + 5);
    EXPECT_EQ(c.out.find("iBytesWritten: 0"), c.out.rfind("iBytesWritten: 0")) << "one failed write at most";
}

} // namespace
