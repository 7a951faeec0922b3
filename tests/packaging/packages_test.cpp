// The release packages as a user gets them: the Debian packages installed with dpkg,
// the programs run from PATH for one capture, the examples libscopecap-dev carries
// built against it, and both removed without a trace; the Windows zip unpacked, its
// scopecap.exe run under Wine and its sdk/ building the examples. Captures are held to
// the end-to-end expectations. scripts/package makes the packages (scripts/test runs it).
#include "child_process.h"
#include "capture_expect.h"
#include "program_expect.h"
#include "run_program.h"
#include "scratch_dir.h"
#include "sdk_examples.h"
#include "sim_expect.h"
#include "text.h"
#include "wine_prefix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <unistd.h>

namespace {

const std::string kVersion = SCOPECAP_VERSION;
const std::string kDeb = std::string(SCOPECAP_PACKAGES_DIR) + "/scopecap_" + kVersion + "_amd64.deb";
const std::string kDevDeb = std::string(SCOPECAP_PACKAGES_DIR) + "/libscopecap-dev_" + kVersion + "_amd64.deb";
const std::string kZip = std::string(SCOPECAP_PACKAGES_DIR) + "/scopecap-" + kVersion + "-win64.zip";

// A dangling link is there too.
bool exists(const std::string &path) { return std::filesystem::exists(std::filesystem::symlink_status(path)); }

std::string missingPackage(const std::string &path)
{
    return "no " + path + " (version " + kVersion + " from CMake): run ./scripts/package";
}

// A shell line, for dpkg and the like; the run with its output.
ProgramRun sh(const std::string &line) { return runProgram("/bin/sh", {"-c", line}); }

void expectCapture(const std::string &dir, const ProgramRun &run, const RuntimeStyle &style)
{
    ScopeCaptureInput in = benchCaptureInput(sim::BenchOptions{});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    expectCaptureFiles(dir, in, style);
    expectCaptureLog(run.out, in, style);
}

// Paths the packages hold, from their own listings ("./usr/bin/" -> "/usr/bin"; "./" left out).
std::vector<std::string> packagePaths()
{
    std::string listing = "for deb in '" + kDeb + "' '" + kDevDeb + "'; do dpkg-deb --fsys-tarfile \"$deb\" | tar -t; done";
    return splitLines(sh(listing + " | sed -e 's,^\\./,/,' -e 's,/$,,' | grep .").out);
}

// The viewer as installed: the page, its stylesheet, its scripts, and fflate's licence.
void expectViewerFiles(const std::string &dir)
{
    for (const char *file : {"index.html", "viewer.css", "fflate.js", "fflate.LICENSE", "numbers.js", "capture.js",
                             "script_reader.js", "csv_reader.js", "measure.js", "exports.js", "screen.js", "panels.js",
                             "picture.js", "page.js"})
        EXPECT_TRUE(exists(dir + "/" + file)) << dir << "/" << file;
}

// Removes the package, whole or half installed, when a failed check leaves it there
// (after the test's own dpkg -r there is nothing left to remove).
struct RemoveOnExit {
    ~RemoveOnExit() { sh("dpkg -r scopecap libscopecap-dev >/dev/null 2>&1"); }
};

TEST(DebianPackage, MatchesTheBuildAndItsChecksums)
{
    ASSERT_TRUE(exists(kDeb)) << missingPackage(kDeb);
    EXPECT_EQ(sh("dpkg-deb -f '" + kDeb + "' Version").out, kVersion + "\n");
    // SHA256SUMS names both packages of this version, and both match it
    ProgramRun sums = runProgram("/usr/bin/sha256sum", {"--check", "--strict", "SHA256SUMS"}, {}, SCOPECAP_PACKAGES_DIR);
    EXPECT_EQ(sums.exitStatus, 0) << sums.out << sums.err;
    EXPECT_EQ(sums.out, "libscopecap-dev_" + kVersion + "_amd64.deb: OK\nscopecap_" + kVersion +
                            "_amd64.deb: OK\nscopecap-" + kVersion + "-win64.zip: OK\n");
    EXPECT_EQ(sh("dpkg-deb -f '" + kDevDeb + "' Version Section Depends").out, "Version: " + kVersion + "\nSection: libdevel\n");
}

TEST(DebianPackage, InstalledPackagesWorkFromUsrAndRemovalLeavesNothing)
{
    ASSERT_TRUE(exists(kDeb)) << missingPackage(kDeb);
    ASSERT_TRUE(exists(kDevDeb)) << missingPackage(kDevDeb);
    if (geteuid() != 0)
        GTEST_SKIP() << "dpkg -i needs root (CI runs as root)";
    if (sh("dpkg-query -W -f '${Status}' scopecap libscopecap-dev 2>/dev/null").out.find("installed") != std::string::npos)
        GTEST_SKIP() << "a scopecap package is installed here already; dpkg -r it to test this one";

    std::vector<std::string> added = packagePaths();
    ASSERT_GT(added.size(), 10u);
    std::erase_if(added, exists); // only what the install adds must go (/usr/bin was here before)

    RemoveOnExit guard;
    ProgramRun install = sh("dpkg -i '" + kDeb + "' '" + kDevDeb + "'");
    ASSERT_EQ(install.exitStatus, 0) << install.out << install.err;

    EXPECT_EQ(sh("command -v scopecap; command -v benchsim").out, "/usr/bin/scopecap\n/usr/bin/benchsim\n");
    EXPECT_EQ(sh("isscheck --version; benchsim --version").out, "isscheck " + kVersion + "\nbenchsim " + kVersion + "\n");
    expectViewerFiles("/usr/share/scopecap/viewer");
    EXPECT_EQ(sh("man -w scopecap isscheck benchsim").out,
              "/usr/share/man/man1/scopecap.1.gz\n/usr/share/man/man1/isscheck.1.gz\n/usr/share/man/man1/benchsim.1.gz\n");

    // the installed bench and scopecap, both found on PATH, for one capture
    ScratchDir scratch("deb-capture");
    const std::string &dir = scratch.path(), link = scratch / "com9";
    ChildProcess bench("/bin/sh", {"-c", "exec benchsim scope --link \"$0\" --once --quiet", link}, {}, "",
                       dir + "/bench.err");
    EXPECT_EQ(bench.readLine(std::chrono::seconds(10)), link); // it answers there
    ProgramRun capture = runProgram("/bin/sh", {"-c", "exec scopecap"}, {{"COM9", link}}, dir, std::chrono::seconds(90));
    EXPECT_EQ(bench.wait(std::chrono::seconds(10)), 0) << readFile(dir + "/bench.err");
    EXPECT_EQ(capture.err, "");
    expectCapture(dir, capture, kGlibcStyle);
    // the examples the libraries carry, built against the system's own paths
    ExampleBuild how;
    how.examples = "/usr/share/doc/libscopecap-dev/examples";
    expectExamplesBuildAndDriveTheBench(how, dir);

    ProgramRun remove = sh("dpkg -r scopecap libscopecap-dev");
    ASSERT_EQ(remove.exitStatus, 0) << remove.out << remove.err;
    for (const std::string &p : added)
        EXPECT_FALSE(exists(p)) << p << " is left behind";
}

TEST(WindowsZip, UnpackedProgramsRunUnderWineAndItsSdkBuildsTheExamples)
{
    ASSERT_TRUE(exists(kZip)) << missingPackage(kZip);
    ScratchDir scratch("win-zip");
    const std::string &dir = scratch.path();
    ProgramRun unpack = runProgram(SCOPECAP_CMAKE, {"-E", "tar", "xf", kZip}, {}, dir);
    ASSERT_EQ(unpack.exitStatus, 0) << unpack.err;
    std::string top = dir + "/scopecap-" + kVersion + "-win64";
    for (const char *file : {"scopecap.exe", "isscheck.exe"})
        EXPECT_TRUE(exists(top + "/" + file)) << file;
    expectViewerFiles(top + "/viewer");
    std::string readme = readFile(top + "/README.txt");
    EXPECT_NE(readme.find("scopecap " + kVersion), std::string::npos);
    EXPECT_GT(std::count(readme.begin(), readme.end(), '\n'), 10);
    std::string unixText = readme;
    std::erase(unixText, '\r');
    EXPECT_EQ(lineEnds(unixText, kWindowsStyle), readme) << "README.txt needs Windows line ends";

    std::string whyNot = wine::prepare();
    if (!whyNot.empty())
        GTEST_SKIP() << "Wine cannot start here: " << whyNot;
    EXPECT_EQ(wine::run({top + "/isscheck.exe", "--version"}, dir).out, "isscheck " + kVersion + "\r\n");

    ProgramRun capture = wine::runWithBench("scope", {"--quiet"}, {top + "/scopecap.exe"}, dir);
    EXPECT_EQ(capture.err.find("scopecap:"), std::string::npos) << capture.err;
    expectCapture(dir, capture, kWindowsStyle);

    // sdk/ with MinGW-w64, cross-built here as a Windows user builds natively
    std::string sdk = top + "/sdk";
    ExampleBuild how{.examples = sdk + "/examples", .compiler = "x86_64-w64-mingw32-g++",
                     .flags = " -static", // no MinGW DLLs beside the programs
                     .exeSuffix = ".exe",
                     .env = {{"PKG_CONFIG_LIBDIR", sdk + "/lib/pkgconfig"}},
                     .cmakeArgs = {"-DCMAKE_TOOLCHAIN_FILE=" SCOPECAP_SOURCE_DIR "/cmake/mingw-w64-x86_64.cmake",
                                   "-Dscopecap_DIR=" + sdk + "/lib/cmake/scopecap"}};
    auto underWine = [](auto &personality, auto &benchArgs, auto &commandLine, auto &workDir) {
        return wine::runWithBench(personality, benchArgs, commandLine, workDir);
    };
    expectExamplesBuildAndDriveTheBench(how, dir, underWine, kWindowsStyle);
}

} // namespace
