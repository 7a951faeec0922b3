// Settings lookup and listing, on the stored sample and on hand-made texts.
#include "capture_stdout.h"
#include "learn.h"
#include "stored_sample.h"

#include <gtest/gtest.h>
#include <string>

namespace {

std::string listToString(const char *text)
{
    StdoutCapture capture;
    learnList(nullptr, text);
    return capture.finish();
}

TEST(LearnValue, StoredSampleValues)
{
    EXPECT_EQ(sizeof kStoredSettings - 1, 678u);
    EXPECT_FLOAT_EQ(learnValue(kStoredSettings, ":TIM", "SCAL"), 2.5e-06f);
    EXPECT_FLOAT_EQ(learnValue(kStoredSettings, ":CHANnel2", "SCAL"), 2.0f);
    EXPECT_FLOAT_EQ(learnValue(kStoredSettings, ":CHANnel1", "OFFS"), 2.0f);
    EXPECT_EQ(learnValue(kStoredSettings, ":CHANnel1", "PROB"), 0.0f);
    EXPECT_EQ(learnValue(kStoredSettings, ":TIM", "SWE"), 0.0f);
    EXPECT_EQ(learnValue(kStoredSettings, ":TRIG", "LEV"), 0.0f);
    EXPECT_FLOAT_EQ(learnValue(kStoredSettings, ":DISP", ";CONT"), 20.0f);
}

TEST(LearnValue, SelfTestRowsOfTheProgram)
{
    EXPECT_EQ(learnValue(kStoredSettings, ";:CHAN", ";BW"), 0.0f);
    EXPECT_EQ(learnValue(kStoredSettings, " ", " "), 12340.0f);
    EXPECT_EQ(learnValue(kStoredSettings, ":WAV", " "), 12340.0f);
    EXPECT_EQ(learnValue(kStoredSettings, "", ":WAV"), 12340.0f);
}

TEST(LearnValue, KeyIsTakenFromTheFirstPlaceAtOrAfterTheHeader)
{
    // ":TIM" "SCAL" is the time base scale, not the later WINDow:SCALe
    const char *at = learnFind(kStoredSettings, ":TIM", "SCAL");
    ASSERT_NE(at, nullptr);
    EXPECT_EQ(std::string(at, 11), " 2.500e-06;");
    // a key found only in a later group is still taken
    EXPECT_FLOAT_EQ(learnValue(":A:X 1;:B:Y 2;KEY 7", ":A", "KEY"), 7.0f);
}

TEST(LearnValue, MissingPiecesGiveZero)
{
    EXPECT_EQ(learnFind(nullptr, ":TIM", "SCAL"), nullptr);
    EXPECT_EQ(learnValue(nullptr, ":TIM", "SCAL"), 0.0f);
    EXPECT_EQ(learnValue(kStoredSettings, ":NOPE", "SCAL"), 0.0f);
    EXPECT_EQ(learnValue("KEY 5;:HEAD:X 1", ":HEAD", "KEY"), 0.0f); // key only before the header
    EXPECT_EQ(learnValue(":HEAD:X 1;KEY", ":HEAD", "KEY"), 0.0f);   // no blank after the key
    EXPECT_EQ(learnValue(":HEAD;KEY abc", ":HEAD", "KEY"), 0.0f);   // not a number
}

TEST(LearnList, StoredSampleListingStartsAsTheInstrumentGroupsIt)
{
    std::string out = listToString(kStoredSettings);
    const std::string head = ":DISPlay:WAVeform 12340\n    ACCumulate 0\n    CONTrast 20\n    GRATicule 0\n"
                             ":CHANnel1:DISPlay 1\n    BWLimit 0\n";
    EXPECT_EQ(out.substr(0, head.size()), head);
    EXPECT_EQ(out.substr(out.size() - 5), ":RUN\n");
}

TEST(LearnList, EdgeTexts)
{
    EXPECT_EQ(listToString(""), "    \n");
    EXPECT_EQ(listToString(":A 1;B 2;"), ":A 1\n    B 2\n    \n");
    EXPECT_EQ(listToString(":A 1;;B 2"), ":A 1\n    \n    B 2\n");
    EXPECT_EQ(listToString(nullptr), "");
}

TEST(LearnList, WritesToAFileAndLeavesTheTextAsItWas)
{
    char text[] = ":A 1;B 2;:C 3";
    const std::string before = text;
    FILE *f = tmpfile();
    ASSERT_NE(f, nullptr);
    learnList(f, text);
    rewind(f);
    char buf[128] = {0};
    size_t n = fread(buf, 1, sizeof buf - 1, f);
    fclose(f);
    EXPECT_EQ(std::string(buf, n), ":A 1\n    B 2\n:C 3\n");
    EXPECT_EQ(std::string(text), before);
    // read-only text is accepted too: a literal goes straight in
    EXPECT_EQ(listToString(":X 1;Y 2"), ":X 1\n    Y 2\n");
}

} // namespace
