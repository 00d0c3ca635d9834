// Tests the expansion of structured statements, their long forms and the ".i" text.
#include <gtest/gtest.h>

#include "globals.h"
#include "testutil.h"

namespace {

class StructuredTest : public testing::Test {
protected:
    void SetUp() override { initTornaGlobals(); }

    // Assembles at $1000 and gives the bytes; the console output lands in output.
    std::string assemble(const std::string& text)
    {
        bool preprocessed = optPreprocessed;
        initTornaGlobals();
        optPreprocessed = preprocessed;
        testing::internal::CaptureStdout();
        std::string bytes = hexBytes(assembleSource("\tORG\t$1000\n" + text));
        output = testing::internal::GetCapturedStdout();
        return bytes;
    }

    std::string output;
};

TEST_F(StructuredTest, IfBranchesOnTheInverseCondition)
{
    // BNE over the body; ELSE ends the body with BRA over the else part.
    EXPECT_EQ(assemble("\tIF\tEQ\n\tNOP\n\tELSE\n\tINX\n\tENDIF\n"), "D0 03 EA 80 01 E8");
    EXPECT_EQ(assemble("\tif\tcs\n\tNOP\n\tendif\n"), "90 01 EA");
    EXPECT_EQ(assemble("\tLIF\tMI\n\tNOP\n\tLELSE\n\tINX\n\tENDIF\n"), "30 03 4C 09 10 EA 4C 0A 10 E8");
}

TEST_F(StructuredTest, LowerOrSameTakesThreeBranches)
{
    EXPECT_EQ(assemble("\tIF\tLE\n\tNOP\n\tENDIF\n"), "F0 04 90 02 80 01 EA");
    EXPECT_EQ(assemble("\tLIF\tLE\n\tNOP\n\tENDIF\n"), "F0 05 90 03 4C 08 10 EA");
    initTornaGlobals();
    EXPECT_EQ(preprocessSource("\tIF\tLE\n\tNOP\n\tENDIF\n"),
              ";\tIF\tLE\n\tBEQ\t*+6\n\tBCC\t*+4\n\tBRA\t.L1\n\tNOP\n;\tENDIF\n.L1:\n");
}

TEST_F(StructuredTest, SwitchComparesEachCaseAndEndsEachBody)
{
    EXPECT_EQ(assemble("\tSWITCH\n\tCASE\t1\n\tNOP\n\tCASE\t2\n\tINX\n\tDEFAULT\n\tINY\n\tENDS\n"),
              "C9 01 D0 03 EA 80 08 C9 02 D0 03 E8 80 01 C8");
    EXPECT_EQ(assemble("\tLSWITCH\n\tCASE\t1\n\tNOP\n\tDEFAULT\n\tINY\n\tENDS\n"),
              "C9 01 F0 03 4C 0B 10 EA 4C 0C 10 C8");
}

TEST_F(StructuredTest, LoopsBranchBackAndBreakLeaves)
{
    EXPECT_EQ(assemble("\tFOR\tX,3\n\tNOP\n\tNEXT\n"), "A2 03 EA CA D0 FC");
    EXPECT_EQ(assemble("\tLFOR\tY,3\n\tNOP\n\tNEXT\n"), "A0 03 EA 88 F0 03 4C 02 10");
    EXPECT_EQ(assemble("\tDO\n\tDEX\n\tWHILE\tNE\n"), "CA D0 FD");
    EXPECT_EQ(assemble("\tLDO\n\tDEX\n\tWHILE\tNE\n"), "CA F0 03 4C 00 10");
    EXPECT_EQ(assemble("\tDO\n\tDEX\n\tWHILE\tLE\n"), "CA F0 FD 90 FB");
    EXPECT_EQ(assemble("\tLDO\n\tDEX\n\tWHILE\tLE\n"), "CA F0 02 B0 03 4C 00 10");
    EXPECT_EQ(assemble("\tDO\n\tBREAK\n\tCONTINUE\n\tWHILE\tEQ\n"), "80 04 80 00 F0 FA");
    EXPECT_EQ(assemble("\tFOR\tX,2\n\tLCONTINUE\n\tLBREAK\n\tNEXT\n"), "A2 02 4C 08 10 4C 0B 10 CA D0 F7");
    EXPECT_EQ(output, "");
}

TEST_F(StructuredTest, BreakLeavesTheInnermostLoopOrSwitch)
{
    // CONTINUE passes over the SWITCH to the DO's WHILE.
    EXPECT_EQ(assemble("\tDO\n\tSWITCH\n\tCASE\t1\n\tBREAK\n\tCONTINUE\n\tENDS\n\tWHILE\tEQ\n"),
              "C9 01 D0 04 80 02 80 00 F0 F6");
}

TEST_F(StructuredTest, GeneratedBranchOutOfRangeIsReportedOnItsDirective)
{
    assemble("\tIF\tEQ\n\tDS\t200\n\tELSE\n\tDS\t200\n\tENDIF\n\tDO\n\tDS\t200\n\tWHILE\tNE\n"
             "\tSWITCH\n\tCASE\t1\n\tDS\t200\n\tCASE\t2\n\tDS\t200\n\tENDS\n");
    EXPECT_EQ(tagLines(),
              "t.qsm 2 E18: branch out of range \".I1\"\n"
              "t.qsm 4 E18: branch out of range \".I2\"\n"
              "t.qsm 9 E18: branch out of range \".D3\"\n"
              "t.qsm 11 E18: branch out of range \".S5\"\n"
              "t.qsm 13 E18: branch out of range \".S4\"\n"
              "t.qsm 13 E18: branch out of range \".S6\"\n");
}

TEST_F(StructuredTest, LongFormsReachEverywhere)
{
    assemble("\tLIF\tEQ\n\tDS\t200\n\tLELSE\n\tDS\t200\n\tENDIF\n\tLDO\n\tDS\t200\n\tWHILE\tLE\n"
             "\tLSWITCH\n\tCASE\t1\n\tDS\t200\n\tCASE\t2\n\tENDS\n\tLFOR\tX,1\n\tDS\t200\n\tNEXT\n");
    EXPECT_EQ(tagLines(), "");
}

TEST_F(StructuredTest, ReportsUnmatchedDirectives)
{
    assemble("\tENDIF\n\tIF\tEQ\n\tELSE\n\tELSE\n\tNEXT\n\tBREAK\n\tIF\tXX\n\tENDIF\n\tDO\n\tCONTINUE\n");
    EXPECT_EQ(tagLines(),
              "t.qsm 2 E06: unmatched structured statement \"ENDIF\"\n"
              "t.qsm 5 E06: unmatched structured statement \"ELSE\"\n"
              "t.qsm 6 E06: unmatched structured statement \"NEXT\"\n"
              "t.qsm 7 E06: unmatched structured statement \"BREAK\"\n"
              "t.qsm 8 E02: bad operand \"XX\"\n"
              "t.qsm 3 E06: unmatched structured statement \"IF\"\n"
              "t.qsm 10 E06: unmatched structured statement \"DO\"\n"
              // The ELSE and CONTINUE branch to labels that the missing ENDIF and WHILE would place.
              "t.qsm 4 E03: undefined symbol \".I2\"\n"
              "t.qsm 11 E03: undefined symbol \".D4\"\n");
}

TEST_F(StructuredTest, PreprocessedSourceKeepsLinesAndLabels)
{
    std::string text = "START:\tDO\t; loop\r\n\tDEX\r\n\tWHILE\tNE\r\n\tRTS";
    EXPECT_EQ(preprocessSource(text),
              ";START:\tDO\t; loop\r\nSTART:\r\n.L1:\r\n\tDEX\r\n;\tWHILE\tNE\r\n\tBNE\t.L1\r\n\tRTS");
}

TEST_F(StructuredTest, PreprocessedSourceRefusesStructuredDirectives)
{
    optPreprocessed = true;
    EXPECT_EQ(assemble("\tIF\tEQ\n\tNOP\n\tENDIF\n"), "EA");
    EXPECT_EQ(tagLines(),
              "t.qsm 2 E07: structured statement in preprocessed source \"IF\"\n"
              "t.qsm 4 E07: structured statement in preprocessed source \"ENDIF\"\n");
}

TEST_F(StructuredTest, LinesAfterEndAreNotExpanded)
{
    EXPECT_EQ(preprocessSource("\tNOP\n\tEND\n\tIF\tEQ\n"), "\tNOP\n\tEND\n\tIF\tEQ\n");
    EXPECT_EQ(tagLines(), "");
}

}  // namespace
