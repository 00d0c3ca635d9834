// Tests of the structured-statement keyword classification.
#include "common/keyword.h"

#include <gtest/gtest.h>

#include <string>

#include "common/records.h"

namespace {

int classify(const std::string& line) { return classifyKeyword(line.data(), line.size()); }

struct KeywordRow {
    const char* line;
    int code;
};

}  // namespace

TEST(ClassifyKeyword, EveryKeywordInAnyLetterCase) {
    const KeywordRow cases[] = {
        {"\tIF\tA,EQ,#0\n", KeywordIf},      {"\telse\n", KeywordElse},
        {"\tSwItCh\tA\n", KeywordSwitch},    {"\tcase\t#1\n", KeywordCase},
        {"\tDEFAULT\n", KeywordDefault},     {"\tFor\tX,#0,#9\n", KeywordFor},
        {"\tNEXT\n", KeywordNext},           {"\tdo\n", KeywordDo},
        {"\twhile\tA,NE,#0\n", KeywordWhile}, {"\tBREAK\n", KeywordBreak},
        {"\tContinue\n", KeywordContinue},   {"IF\n", KeywordIf},
    };
    for (const KeywordRow& c : cases)
        EXPECT_EQ(classify(c.line), c.code) << c.line;
}

TEST(ClassifyKeyword, TheWordEndsAtTheFirstNonLetter) {
    const KeywordRow cases[] = {
        {"\tIF.EQ\n", KeywordIf},       {"\tFOR2\n", KeywordFor},
        {"\tDO_LOOP\n", KeywordDo},     {"\tCASE[1]\n", KeywordCase},
        {"\tIF\xe9\n", KeywordIf},      {"\tWHILE;wait\n", KeywordWhile},
        {"\tIFF\n", KeywordNone},       {"\tXIF\n", KeywordNone},
        {"\tDONE\n", KeywordNone},      {"\tCONTINUED\n", KeywordNone},
        {"\tBEQ\tFAR\n", KeywordNone},  {"\t\xc9" "F\n", KeywordNone},
        {"\tDEFAULTS\n", KeywordNone},  {"\tSWITCHBOARDS\n", KeywordNone},
    };
    for (const KeywordRow& c : cases)
        EXPECT_EQ(classify(c.line), c.code) << c.line;
}

TEST(ClassifyKeyword, ALabelAndItsColonArePassedOver) {
    const KeywordRow cases[] = {
        {"L1:\tSWITCH\tA\n", KeywordSwitch},
        {"L1: \t case\n", KeywordCase},
        {"L1:DO\n", KeywordDo},
        {"  X: NEXT\n", KeywordNext},
        // Any colon before the comment counts, even one inside an operand.
        {"\tLDA\tX:WHILE\n", KeywordWhile},
        {"\tIF\tA:1\n", KeywordNone},
        {"IF:\n", KeywordNone},
        {"IF: BEQ\n", KeywordNone},
        // A colon inside the comment does not.
        {"\tELSE\t; see: below\n", KeywordElse},
    };
    for (const KeywordRow& c : cases)
        EXPECT_EQ(classify(c.line), c.code) << c.line;
}

TEST(ClassifyKeyword, CommentsLineEndsAndEmptyLines) {
    const KeywordRow cases[] = {
        {"; IF\n", KeywordNone},     {"\t;ELSE\n", KeywordNone}, {"", KeywordNone},
        {"\n", KeywordNone},         {"\r\n", KeywordNone},      {" \t \n", KeywordNone},
        {"\tELSE\r\n", KeywordElse}, {"\tDO", KeywordDo},        {"\tBREAK\r", KeywordBreak},
    };
    for (const KeywordRow& c : cases)
        EXPECT_EQ(classify(c.line), c.code) << c.line;
}

TEST(ClassifyKeyword, LooksOnlyAtTheGivenSize) {
    std::string line = "\tIFX:ELSE";
    EXPECT_EQ(classifyKeyword(line.data(), 3), KeywordIf);
    EXPECT_EQ(classifyKeyword(line.data(), 4), KeywordNone);
    EXPECT_EQ(classifyKeyword(line.data(), line.size()), KeywordElse);
}

TEST(ClassifyKeyword, ALongLineIsOneLine) {
    std::string line = "\tNEXT\t" + std::string(5000, 'A') + "\n";
    EXPECT_EQ(classify(line), KeywordNext);
    EXPECT_EQ(classify(std::string(5000, 'I') + "\n"), KeywordNone);
    EXPECT_EQ(classify(std::string(5000, 'x') + ":FOR\n"), KeywordFor);
}

// The words that only open or close a statement are known to the nesting scan
// alone: for every other use they are no keyword.
TEST(ClassifyKeyword, NestingWordsAreSeenOnlyByTheNestingScan) {
    const KeywordRow cases[] = {
        {"\tENDS\n", KeywordEndSwitch},      {"L1:\tlswitch\tA\n", KeywordLongSwitch},
        {"\tLFor\tX,1\t;x\n", KeywordLongFor}, {"\tLDO \t;gen\n", KeywordLongDo},
        {"\tENDSW\n", KeywordNone},          {"\tLDOX\n", KeywordNone},
        {"\tDO\n", KeywordDo},               {"\tENDIF\n", KeywordNone},
    };
    for (const KeywordRow& c : cases) {
        std::string line = c.line;
        EXPECT_EQ(classifyNestingWord(line.data(), line.size()), c.code) << c.line;
        EXPECT_EQ(classify(c.line), c.code <= KeywordContinue ? c.code : KeywordNone) << c.line;
    }
}
