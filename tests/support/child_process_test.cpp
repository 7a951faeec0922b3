// The one place the tests fork, on a bad day: a standard-error file that cannot be
// opened and a fork the system refuses are errors the test sees, and leave no
// descriptor open.
#include "child_process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

int openDescriptors()
{
    int n = 0;
    for (int fd = 0; fd < 1024; ++fd)
        n += fcntl(fd, F_GETFD) != -1;
    return n;
}

// What the constructor threw, "" if it started the child.
std::string startError(const std::string &errFile)
{
    try {
        ChildProcess child("/bin/true", {}, {}, "", errFile);
        return "";
    } catch (const std::runtime_error &e) {
        return e.what();
    }
}

TEST(ChildProcess, AStandardErrorFileThatCannotBeOpenedIsAnError)
{
    const int before = openDescriptors();
    EXPECT_EQ(startError("/nonexistent/dir/stderr"), "cannot open /nonexistent/dir/stderr: No such file or directory");
    EXPECT_EQ(openDescriptors(), before);
}

TEST(ChildProcess, AForkTheSystemRefusesIsAnErrorAndLeavesNoPipeOpen)
{
    // a helper that may start no process; root's limit is not enforced, so it becomes nobody
    pid_t helper = fork();
    ASSERT_GE(helper, 0);
    if (helper == 0) {
        const rlimit none{0, 0};
        if ((geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) ||
            setrlimit(RLIMIT_NPROC, &none) != 0)
            _exit(3);
        const int before = openDescriptors();
        const std::string error = startError("");
        _exit(error.rfind("fork failed: ", 0) != 0 ? 1 : openDescriptors() == before ? 0 : 2);
    }
    int status = -1;
    ASSERT_EQ(waitpid(helper, &status, 0), helper);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 3)
        GTEST_SKIP() << "cannot drop to nobody or limit the processes here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: it started, or failed otherwise; 2: a descriptor was left open";
}

} // namespace
