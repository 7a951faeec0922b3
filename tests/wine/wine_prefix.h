// The Windows programs under Wine: a prefix of the tests' own in the build tree,
// made once with wineboot and reused, and COM9 pointed at a path through the
// registry (Wine links COM9 to that path when it next starts).
#pragma once

#include "run_program.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

class WinePrefix {
public:
    // The prefix at `path`, owned by this process from now on (a lock file beside
    // it keeps two test processes from switching COM9 under each other).
    explicit WinePrefix(std::string path);

    // Makes the prefix when it is not there yet. Returns "" when Wine is ready,
    // else why Wine cannot start here (the caller skips with that reason).
    std::string prepare();

    // Points COM9 at `unixPath`, or removes the mapping when it is empty, and waits
    // for the Wine server to end so the next start takes it up. Returns "" or an error.
    std::string mapCom9(const std::string &unixPath);

    // Runs a Windows program (or a Wine tool such as "reg") and its arguments under
    // Wine in `workDir`.
    ProgramRun run(const std::vector<std::string> &commandLine, const std::string &workDir,
                   std::chrono::seconds limit = std::chrono::seconds(180));
    // The same with COM9 on `benchsim PERSONALITY BENCHARGS`, stopped (and its exit
    // status checked) only after the program ended, so the line stays up for as long
    // as the program may read. A COM9 that cannot be mapped fails the test, with no run.
    ProgramRun runWithBench(const std::string &personality, const std::vector<std::string> &benchArgs,
                            const std::vector<std::string> &commandLine, const std::string &workDir,
                            std::chrono::seconds limit = std::chrono::seconds(180));

private:
    // The COM9 mapping the registry holds now ("" for none).
    std::string com9Mapping() const;
    // "" when `run` succeeded and the Wine server has ended (the registry written), else why not.
    std::string settle(const std::string &what, const ProgramRun &run);

    std::string path_;
};

// The prefix all Wine tests share: <native build>/wine/prefix.
WinePrefix &sharedWinePrefix();
// Where the tests' virtual instruments put the link COM9 points at.
std::string wineCom9Link();

// A test of one Windows program: skipped where Wine cannot start, failed where the
// program was not built; exe_ names it, work_ is a directory of the test's own.
class WineProgramTest : public ::testing::Test {
protected:
    void startWith(const std::string &relativePath)
    {
        std::string whyNot = sharedWinePrefix().prepare();
        if (!whyNot.empty())
            GTEST_SKIP() << "Wine cannot start here: " << whyNot;
        exe_ = SCOPECAP_WINDOWS_BUILD_DIR "/" + relativePath;
        ASSERT_TRUE(std::filesystem::exists(exe_)) << "no " << exe_ << ": run scripts/build-windows";
        work_ = makeTempDir("wine-test");
    }
    void TearDown() override
    {
        if (!work_.empty())
            removeTree(work_);
    }
    std::string exe_, work_;
};
