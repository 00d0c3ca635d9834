// Tests of the search for earlier runs' labels and of the stop on a label defined twice.
#include "tagscan/labelscan.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/cleanup.h"
#include "common/errorlist.h"
#include "common/globals.h"
#include "common/lineio.h"
#include "common/messages.h"
#include "rewrite/labelbook.h"
#include "tagscan/programfiles.h"
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
    static int stopStatus(std::string& out, std::string& err) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        int status = -1;
        try {
            stopOnGeneratedTargets();
        } catch (const ExitRequest& request) {
            status = request.status;
        }
        out = testing::internal::GetCapturedStdout();
        err = testing::internal::GetCapturedStderr();
        return status;
    }
    ScratchDir scratch;
};

TEST_F(LabelScan, OnlyLinesBeginningWithHeadDigitsAndColonCount) {
    EXPECT_EQ(highestIn(""), 0);
    EXPECT_EQ(highestIn("..lop7:"), 7);
    EXPECT_EQ(highestIn("\tNOP\n..lop3:\tNOP\n..lop12:\r\n..lop5:\n"), 12);
    EXPECT_EQ(highestIn("L..lop10:\n..lopX:\n..lop30\n;..lop40:\n..lop:\n..LOP60:\n"
                        "\tBEQ\t..lop70\n..lop 80:\n..lop..lop90:\nX ..lop95:\n..lop1"), 0);
    // The assembler takes a label after leading blanks too.
    EXPECT_EQ(highestIn("\t..lop20:\n \t\f..lop21:\tNOP\r\n"), 21);
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

TEST_F(LabelScan, ReportedBranchToAGeneratedLabelStopsWithErrorSeventeen) {
    workName = "prog.qsm";
    writeFile("prog.qsm", "\tINCLUDE \"a.inc\"\n..lop3:\n");
    writeFile("a.inc", "  ..lop3:\n..lop30:\n");
    writeFile("b.inc", "..lop3:\n");
    long lineNo = 0;
    for (const char* target : {"..lop3x", "L..lop3", "..lop", "..LOP3", "FAR"})
        addBranchError("prog.qsm", ++lineNo, target);
    std::string out, err;
    skipEarlierLabels();
    EXPECT_EQ(stopStatus(out, err), -1);
    // Whichever run wrote it: a label no search found stops the run all the same.
    addBranchError("prog.qsm", 8, "..lop3");
    EXPECT_EQ(stopStatus(out, err), ExitSource);
    EXPECT_EQ(out, " Error : Label '..lop3' is defined more than once\n\n");
    EXPECT_EQ(err, "'..lop3' is defined in 'prog.qsm', 'a.inc'\n");
    releaseFileList();
    addBranchError("prog.qsm", 8, "..lop7");
    EXPECT_EQ(stopStatus(out, err), ExitSource);
    EXPECT_EQ(out, " Error : Label '..lop7' is defined more than once\n\n");
    EXPECT_EQ(err, "");
}

TEST_F(LabelScan, IncludedFilesAreSearchedThroughTheAssemblersFolders) {
    workName = "prog.qsm";
    std::filesystem::create_directories("lib/deep");
    writeFile("prog.qsm", "\tinclude\t\"one.inc\"\t; first\nL1: INCLUDE \"two.inc\"\n;\tINCLUDE \"no.inc\"\n"
                          "\tDB \"INCLUDE \\\"no.inc\\\"\"\nINCLUDE EQU 3\n");
    writeFile("one.inc", "..lop4:\n\tINCLUDE \"prog.qsm\"\n");
    writeFile("lib/two.inc", "\tINCLUDE \"three.inc\"\n");
    writeFile("lib/deep/three.inc", "..lop12:\n");
    writeFile("lib/deep/two.inc", "..lop90:\n");
    writeFile("no.inc", "..lop99:\n");
    const char* words[] = {"torna", "-Ilib", "-Ilib/deep/", "-e", "prog.qsm", nullptr};
    for (int i = 0; words[i] || (argvPass[i] = nullptr, false); ++i)
        argvPass[i] = words[i];
    std::vector<std::string> expected = {"prog.qsm", "one.inc", "lib/two.inc", "lib/deep/three.inc"};
    EXPECT_EQ(programFiles(), expected);
    skipEarlierLabels();
    EXPECT_EQ(labelNo, 12);
    EXPECT_EQ(searchedFileNames(), expected);
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
