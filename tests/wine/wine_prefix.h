// The Windows programs under Wine: a prefix of the tests' own in the build tree,
// <native build>/wine/prefix, made once with wineboot and reused, and COM9 (or another
// port) pointed at a path through the registry (Wine links the port to that path when
// it next starts).
// This process owns the prefix from its first use on: a lock file beside it keeps
// two test processes from switching COM9 under each other.
#pragma once

#include "run_program.h"
#include "scratch_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace wine {

// Makes the prefix when it is not there yet. Returns "" when Wine is ready,
// else why Wine cannot start here (the caller skips with that reason).
std::string prepare();

// Points the port ("COM9") at `unixPath`, or removes the mapping when it is empty, and
// waits for the Wine server to end so the next start takes it up. Returns "" or an error.
std::string mapPort(const std::string &port, const std::string &unixPath);

// Runs a Windows program (or a Wine tool such as "reg") and its arguments under
// Wine in `workDir`.
ProgramRun run(const std::vector<std::string> &commandLine, const std::string &workDir,
               std::chrono::seconds limit = std::chrono::seconds(180));
// The same with the port (COM9) on `benchsim PERSONALITY BENCHARGS`, stopped (and its
// exit status checked) only after the program ended, so the line stays up for as long
// as the program may read. A port that cannot be mapped fails the test, with no run.
ProgramRun runWithBench(const std::string &personality, const std::vector<std::string> &benchArgs,
                        const std::vector<std::string> &commandLine, const std::string &workDir,
                        std::chrono::seconds limit = std::chrono::seconds(180), const std::string &port = "COM9");

} // namespace wine

// A test of one Windows program: skipped where Wine cannot start, failed where the
// program was not built; exe_ names it, work_ is a directory of the test's own.
class WineProgramTest : public ::testing::Test {
protected:
    void startWith(const std::string &relativePath)
    {
        std::string whyNot = wine::prepare();
        if (!whyNot.empty())
            GTEST_SKIP() << "Wine cannot start here: " << whyNot;
        exe_ = SCOPECAP_WINDOWS_BUILD_DIR "/" + relativePath;
        ASSERT_TRUE(std::filesystem::exists(exe_)) << "no " << exe_ << ": run scripts/build-windows";
        work_ = makeTempDir("wine-test");
    }
    void TearDown() override { removeTree(work_); } // none yet when skipped: nothing is removed
    std::string exe_, work_;
};
