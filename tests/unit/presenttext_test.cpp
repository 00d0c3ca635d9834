// Tests of the stamps that tell whether a source still holds the text the assembler read.
#include "rewrite/presenttext.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "scratchdir.h"

namespace {

class PresentText : public testing::Test {
protected:
    void SetUp() override { enterScratchDir(scratch, "kelvad-present"); }
    void TearDown() override { leaveScratchDir(scratch); }
    static void writeFile(const char* name, const std::string& text) {
        std::ofstream(name, std::ios::binary) << text;
    }
    ScratchDir scratch;
};

TEST_F(PresentText, AWriteOrAReplacementSinceTheStampIsAChange) {
    writeFile("a.qsm", "\tBEQ\tFAR\n");
    writeFile("b.qsm", "\tNOP\n");
    writeFile("c.qsm", "\tNOP\n");
    writeFile("other.qsm", "\tNOP\n");
    stampFiles({"a.qsm", "b.qsm", "c.qsm", "gone.qsm"});
    EXPECT_FALSE(changedSinceStamp("a.qsm"));
    EXPECT_FALSE(changedSinceStamp("./a.qsm"));  // another spelling of a stamped file
    writeFile("a.qsm", "\tNOP\n\tBEQ\tFAR\n");  // written in place, one line more
    EXPECT_TRUE(changedSinceStamp("a.qsm"));
    EXPECT_TRUE(changedSinceStamp("./a.qsm"));
    writeFile("new.qsm", "\tNOP\n");
    ASSERT_EQ(rename("new.qsm", "b.qsm"), 0);  // replaced by a file of the same text
    EXPECT_TRUE(changedSinceStamp("b.qsm"));
    // Unknown files are taken as they stand; a missing one is left to the open that reads it.
    EXPECT_FALSE(changedSinceStamp("other.qsm"));
    ASSERT_EQ(remove("c.qsm"), 0);
    EXPECT_TRUE(changedSinceStamp("c.qsm"));
    EXPECT_FALSE(changedSinceStamp("gone.qsm"));
    stampFiles({"a.qsm"});
    EXPECT_FALSE(changedSinceStamp("a.qsm"));
}

TEST_F(PresentText, TheSearchSeesChangesByOthersButNotItsOwn) {
    writeFile("s.inc", "..lop3:\n");
    noteSearchedText("s.inc");
    EXPECT_FALSE(searchedTextChanged("s.inc"));
    EXPECT_FALSE(searchedTextChanged("never.inc"));
    writeFile("s.inc", "..lop3:\n..lop4:\n");
    EXPECT_TRUE(searchedTextChanged("s.inc"));
    noteOwnText("s.inc");
    EXPECT_FALSE(searchedTextChanged("s.inc"));
}

TEST_F(PresentText, TheFirstStaleFileIsKept) {
    forgetStaleReport();
    EXPECT_EQ(staleReportFile(), "");
    noteStaleReport("a.qsm");
    noteStaleReport("b.qsm");
    EXPECT_EQ(staleReportFile(), "a.qsm");
    forgetStaleReport();
    EXPECT_EQ(staleReportFile(), "");
}

}  // namespace
