// The libraries as `cmake --install --component dev` puts them into a prefix of the
// test's own: both examples built out of tree against that prefix alone (a header
// that includes a file not installed fails the build) and run against the bench.
#include "scratch_dir.h"
#include "sdk_examples.h"

#include <gtest/gtest.h>

TEST(InstalledLibraries, ExamplesBuiltAgainstAPrefixDriveTheBench)
{
    ScratchDir dir("sdk-prefix");
    std::string prefix = dir / "prefix";
    ProgramRun install = runProgram(SCOPECAP_CMAKE, {"--install", buildDir(), "--prefix", prefix, "--component", "dev"});
    ASSERT_EQ(install.exitStatus, 0) << install.out << install.err;
    ExampleBuild how;
    how.env = {{"PKG_CONFIG_LIBDIR", prefix + "/" SCOPECAP_INSTALL_LIBDIR "/pkgconfig"}};
    how.cmakeArgs = {"-DCMAKE_PREFIX_PATH=" + prefix};
    expectExamplesBuildAndDriveTheBench(how, dir.path());
}
