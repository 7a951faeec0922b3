// isscheck's command table walked entry by entry: each command and option parses with
// a value at either end of its range, is refused just past it (or with a value it does
// not take), and has its line in --help.
#include "isscheck_cli.h"
#include "run_program.h"

#include <gtest/gtest.h>

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
    std::string complaint;
};

Parsed parse(std::vector<std::string> args)
{
    Parsed p;
    p.args = std::move(args);
    p.args.insert(p.args.begin(), "isscheck");
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
    EXPECT_EQ(p.complaint.rfind("isscheck: ", 0), 0u) << p.complaint;
    EXPECT_EQ(splitLines(p.complaint).size(), 1u) << p.complaint;
}

// The --help line that starts with the entry's name (and value) and goes on, after
// blanks, with the first line of its text.
bool helpHasLineFor(const std::string &help, const IsscheckEntry &e)
{
    const std::string label = "  " + std::string(e.name) + (e.valueName ? std::string(" ") + e.valueName : "");
    const std::string text = std::string(e.help).substr(0, std::string(e.help).find('\n'));
    for (const std::string &line : splitLines(help))
        if (line.rfind(label + " ", 0) == 0 && line.size() > label.size() + text.size() &&
            line.compare(line.size() - text.size(), text.size(), text) == 0 &&
            line.find_first_not_of(' ', label.size()) == line.size() - text.size())
            return true;
    return false;
}

TEST(IsscheckTable, EachEntryParsesIsRefusedOutOfRangeAndHasItsHelpLine)
{
    const std::string help = printed(isscheckHelp);
    for (size_t i = 0; i < kIsscheckEntryCount; ++i) {
        const IsscheckEntry &e = kIsscheckEntries[i];
        SCOPED_TRACE(e.name);
        EXPECT_TRUE(helpHasLineFor(help, e)) << help;
        if (e.value == kNumber) {
            // the range the help states is the range the parser takes
            EXPECT_NE(std::string(e.help).find("from " + std::to_string(e.lowest) + " to " + std::to_string(e.highest)),
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
        } else if (e.value == kText) {
            const std::string longest(e.highest, 'x');
            Parsed p = parse({e.name, longest});
            EXPECT_EQ(p.status, 0) << p.complaint;
            EXPECT_EQ(p.settings.command, e.command);
            EXPECT_EQ(p.settings.*(e.text), longest);
            expectRefused({e.name, longest + "x"});
            expectRefused({e.name});
        } else {
            Parsed p = parse({e.name});
            EXPECT_EQ(p.status, 0) << p.complaint;
            EXPECT_EQ(p.settings.command, e.command);
            expectRefused({e.name, "extra"}); // it takes no value
        }
    }
}

} // namespace
