// Tests of the search for earlier runs' labels and of the stop on a label defined twice.
#include "tagscan/labelscan.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/errorlist.h"
#include "common/globals.h"
#include "common/lineio.h"
#include "common/cleanup.h"
#include "common/messages.h"
#include "rewrite/labelbook.h"
#include "tagscan/tagreader.h"

#include "scratchdir.h"

namespace {

constexpr size_t Chunk = 1 << 16;  // the search's chunk size: heads are cut at its edges

class LabelScan : public testing::Test {
protected:
    void SetUp() override {
        initGlobals();
        releaseFileList();
        startLabelScan();
        enterScratchDir(scratch, "kelvad-labels");
    }
    void TearDown() override {
        closeAll();
        releaseFileList();
        startLabelScan();
        initGlobals();
        leaveScratchDir(scratch);
    }
    static void writeFile(const char* name, const std::string& text) {
        std::ofstream(name, std::ios::binary) << text;
    }
    static int highestIn(const std::string& text) {
        writeFile("s.qsm", text);
        attachStream(SourceSlot, fopen("s.qsm", "rb"));
        int highest = highestLabelIn(SourceSlot);
        closeStream(SourceSlot);
        return highest;
    }
    // Runs the check; the exit status it ended with, or -1, and what it printed.
    static int stopStatus(std::string& out) {
        testing::internal::CaptureStdout();
        int status = -1;
        try {
            stopOnRedefinedLabels();
        } catch (const ExitRequest& request) {
            status = request.status;
        }
        out = testing::internal::GetCapturedStdout();
        return status;
    }
    ScratchDir scratch;
};

TEST_F(LabelScan, OnlyLinesBeginningWithHeadDigitsAndColonCount) {
    EXPECT_EQ(highestIn(""), 0);
    EXPECT_EQ(highestIn("..lop7:"), 7);
    EXPECT_EQ(highestIn("\tNOP\n..lop3:\tNOP\n..lop12:\r\n..lop5:\n"), 12);
    EXPECT_EQ(highestIn("L..lop10:\n..lopX:\n\t..lop20:\n..lop30\n;..lop40:\n..lop:\n..LOP60:\n"
                        "\tBEQ\t..lop70\n..lop 80:\n..lop..lop90:\n..lop1"), 0);
    // Leading zeros name another label, but counting them as the number is safe.
    EXPECT_EQ(highestIn("..lop0012:\n"), 12);
    EXPECT_EQ(highestIn("..lop65534:\n..lop123456789012345678901234567890:\n"), 65535);
}

TEST_F(LabelScan, HeadsAndDigitsCutByTheChunkEdgeAreFoundWhole) {
    for (size_t cut = 0; cut <= 10; ++cut) {
        SCOPED_TRACE(cut);
        std::string filler(Chunk - cut - 1, 'x');
        EXPECT_EQ(highestIn(filler + "\n..lop4321:\n"), 4321);
        EXPECT_EQ(highestIn(filler + "y..lop4321:\n"), 0);
        EXPECT_EQ(highestIn(filler + "\n..lop4321\n"), 0);
    }
    // Digits that run over the edge into the next chunk, and a label right behind them.
    EXPECT_EQ(highestIn(std::string(Chunk - 6, 'x') + "\n..lop123..lop999:\n..lop45:\n"), 45);
    // Three chunks of digits: the label's value is held, not overflowed.
    EXPECT_EQ(highestIn("..lop" + std::string(3 * Chunk, '9') + ":\n"), 65535);
}

TEST_F(LabelScan, EachFileIsSearchedOncePerRunAndOnlyRaisesLabelNo) {
    workName = "prog.qsm";
    writeFile("prog.qsm", "..lop4:\n");
    writeFile("a.inc", "..lop9:\n");
    labelNo = 6;
    skipEarlierLabels();
    EXPECT_EQ(labelNo, 6);
    addBranchError("a.inc", 1, "FAR");
    skipEarlierLabels();
    EXPECT_EQ(labelNo, 9);
    releaseFileList();
    writeFile("prog.qsm", "..lop30:\n");
    addBranchError("missing.inc", 1, "FAR");
    skipEarlierLabels();
    EXPECT_EQ(labelNo, 9);
    startLabelScan();
    skipEarlierLabels();
    EXPECT_EQ(labelNo, 30);
}

TEST_F(LabelScan, ReportedBranchToANearOwnLabelStopsWithErrorSeventeen) {
    noteLabelTaken(3);
    long lineNo = 0;
    for (const char* target : {"..lop2", "..lop03", "..lop3x", "L..lop3", "..lop", "..lop99999"})
        addBranchError("a.qsm", ++lineNo, target);
    std::string out;
    EXPECT_EQ(stopStatus(out), -1);
    addBranchError("b.qsm", 8, "..lop3");
    EXPECT_EQ(stopStatus(out), ExitSource);
    EXPECT_EQ(out, " Error : Label '..lop3' is defined more than once\n\n");
}

TEST(LabelBook, FirstLabelOfAChainOfMoreThanFortyOneLinesMayBeOutOfReach) {
    forgetOwnLabels();
    EXPECT_FALSE(isNearOwnLabel(1));
    noteLabelTaken(1);  // a chain of 41 lines: 40 stand between its first line and label 1
    noteLabelTaken(2);
    for (int line = 2; line <= 41; ++line)
        noteChainLine(1);
    EXPECT_TRUE(isNearOwnLabel(1));
    noteLabelTaken(3);  // a chain of 42 lines
    for (int line = 2; line <= 42; ++line)
        noteChainLine(3);
    EXPECT_FALSE(isNearOwnLabel(3));
    EXPECT_TRUE(isNearOwnLabel(2));
    EXPECT_FALSE(isNearOwnLabel(0));
    EXPECT_FALSE(isNearOwnLabel(65536));
    forgetOwnLabels();
    EXPECT_FALSE(isNearOwnLabel(2));
}

}  // namespace
