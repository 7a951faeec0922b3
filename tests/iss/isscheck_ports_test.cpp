// isscheck ports on a machine without serial ports and on one whose list cannot be
// read: the program runs in a mount namespace of its own with an empty tmpfs over
// /sys/class (the listing of real ports is a case of the driver tier).
#include "run_program.h"

#include <gtest/gtest.h>

namespace {

// isscheck ports after `setup` (a shell command) in the fresh /sys/class
ProgramRun portsAfter(const std::string &setup)
{
    return runProgram("/usr/bin/unshare",
                      {"--mount", "sh", "-c", "mount -t tmpfs none /sys/class && " + setup + " && exec \"$0\" ports",
                       appProgram("isscheck")});
}

TEST(IsscheckPorts, NoPortsIsOneLineAndAListNotReadIsStatus2)
{
    if (runProgram("/usr/bin/unshare", {"--mount", "true"}).exitStatus != 0)
        GTEST_SKIP() << "no mount namespace here (needs root and unshare)";
    ProgramRun none = portsAfter("mkdir /sys/class/tty");
    EXPECT_EQ(none.exitStatus, 0) << none.err;
    EXPECT_EQ(none.out, "no serial ports found\n");
    EXPECT_EQ(none.err, "");

    ProgramRun unread = portsAfter("true");
    EXPECT_EQ(unread.exitStatus, 2);
    EXPECT_EQ(unread.out, "");
    EXPECT_EQ(unread.err, "isscheck: cannot list the serial ports: /sys/class/tty: No such file or directory\n");
}

} // namespace
