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

// A query: the command logged as sent, then the reply's count, value and text; one read
// of up to 999 bytes, after the 600-tick wait. A reply that is no number gives zero.
struct QueryCase {
    const char *name;
    std::string reply;
    float value;
    std::string logTail;
    unsigned got;
};
const QueryCase kQueries[] = {
    {"QueryParsesTheReplyAndLogsCountValueAndText", "2.500e-06\n", 2.5e-06f, "   10,2.500000E-06,2.500e-06\n\n", 10},
    {"QueryReplyThatIsNoNumberGivesZero", "ERR\n", 0.0f, "    4,0.000000E+00,ERR\n\n", 4},
    {"QueryReplyWithBlanksAndASign", "   -1.25\n", -1.25f, "    9,-1.250000E+00,   -1.25\n\n", 9},
    {"QueryWithoutAReplyGivesZero", "", 0.0f, "    0,0.000000E+00,\n", 0},
    {"LongReplyIsCutAt999AndStillTerminated", "42" + std::string(1500, 'x'), 42.0f,
     "  999,4.200000E+01,42" + std::string(997, 'x') + "\n", 999},
};

class ScopeQuery : public ScopeTest, public ::testing::WithParamInterface<QueryCase> {};
void PrintTo(const QueryCase &c, std::ostream *os) { *os << c.name; }

TEST_P(ScopeQuery, ValueLogAndRead)
{
    const QueryCase &c = GetParam();
    fakePort::queue(c.reply);
    float v = 0;
    std::string log = logOf([&] { v = scopeQuery(9, ":TIM:SCAL?\n"); });
    EXPECT_EQ(v, c.value);
    EXPECT_EQ(log, kSendBanner + "\n\r ScopeSendCmd: :TIM:SCAL?\n \n\r" + c.logTail);
    EXPECT_EQ(serialState.scopeQueryRead, c.got);
    EXPECT_EQ(fakePort::readRequests(), std::vector<unsigned>{999});
}

INSTANTIATE_TEST_SUITE_P(ScopeCommand, ScopeQuery, ::testing::ValuesIn(kQueries),
                         [](const auto &info) { return std::string(info.param.name); });

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
