// Tests the error lines on the console and in the tag file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "diag.h"
#include "globals.h"
#include "tagfile.h"
#include "testutil.h"

namespace {

class TagLineTest : public testing::Test {
protected:
    void SetUp() override
    {
        initTornaGlobals();
        char pattern[] = "/tmp/torna-tag.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        tempDir = pattern;
        ASSERT_EQ(chdir(tempDir.c_str()), 0);
    }

    void TearDown() override
    {
        ASSERT_EQ(chdir("/"), 0);
        std::string command = "rm -rf '" + tempDir + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    std::string tempDir;
};

std::string readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST_F(TagLineTest, FormatsTheLineTheOptimizerReads)
{
    EXPECT_EQ(formatTagLine(ReportedError{"prog.qsm", 120, ErrBranchRange, "FAR"}),
              "prog.qsm 120 E18: branch out of range \"FAR\"\n");
    EXPECT_EQ(formatTagLine(ReportedError{"inc/defs.inc", 7, ErrUndefinedSymbol, "X"}),
              "inc/defs.inc 7 E03: undefined symbol \"X\"\n");
    EXPECT_EQ(formatTagLine(ReportedError{"p.i", 3, ErrBranchRange, "*+200"}),
              "p.i 3 E18: branch out of range \"*+200\"\n");
}

TEST_F(TagLineTest, EveryMessageLeavesTheLastColonAfterTheNumber)
{
    for (int code = 1; code <= 18; ++code) {
        std::string message = errorMessage(code);
        EXPECT_EQ(message.find(':'), std::string::npos) << code;
        EXPECT_EQ(message.find('"'), std::string::npos) << code;
    }
    EXPECT_EQ(safeErrorText("A:B\"C\tD"), "A.B'C?D");
}

TEST_F(TagLineTest, ReportsOnTheConsoleAndInTheTagFile)
{
    testing::internal::CaptureStdout();
    reportError("prog.qsm", 12, ErrDuplicateLabel, "LOOP");
    reportError("sub.inc", 3, ErrUnknownMnemonic, "X:Y");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "prog.qsm(12): E004: duplicate label \"LOOP\"\n"
              "sub.inc(3): E001: unknown mnemonic \"X.Y\"\n");
    EXPECT_EQ(errorCount, 2);
    ASSERT_TRUE(writeTagFile("prog.tag"));
    EXPECT_EQ(readFile("prog.tag"),
              "prog.qsm 12 E04: duplicate label \"LOOP\"\n"
              "sub.inc 3 E01: unknown mnemonic \"X.Y\"\n");
}

TEST_F(TagLineTest, NamesIncludeFilesByThePathThatOpened)
{
    ASSERT_EQ(system("mkdir inc && printf '\\tBEQ\\tFAR\\n' > inc/far.inc"), 0);
    includeDirs.push_back("inc");
    testing::internal::CaptureStdout();
    assembleSource("\tINCLUDE\t\"far.inc\"\n\tINCLUDE\t\"none.inc\"\n\tDS\t200\nFAR:\tRTS\n");
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(tagLines(),
              "t.qsm 2 E05: include file not found \"none.inc\"\n"
              "inc/far.inc 1 E18: branch out of range \"FAR\"\n");
}

TEST_F(TagLineTest, RefusesAFileThatIncludesItself)
{
    ASSERT_EQ(system("printf '\\tINCLUDE\\t\"self.inc\"\\n' > self.inc"), 0);
    testing::internal::CaptureStdout();
    assembleSource("\tINCLUDE\t\"self.inc\"\n");
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(tagLines(), "self.inc 1 E11: include files nested too deeply \"self.inc\"\n");
}

}  // namespace
