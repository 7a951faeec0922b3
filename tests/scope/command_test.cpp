// Sending commands and reading numeric replies.
#include "scope_fixture.h"

namespace {

using ScopeCommand = ScopeTest;

const std::string kSendBanner = "\n\n==============================================\n\r";

TEST_F(ScopeCommand, SendLogsAndWritesTheCommandAsItIs)
{
    EXPECT_EQ(logOf([] { ScopeSendCmd(9, "*LRN?\r"); }), kSendBanner + "\n\r ScopeSendCmd: *LRN?\r \n\r");
    EXPECT_EQ(commandsSent(), "*LRN?\r"); // nothing appended, no NUL
}

TEST_F(ScopeCommand, EmptyCommandStillLogsAndWritesNothing)
{
    EXPECT_EQ(logOf([] { ScopeSendCmd(9, ""); }), kSendBanner + "\n\r ScopeSendCmd:  \n\r");
    EXPECT_EQ(commandsSent(), "");
    EXPECT_EQ(serialState.writeBytesWritten, 0u);
}

TEST_F(ScopeCommand, QueryParsesTheReplyAndLogsCountValueAndText)
{
    fakePort::queue("2.500e-06\n");
    float v = 0;
    std::string log = logOf([&] { v = scopeQuery(9, ":TIM:SCAL?\n"); });
    EXPECT_FLOAT_EQ(v, 2.5e-06f);
    EXPECT_EQ(log, kSendBanner + "\n\r ScopeSendCmd: :TIM:SCAL?\n \n\r" + "   10,2.500000E-06,2.500e-06\n\n");
    EXPECT_EQ(serialState.scopeQueryRead, 10u);
    // one read of up to 999 bytes, after the 600-tick wait
    EXPECT_EQ(fakePort::readRequests(), std::vector<unsigned>{999});
}

TEST_F(ScopeCommand, QueryRepliesThatAreNoNumberGiveZero)
{
    const struct { std::string reply; float value; std::string logTail; } cases[] = {
        {"ERR\n", 0.0f, "    4,0.000000E+00,ERR\n\n"},
        {"   -1.25\n", -1.25f, "    9,-1.250000E+00,   -1.25\n\n"},
        {"", 0.0f, "    0,0.000000E+00,\n"},
    };
    for (const auto &c : cases) {
        openFakeCom9();
        if (!c.reply.empty())
            fakePort::queue(c.reply);
        float v = 0;
        std::string log = logOf([&] { v = scopeQuery(9, "Q?\n"); });
        EXPECT_EQ(v, c.value) << c.reply;
        EXPECT_EQ(log.substr(log.size() - c.logTail.size()), c.logTail) << c.reply;
    }
}

TEST_F(ScopeCommand, LongReplyIsCutAt999AndStillTerminated)
{
    std::string reply = "42" + std::string(1500, 'x');
    fakePort::queue(reply);
    float v = 0;
    std::string log = logOf([&] { v = scopeQuery(9, "Q?\n"); });
    EXPECT_EQ(v, 42.0f);
    EXPECT_EQ(serialState.scopeQueryRead, 999u);
    std::string tail = "  999,4.200000E+01," + reply.substr(0, 999) + "\n";
    EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
}

TEST_F(ScopeCommand, ParseReplyNeverReadsPastWhatCame)
{
    char reply[1000];
    memset(reply, '7', sizeof reply); // stale digits past the count must not join the number
    reply[0] = '1';
    float v = 0;
    EXPECT_EQ(logOf([&] { v = scopeParseReply(reply, 1); }), "    1,1.000000E+00,1\n");
    EXPECT_EQ(v, 1.0f);
    // a count beyond the buffer is clamped, never written past it
    memset(reply, '5', sizeof reply);
    logOf([&] { scopeParseReply(reply, 5000); });
    EXPECT_EQ(reply[999], '\0');
}

} // namespace
