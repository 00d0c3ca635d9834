// Tests of the source scan: branch codes, keywords, owner lines and duplicates.
#include "rewrite/presenttext.h"
#include "tagscan/sourcescan.h"

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
#include "tagscan/tagreader.h"

#include "scratchdir.h"

namespace {

constexpr int NoExit = -1;

class SourceScan : public testing::Test {
protected:
    void SetUp() override {
        initGlobals();
        releaseFileList();
        enterScratchDir(scratch, "kelvad-scan");
    }
    void TearDown() override {
        if (traceStream)
            fclose(traceStream);
        releaseFileList();
        initGlobals();
        leaveScratchDir(scratch);
    }
    ScratchDir scratch;
};

void writeFile(const char* name, const std::string& text) {
    std::ofstream(name, std::ios::binary) << text;
}

// Runs the scan, which must print `printed` (nothing, unless it ends the run);
// the fatal exit's status, or NoExit.
int scan(const std::string& printed = "") {
    int status = NoExit;
    testing::internal::CaptureStdout();
    try {
        scanSources();
    } catch (const ExitRequest& request) {
        status = request.status;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), printed);
    return status;
}

// The errors of the file at `index` as "lineNo/keyword/mnemonicCode/duplicate/lineFound".
std::vector<std::string> annotations(int index = 0) {
    const SourceFileRecord* file = fileList.next;
    for (; index > 0 && file; --index)
        file = file->next;
    std::vector<std::string> result;
    if (!file)
        return result;
    for (const BranchError* error = file->errorHead; error; error = error->next)
        result.push_back(std::to_string(error->lineNo) + "/" + std::to_string(error->keyword) + "/" +
                         std::to_string(error->mnemonicCode) + "/" + std::to_string(error->duplicate) +
                         "/" + std::to_string(error->lineFound));
    return result;
}

using Lines = std::vector<std::string>;

}  // namespace

TEST_F(SourceScan, PlainErrorsGetTheInverseCodeOfTheirBranchWord) {
    writeFile("a.qsm",
              "\tBEQ\tFAR\n"          // 1
              "L2:\tbeq\tFAR\n"       // 2
              "\tBRA\tFAR\n"          // 3
              "\tjmp\tFAR\n"          // 4
              "\tLDA\t#1\n"           // 5
              "\tBBS\t3,FLAGS,FAR\n"  // 6
              "\tBEQXXXXXXXXX\tFAR\n" // 7: a word of more than 9 letters is no branch
              "\tBCC\tFAR\r\n"        // 8
              "\tIF\tA,EQ,#0\n");     // 9: a plain error on a keyword line is still plain
    for (long lineNo = 1; lineNo <= 9; ++lineNo)
        addBranchError("a.qsm", lineNo, "FAR");
    EXPECT_EQ(scan(), NoExit);
    EXPECT_EQ(annotations(), (Lines{"1/0/2/0/1", "2/0/2/0/1", "3/0/11/0/1", "4/0/11/0/1", "5/0/0/0/1",
                                    "6/0/10/0/1", "7/0/0/0/1", "8/0/4/0/1", "9/0/0/0/1"}));
    EXPECT_EQ(sourceOpen, 0);
}

TEST_F(SourceScan, CaseAndDefaultErrorsMoveToTheirSwitchLine) {
    writeFile("a.qsm",
              "\tSWITCH\tA\n"   // 1
              "\tCASE\t#1\n"    // 2
              "\tBNE\tFAR\n"    // 3
              "\tCASE\t#2\n"    // 4
              "\tDEFAULT\n"     // 5
              "\tENDS\n"        // 6
              "L7:\tswitch\tX\n" // 7
              "\tcase\t#1\n");  // 8
    addBranchError("a.qsm", 2, ".S1");
    addBranchError("a.qsm", 3, "FAR");
    addBranchError("a.qsm", 4, ".S1");
    addBranchError("a.qsm", 5, ".S1");
    addBranchError("a.qsm", 8, ".S2");
    EXPECT_EQ(scan(), NoExit);
    // CASE and DEFAULT count as one sort; a plain error between them changes
    // nothing. The errors end in the order of the lines they now stand for.
    EXPECT_EQ(annotations(), (Lines{"1/4/0/0/1", "1/4/0/1/1", "1/5/0/1/1", "3/0/1/0/1", "7/4/0/0/1"}));
}

TEST_F(SourceScan, NextAndWhileErrorsMoveToTheirForAndDoLines) {
    writeFile("a.qsm",
              "\tFOR\tX,#0,#9\n"  // 1
              "\tFOR\tY,#0,#9\n"  // 2
              "\tNEXT\n"          // 3
              "\tSWITCH\tA\n"     // 4
              "\tCASE\t#1\n"      // 5
              "\tNEXT\n"          // 6
              "\tDO\n"            // 7
              "\tWHILE\tA,NE,#0\n" // 8
              "\tWHILE\tB,NE,#0\n" // 9
              "\tCASE\t#2\n");     // 10
    addBranchError("a.qsm", 3, ".F1");
    addBranchError("a.qsm", 5, ".S1");
    addBranchError("a.qsm", 6, ".F1");
    addBranchError("a.qsm", 8, ".D1");
    addBranchError("a.qsm", 9, ".D1");
    addBranchError("a.qsm", 10, ".S1");
    EXPECT_EQ(scan(), NoExit);
    // Each NEXT closes its own FOR; the second WHILE finds no open DO and takes
    // the last DO line, with no duplicate test; a NEXT between two CASE errors
    // leaves theirs alone.
    EXPECT_EQ(annotations(), (Lines{"1/7/0/0/1", "2/7/0/0/1", "4/4/0/0/1", "4/4/0/1/1", "7/9/0/0/1",
                                    "7/9/0/0/1"}));
}

TEST_F(SourceScan, OtherKeywordsKeepTheirOwnLine) {
    writeFile("a.qsm", "\tIF\tA\n\tELSE\n\tSWITCH\tA\n\tFOR\tX\n\tDO\n\tBREAK\n\tCONTINUE\n");
    const char* const targets[] = {".I1", ".I1", ".S1", ".F1", ".D1", ".D1", ".F1"};
    for (long lineNo = 1; lineNo <= 7; ++lineNo)
        addBranchError("a.qsm", lineNo, targets[lineNo - 1]);
    EXPECT_EQ(scan(), NoExit);
    EXPECT_EQ(annotations(), (Lines{"1/1/0/0/1", "2/2/0/0/1", "3/3/0/0/1", "4/6/0/0/1", "5/8/0/0/1",
                                    "6/10/0/0/1", "7/11/0/0/1"}));
}

// A WHILE, NEXT, CASE or DEFAULT belongs to the innermost statement of its kind
// still open; long forms of earlier runs open statements too.
TEST_F(SourceScan, OwnersAreFoundByNesting) {
    struct Row {
        const char* what;
        const char* text;
        std::vector<std::pair<long, const char*>> errors;
        int status;
        const char* printed;
        Lines expected;
    };
    const Row rows[] = {
        {"outer WHILE of nested DOs", "\tDO\n\tDS\t130\n\tDO\n\tDEY\n\tWHILE\tNE\n\tDEX\n\tWHILE\tNE\n",
         {{7, ".D1"}}, NoExit, "", {"1/9/0/0/1"}},
        {"both NEXTs of nested FORs", "\tFOR\tX,2\n\tFOR\tY,3\n\tNOP\n\tNEXT\n\tNEXT\n", {{4, ".F2"}, {5, ".F1"}},
         NoExit, "", {"1/7/0/0/1", "2/7/0/0/1"}},
        {"CASE after an inner SWITCH", "\tSWITCH\n\tCASE\t1\n\tSWITCH\n\tCASE\t2\n\tENDS\n\tCASE\t3\n\tDEFAULT\n",
         {{6, ".S1"}, {7, ".S1"}}, NoExit, "", {"1/4/0/0/1", "1/5/0/1/1"}},
        {"LDO of an earlier run inside loops", "\tDO\n\tDO\n\tLDO\n\tWHILE\tNE\n\tWHILE\tEQ\n\tWHILE\tCC\n",
         {{5, ".D2"}}, NoExit, "", {"2/9/0/0/1"}},
        {"labels and letter case", "L1:\tfor\tX,1\nL2: lFoR Y,1\nL3:\tnext\nL4:\tNext\t; far\n",
         {{4, ".F1"}}, NoExit, "", {"1/7/0/0/1"}},
        {"crossed statements", "\tDO\n\tFOR\tX,1\n\tWHILE\tNE\n\tNEXT\n", {{3, ".D1"}, {4, ".F2"}}, NoExit,
         "", {"1/9/0/0/1", "2/7/0/0/1"}},
        {"no open SWITCH: the last one", "\tSWITCH\n\tENDS\n\tCASE\t1\n", {{3, ".S1"}}, NoExit, "", {"1/4/0/0/1"}},
        {"no SWITCH at all", "\tDO\n\tCASE\t1\n", {{2, ".S1"}}, 1, " Error : case not associated with switch\n\n",
         {"2/4/0/0/1"}},
        {"the innermost FOR already long", "\tFOR\tX,1\n\tLFOR\tY,1\n\tNEXT\n", {{3, ".F2"}}, 1,
         " Error : Illegal source file\n\n", {"3/7/0/0/1"}},
        {"ENDS reported", "\tSWITCH\n\tENDS\n", {{2, ".S1"}}, 1, " Error : Illegal source file\n\n",
         {"2/0/0/0/1"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        releaseFileList();
        writeFile("a.qsm", row.text);
        for (const auto& error : row.errors)
            addBranchError("a.qsm", error.first, error.second);
        EXPECT_EQ(scan(row.printed), row.status);
        EXPECT_EQ(annotations(), row.expected);
    }
}

TEST_F(SourceScan, ASwitchOnTheSameLineInAnotherFileIsNoDuplicate) {
    writeFile("a.qsm", "\tNOP\n\tSWITCH\tA\n\tCASE\t#1\n\tFOR\tX\n\tNEXT\n");
    writeFile("b.qsm", "\tNOP\n\tSWITCH\tB\n\tCASE\t#2\n\tFOR\tY\n\tNEXT\n");
    addBranchError("a.qsm", 3, ".S1");
    addBranchError("a.qsm", 5, ".F1");
    addBranchError("b.qsm", 3, ".S2");
    addBranchError("b.qsm", 5, ".F2");
    EXPECT_EQ(scan(), NoExit);
    EXPECT_EQ(annotations(0), (Lines{"2/4/0/0/1", "4/7/0/0/1"}));
    EXPECT_EQ(annotations(1), (Lines{"2/4/0/0/1", "4/7/0/0/1"}));
}

TEST_F(SourceScan, ErrorsAreTakenInLineOrder) {
    writeFile("a.qsm", "\tSWITCH\tA\n\tBEQ\tX\n\tCASE\t#1\n\tBNE\tY\n");
    addBranchError("a.qsm", 4, "Y");
    addBranchError("a.qsm", 3, ".S1");
    addBranchError("a.qsm", 2, "X");
    EXPECT_EQ(scan(), NoExit);
    EXPECT_EQ(annotations(), (Lines{"1/4/0/0/1", "2/0/2/0/1", "4/0/1/0/1"}));
}

TEST_F(SourceScan, ErrorsPastTheEndOrBelowLineOneStayUnannotated) {
    writeFile("a.qsm", "\tBEQ\tX\n\tBNE\tY");  // no line end on the last line
    addBranchError("a.qsm", 0, "X");
    addBranchError("a.qsm", -4, "X");
    addBranchError("a.qsm", 2, "Y");
    addBranchError("a.qsm", 3, "Z");
    addBranchError("a.qsm", 7, ".S1");
    EXPECT_EQ(scan(), NoExit);
    EXPECT_EQ(annotations(), (Lines{"-4/0/0/0/0", "0/0/0/0/0", "2/0/1/0/1", "3/0/0/0/0", "7/0/0/0/0"}));
}

TEST_F(SourceScan, LongLinesAndCrlfLinesCountAsOneLine) {
    std::string longLine = "\tLDA\t" + std::string(3000, 'A') + "\n";
    writeFile("a.qsm", longLine + "\tDO\r\n" + longLine + "\tWHILE\tA\r\n" + longLine + "\tBPL\tFAR\r\n");
    addBranchError("a.qsm", 4, ".D1");
    addBranchError("a.qsm", 6, "FAR");
    EXPECT_EQ(scan(), NoExit);
    EXPECT_EQ(annotations(), (Lines{"2/9/0/0/1", "6/0/5/0/1"}));
}

// Beyond the last structured error the scan only counts line ends: the counts
// must stay exact across read pieces and over a line longer than one piece.
TEST_F(SourceScan, LinesPassedOverAfterTheLastStructuredErrorKeepTheirNumbers) {
    std::string text = "\tSWITCH\tA\n\tCASE\t#1\n";  // lines 1 and 2
    long lineNo = 3;
    for (; lineNo < 20000; ++lineNo)
        text += std::string(lineNo % 37, ';') + "\n";
    text += "\tBEQ\tFAR\n";                            // 20000
    text += "\tLDA\t" + std::string(600000, 'A') + "\n"; // 20001: longer than a read piece
    for (lineNo = 20002; lineNo < 30000; ++lineNo)
        text += (lineNo % 2 ? "\tNOP\r\n" : "\tDO\n");
    text += "\tBNE\tFAR";                               // 30000, no line end
    writeFile("a.qsm", text);
    addBranchError("a.qsm", 2, ".S1");
    addBranchError("a.qsm", 20000, "FAR");
    addBranchError("a.qsm", 30000, "FAR");
    addBranchError("a.qsm", 30001, "FAR");
    EXPECT_EQ(scan(), NoExit);
    EXPECT_EQ(annotations(), (Lines{"1/4/0/0/1", "20000/0/2/0/1", "30000/0/1/0/1", "30001/0/0/0/0"}));
}

TEST_F(SourceScan, TracingWritesOneLinePerRead) {
    writeFile("a.qsm", "\tNOP\n\tBEQ\tX\n\tDO\n");
    writeFile("b.qsm", "\tDO\n\tWHILE\tA\n");
    addBranchError("a.qsm", 2, "X");
    addBranchError("a.qsm", 5, "Y");
    addBranchError("a.qsm", 6, "Z");
    addBranchError("b.qsm", 2, ".D1");
    traceStream = fopen("kelvad.ifo", "wb");
    traceOn = 1;
    EXPECT_EQ(scan(), NoExit);
    fclose(traceStream);
    traceStream = nullptr;
    traceOn = 0;
    std::ifstream in("kelvad.ifo", std::ios::binary);
    std::string trace((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(trace,
              "input line (a.qsm)[1]\n"
              "input line (a.qsm)[2]\n"
              "KELVAD(983)\n"
              "input line (a.qsm)[3]\n"
              "input line (a.qsm)[4]\n"
              "input line (a.qsm)[4]\n"
              "input line (b.qsm)[1]\n"
              "input line (b.qsm)[2]\n");
}

// A reported branch line must still name the reported target, as the assembler writes it.
TEST_F(SourceScan, ABranchLineNamingAnotherTargetMakesTheReportStale) {
    forgetStaleReport();
    writeFile("a.qsm",
              "\tbeq\t far \n"          // 1: letter case and blanks aside
              "L2:\tBBS\t3,FLAGS, Far\n"  // 2: a bit-test branch: after the last comma
              "\tBRA\tFAR\t; to FAR\n"    // 3
              "\tLDA\tNEAR\n");          // 4: no branch: left to the rewrite's own check
    for (long lineNo = 1; lineNo <= 4; ++lineNo)
        addBranchError("a.qsm", lineNo, "FAR");
    EXPECT_EQ(scan(), NoExit);
    EXPECT_EQ(staleReportFile(), "");
    releaseFileList();
    for (const char* line : {"\tBEQ\tFARTHER\n", "\tBBS\t3,FAR,NEAR\n", "\tBNE\tFAR+1\n"}) {
        writeFile("b.qsm", line);
        addBranchError("b.qsm", 1, "FAR");
        EXPECT_EQ(scan(), NoExit);
        EXPECT_EQ(staleReportFile(), "b.qsm") << line;
        forgetStaleReport();
        releaseFileList();
    }
}
