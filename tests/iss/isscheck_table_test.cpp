// isscheck's command table walked entry by entry: each command and option parses with
// a value at either end of its range, is refused just past it (or with a value it does
// not take), and has its line in --help.
#include "isscheck_cli.h"

#include <gtest/gtest.h>

#include <regex>
#include <stdio.h>
#include <stdlib.h>

namespace {

// What a function printed on the stream it was given.
template <typename Print> std::string printed(Print print)
{
    char *text = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&text, &size);
    print(out);
    fclose(out);
    std::string result(text, size);
    free(text);
    return result;
}

struct Parsed {
    std::vector<std::string> args; // the text a setting points into
    int status = -1;
    IsscheckSettings settings;
    std::string complaint; // what it wrote on its stream of complaints
};

Parsed parse(const std::vector<std::string> &args)
{
    Parsed p;
    p.args = {"isscheck"};
    p.args.insert(p.args.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &arg : p.args)
        argv.push_back(arg.data());
    p.complaint = printed([&](FILE *out) { p.status = isscheckParse((int)argv.size(), argv.data(), &p.settings, out); });
    return p;
}

void expectRefused(const std::vector<std::string> &args)
{
    Parsed p = parse(args);
    EXPECT_EQ(p.status, 64) << ::testing::PrintToString(args);
    EXPECT_TRUE(std::regex_match(p.complaint, std::regex("isscheck: [^\n]+\n"))) << p.complaint;
}

TEST(IsscheckTable, EachEntryParsesIsRefusedOutOfRangeAndHasItsHelpLine)
{
    const std::string help = printed(isscheckHelp);

    for (size_t i = 0; i < kIsscheckEntryCount; ++i) {
        const IsscheckEntry &e = kIsscheckEntries[i];
        SCOPED_TRACE(e.name);
        // "  --port N       use COMN ...": the name and value, blanks, its text's first line
        const std::string label = std::string(e.name) + (e.valueName ? std::string(" ") + e.valueName : "");
        const std::string first = std::string(e.help).substr(0, std::string(e.help).find('\n'));
        const size_t column = e.name[0] == '-' ? 15 : 14;
        EXPECT_NE(help.find("\n  " + label + std::string(column - label.size(), ' ') + first + "\n"), std::string::npos)
            << help;
        if (e.value == kNumber) {
            // the range the help states is the range the parser takes
            EXPECT_NE(first.find("from " + std::to_string(e.lowest) + " to " + std::to_string(e.highest)),
                      std::string::npos);
            for (int n : {e.lowest, e.highest}) {
                Parsed p = parse({e.name, std::to_string(n), "info"});
                EXPECT_EQ(p.status, 0) << p.complaint;
                EXPECT_EQ(p.settings.*(e.number), n);
                EXPECT_EQ(p.settings.command, kCmdInfo);
            }
            for (const std::string &bad : {std::to_string(e.lowest - 1), std::to_string(e.highest + 1), std::string("1x")})
                expectRefused({e.name, bad, "info"});
            expectRefused({"info", e.name});
        } else if (e.name[0] == '-') {
            // an option that is a command of its own wins wherever it stands
            for (const char *spelling : {e.name, e.alias})
                if (spelling != nullptr) {
                    EXPECT_EQ(parse({"info", "--port", "3", spelling}).settings.command, e.command) << spelling;
                }
        } else {
            const std::string value(e.value == kText ? e.highest : 0, 'x');
            Parsed p = parse(value.empty() ? std::vector<std::string>{e.name} : std::vector<std::string>{e.name, value});
            EXPECT_EQ(p.status, 0) << p.complaint;
            EXPECT_EQ(p.settings.command, e.command);
            if (e.value == kText) {
                EXPECT_EQ(p.settings.*(e.text), value);
                expectRefused({e.name});
            }
            expectRefused({e.name, value + "x"}); // past the longest text, or a value it does not take
        }
    }
}

} // namespace
