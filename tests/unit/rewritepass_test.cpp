// Tests of the two rewrite passes on whole files in a scratch directory.
#include "rewrite/rewritepass.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "common/globals.h"
#include "common/records.h"
#include "driver/cleanup.h"
#include "rewrite/mnemonics.h"
#include "tagscan/errorlist.h"
#include "tagscan/sourcescan.h"
#include "tagscan/tagreader.h"

namespace fs = std::filesystem;

namespace {

const std::string G = ";This is the line which kelvad generated\n";

void writeFile(const std::string& name, const std::string& text) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string readFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The error of `file` reported on `line` (as the tag file gave it).
BranchError* findError(const char* file, long line) {
    for (SourceFileRecord* record = fileList.next; record; record = record->next) {
        if (strcmp(record->fileName, file) != 0)
            continue;
        for (BranchError* error = record->errorHead; error; error = error->next)
            if (error->lineNo == line)
                return error;
    }
    return nullptr;
}

// Runs a pass and gives the status of its fatal exit, or -1 when it returned.
int statusOf(void (*pass)()) {
    try {
        pass();
    } catch (const ExitRequest& request) {
        return request.status;
    }
    return -1;
}

class RewritePass : public testing::Test {
protected:
    void SetUp() override {
        initGlobals();
        jumpChain = JumpChainWords;
        char pattern[] = "/tmp/kelvad-rewritepass.XXXXXX";
        scratch = mkdtemp(pattern);
        home = fs::current_path();
        fs::current_path(scratch);
    }

    void TearDown() override {
        releaseFileList();
        fs::current_path(home);
        fs::remove_all(scratch);
    }

    // Scans and rewrites in normal mode: the pass as the pass loop calls it.
    void scanAndRewrite() {
        scanSources();
        rewriteSources();
    }

    // Reports every given line of one file with one target, then scans and rewrites.
    std::string rewriteOne(const std::string& text, std::initializer_list<long> lines, const char* target) {
        writeFile("prog.qsm", text);
        for (long line : lines)
            addBranchError("prog.qsm", line, target);
        scanAndRewrite();
        return readFile("prog.qsm");
    }

    fs::path scratch;
    fs::path home;
};

// ---- plain errors: copying, held lines and the expansion in place

TEST_F(RewritePass, ExpandsTwoBranchesOfAnEightLineFile) {
    writeFile("prog.qsm",
              "\tLDA\t#1\n\tBEQ\tFAR\n\tNOP\n\tNOP\n\tLDX\t#2\nLOOP:\tBCC\tFAR2\t; back\n\tNOP\n\tRTS\n");
    addBranchError("prog.qsm", 6, "FAR2");
    addBranchError("prog.qsm", 2, "FAR");
    scanAndRewrite();
    EXPECT_EQ(readFile("prog.qsm"),
              "\tLDA\t#1\n"
              "\tBNE\t..lop1\t" + G + "\tJMP\tFAR\t" + G + "..lop1:\n"
              "\tNOP\n\tNOP\n\tLDX\t#2\n"
              "LOOP:\tBCS\t..lop2\t" + G + "     \tJMP\tFAR2\t; back\n..lop2:\n"
              "\tNOP\n\tRTS\n");
    EXPECT_EQ(labelNo, 2);
    EXPECT_EQ(fileList.next, nullptr);
    EXPECT_EQ(sourceLineNo, 0);
    EXPECT_EQ(sourceOpen, 0);
    EXPECT_EQ(outputOpen, 0);
    EXPECT_FALSE(fs::exists("tmpbra00"));
}

TEST_F(RewritePass, HoldsTheLinesBeforeEarlyBranchLines) {
    const std::string expansion = "\tBNE\t..lop1\t" + G + "\tJMP\tFAR\t" + G + "..lop1:\n";
    EXPECT_EQ(rewriteOne("\tBEQ\tFAR\n\tRTS\n", {1}, "FAR"), expansion + "\tRTS\n");
    labelNo = 0;
    EXPECT_EQ(rewriteOne("\tNOP\n\tBEQ\tFAR\n", {2}, "FAR"), "\tNOP\n" + expansion);
    labelNo = 0;
    EXPECT_EQ(rewriteOne("A\n\tNOP\n\tBEQ\tFAR\n", {3}, "FAR"), "A\n\tNOP\n" + expansion);
}

TEST_F(RewritePass, BitTestLowerCaseLabelAndEmptyComment) {
    writeFile("prog.qsm", "\tbbs\t3,FLAGS,LABEL1\n\tNOP\nLONGLABEL:  bmi  FAR ;\n");
    addBranchError("prog.qsm", 1, "LABEL1");
    addBranchError("prog.qsm", 3, "FAR");
    scanAndRewrite();
    EXPECT_EQ(readFile("prog.qsm"),
              "\tBBC\t3,FLAGS,..lop1\t" + G + "\tJMP\tLABEL1\t" + G + "..lop1:\n"
              "\tNOP\n"
              "LONGLABEL:  BPL\t..lop2\t" + G + "            JMP\tFAR\t" + G + "..lop2:\n");
}

TEST_F(RewritePass, CommentOptionEchoesTheBranchLine) {
    optComment = 1;
    EXPECT_EQ(rewriteOne("X:\tBEQ\tFAR\t; wait\n", {1}, "FAR"),
              ";X:\tBEQ\tFAR\t; wait\n"
              "X:\tBNE\t..lop1\t" + G + "  \tJMP\tFAR\t" + G + "..lop1:\n");
}

// ---- chains of adjacent branches to one target

TEST_F(RewritePass, ChainsOfTwoAndThreeShareOneJump) {
    labelNo = 6;
    EXPECT_EQ(rewriteOne("\tLDA\t#0\n\tBEQ\tFAR\n\tBCS\tFAR\n\tRTS\n", {2, 3}, "FAR"),
              "\tLDA\t#0\n"
              "\tBEQ\t..lop7\t" + G + "\tBCC\t..lop8\t" + G + "..lop7:\n\tJMP\tFAR\t" + G + "..lop8:\n"
              "\tRTS\n");
    EXPECT_EQ(chainNext, 0);
    EXPECT_EQ(chainPrev, 1);

    initGlobals();
    jumpChain = JumpChainWords;
    EXPECT_EQ(rewriteOne("\tBEQ\tFAR\n\tBMI\tFAR\n\tBCS\tFAR\n", {3, 1, 2}, "FAR"),
              "\tBEQ\t..lop1\t" + G + "\tBMI\t..lop1\t" + G +
              "\tBCC\t..lop2\t" + G + "..lop1:\n\tJMP\tFAR\t" + G + "..lop2:\n");
}

TEST_F(RewritePass, ChainBrokenByAnotherTarget) {
    writeFile("prog.qsm", "\tBCC\tfar\n\tBEQ\tfar\n\tBNE\tother\n");
    addBranchError("prog.qsm", 1, "far");
    addBranchError("prog.qsm", 2, "far");
    addBranchError("prog.qsm", 3, "other");
    scanAndRewrite();
    EXPECT_EQ(readFile("prog.qsm"),
              "\tBCC\t..lop1\t" + G +
              "\tBNE\t..lop2\t" + G + "..lop1:\n\tJMP\tfar\t" + G + "..lop2:\n"
              "\tBEQ\t..lop3\t" + G + "\tJMP\tother\t" + G + "..lop3:\n");
}

TEST_F(RewritePass, BraBesideAConditionalBranchNeverChains) {
    const std::string conditional = "\tBNE\t..lop1\t" + G + "\tJMP\tFAR\t" + G + "..lop1:\n";
    const std::string jump = "\tJMP\tFAR\t" + G;
    EXPECT_EQ(rewriteOne("\tBRA\tFAR\n\tBEQ\tFAR\n", {1, 2}, "FAR"), jump + conditional);
    labelNo = 0;
    EXPECT_EQ(rewriteOne("\tBEQ\tFAR\n\tBRA\tFAR\n", {1, 2}, "FAR"), conditional + jump);
}

TEST_F(RewritePass, LabelNumbersGoOnAcrossFilesAndPasses) {
    writeFile("a.qsm", "\tBEQ\tX\n");
    writeFile("b.qsm", "\tNOP\n\tBNE\tY\n");
    addBranchError("a.qsm", 1, "X");
    addBranchError("b.qsm", 2, "Y");
    scanAndRewrite();
    EXPECT_EQ(readFile("a.qsm"), "\tBNE\t..lop1\t" + G + "\tJMP\tX\t" + G + "..lop1:\n");
    EXPECT_EQ(readFile("b.qsm"), "\tNOP\n\tBEQ\t..lop2\t" + G + "\tJMP\tY\t" + G + "..lop2:\n");

    // The next pass reports the first file again: numbering goes on.
    writeFile("a.qsm", "\tBMI\tZ\n");
    addBranchError("a.qsm", 1, "Z");
    scanAndRewrite();
    EXPECT_EQ(readFile("a.qsm"), "\tBPL\t..lop3\t" + G + "\tJMP\tZ\t" + G + "..lop3:\n");
}

// ---- the dot-operand rule: merged lines, held relative skips

TEST_F(RewritePass, DotOperandLineMergesIntoTheExpansionBelow) {
    writeFile("prog.qsm", "\tLDA\t#1\n\tNOP\n\tBEQ\t.A1\n\tBNE\tFAR\n\tRTS\n");
    addBranchError("prog.qsm", 3, ".A1");
    addBranchError("prog.qsm", 4, "FAR");
    scanAndRewrite();
    EXPECT_EQ(readFile("prog.qsm"),
              "\tLDA\t#1\n\tNOP\n\tBEQ\t.A1\n"
              "\tBEQ\t..lop1\t" + G + "\tJMP\tFAR\t" + G + "..lop1:\n\tRTS\n");
}

TEST_F(RewritePass, DotOperandWithoutErrorBelowGrowsTheHeldSkips) {
    labelNo = 8;
    EXPECT_EQ(rewriteOne("\tLDX\t#0\n\tBEQ\t*+6\n\tBCC\t*+4\n\tBRA\t.LABEL3\n\tRTS\n", {4}, ".LABEL3"),
              "\tLDX\t#0\n"
              "\tBEQ\t..lop9\t" + G + "\tBCC\t*+5\t" + G + "\tJMP\t.LABEL3\t" + G + "..lop9:\n"
              "\tRTS\n");
    labelNo = 8;
    EXPECT_EQ(rewriteOne("\tBEQ\t*+6\n\tLDA\t#1\n\tBRA\t.LABEL3\n", {3}, ".LABEL3"),
              "\tBEQ\t*+6\n\tLDA\t#1\n\tJMP\t.LABEL3\t" + G);
    EXPECT_EQ(labelNo, 8);
}

TEST_F(RewritePass, ThreeDotOperandLinesMergeOnlyOnce) {
    writeFile("prog.qsm", "\tBRA\t.X1\n\tBRA\t.X2\n\tBRA\t.X3\n");
    addBranchError("prog.qsm", 1, ".X1");
    addBranchError("prog.qsm", 2, ".X2");
    addBranchError("prog.qsm", 3, ".X3");
    scanAndRewrite();
    EXPECT_EQ(readFile("prog.qsm"), "\tBRA\t.X1\n\tJMP\t.X2\t" + G + "\tJMP\t.X3\t" + G);
}

TEST_F(RewritePass, ChainMemberWithDotOperandIsNotMerged) {
    EXPECT_EQ(rewriteOne("\tBEQ\t.X\n\tBNE\t.X\n", {1, 2}, ".X"),
              "\tBEQ\t..lop1\t" + G + "\tBEQ\t..lop2\t" + G + "..lop1:\n\tJMP\t.X\t" + G + "..lop2:\n");
}

// ---- errors the walk leaves alone

TEST_F(RewritePass, ErrorPastTheEndTakesNoPartInAChain) {
    const std::string expansion = "\tBNE\t..lop1\t" + G + "\tJMP\tFAR\t" + G + "..lop1:\n";
    EXPECT_EQ(rewriteOne("\tBEQ\tFAR\n", {1, 2}, "FAR"), expansion);
    EXPECT_EQ(chainNext, 0);
    labelNo = 0;
    EXPECT_EQ(rewriteOne("\tNOP\n\tBEQ\tFAR\n", {9, 2, 40}, "FAR"), "\tNOP\n" + expansion);
}

TEST_F(RewritePass, UnannotatedErrorsAreSkipped) {
    writeFile("prog.qsm", "\tBEQ\tFAR\n\tBNE\tFAR\n\tRTS\n");
    addBranchError("prog.qsm", 1, "FAR");
    addBranchError("prog.qsm", 2, "FAR");
    addBranchError("prog.qsm", 0, "FAR");
    addBranchError("prog.qsm", -3, "FAR");
    scanSources();
    // As the scan leaves an error it never reached, whatever its number says.
    findError("prog.qsm", 2)->lineFound = 0;
    rewriteSources();
    EXPECT_EQ(readFile("prog.qsm"),
              "\tBNE\t..lop1\t" + G + "\tJMP\tFAR\t" + G + "..lop1:\n\tBNE\tFAR\n\tRTS\n");
}

TEST_F(RewritePass, FileWhoseErrorsAreAllSkippedIsStillReplaced) {
    const std::string text = "\tSWITCH\tA\n\tCASE\t1\n\tCASE\t2\n";
    writeFile("prog.qsm", text);
    addBranchError("prog.qsm", 2, ".S1");
    addBranchError("prog.qsm", 3, ".S2");
    scanSources();
    // Both stand for an owner line that an earlier error already has.
    findError("prog.qsm", 1)->duplicate = 1;
    BranchError* second = findError("prog.qsm", 1)->next;
    ASSERT_NE(second, nullptr);
    second->duplicate = 1;
    struct stat before;
    ASSERT_EQ(stat("prog.qsm", &before), 0);
    rewriteSources();
    struct stat after;
    ASSERT_EQ(stat("prog.qsm", &after), 0);
    EXPECT_EQ(readFile("prog.qsm"), text);
    EXPECT_NE(before.st_ino, after.st_ino);
    EXPECT_FALSE(fs::exists("tmpbra00"));
}

// ---- structured errors: long forms

TEST_F(RewritePass, WritesEveryLongForm) {
    writeFile("prog.qsm",
              "\tIF\tX\n"
              "START:\tIF\tX\t;c\n"
              "\tIF\tX;\n"
              "\tELSE\n"
              "\tSWITCH\tA\n"
              "\tCASE\t1\n"
              "\tCASE\t2\n"
              "\tDEFAULT\n"
              "\tFOR\tI=1,3\n"
              "\tNEXT\n"
              "\tDO\n"
              "\tBREAK\n"
              "\tCONTINUE\n"
              "\tWHILE\tZ\n"
              "\tif\tY\n");
    const char* targets[] = {".I1", ".I2", ".I3", ".I4", nullptr, ".S1", ".S2", ".S3",
                             nullptr, ".F1", nullptr, ".D1", ".D2", ".D3", ".I5"};
    for (long line = 15; line >= 1; --line)
        if (targets[line - 1])
            addBranchError("prog.qsm", line, targets[line - 1]);
    scanAndRewrite();
    EXPECT_EQ(readFile("prog.qsm"),
              "\tLIF X\t" + G +
              "START:\tLIF X\t\t" + G +
              "\tLIF X\t" + G +
              "\tLELSE \t" + G +
              "\tLSWITCH A\t" + G +
              "\tCASE\t1\n\tCASE\t2\n\tDEFAULT\n"
              "\tLFOR I=1,3\t" + G +
              "\tNEXT\n"
              "\tLDO \t" + G +
              "\tLBREAK \t" + G +
              "\tLCONTINUE \t" + G +
              "\tWHILE\tZ\n"
              "\tLif Y\t" + G);
}

TEST_F(RewritePass, LongFormWithCommentOption) {
    optComment = 1;
    EXPECT_EQ(rewriteOne("\tNOP\n\tIF\tX\t; test\n", {2}, ".I1"), "\tNOP\n;\tIF\tX\t; test\n\tLIF X\t\t" + G);
}

TEST_F(RewritePass, SharedOwnerLineIsLengthenedOnce) {
    writeFile("prog.qsm", "\tSWITCH\tA\n\tCASE\t1\n\tDO\n\tWHILE\tP\n\tWHILE\tQ\n\tBEQ\tFAR\n");
    addBranchError("prog.qsm", 5, ".D2");
    addBranchError("prog.qsm", 2, ".S1");
    addBranchError("prog.qsm", 1, ".S1");
    addBranchError("prog.qsm", 4, ".D1");
    addBranchError("prog.qsm", 6, "FAR");
    scanAndRewrite();
    EXPECT_EQ(readFile("prog.qsm"),
              "\tLSWITCH A\t" + G + "\tCASE\t1\n\tLDO \t" + G + "\tWHILE\tP\n\tWHILE\tQ\n"
              "\tBNE\t..lop1\t" + G + "\tJMP\tFAR\t" + G + "..lop1:\n");
}

TEST_F(RewritePass, CaseInASecondFileLengthensItsOwnSwitch) {
    writeFile("a.qsm", "\tNOP\n\tSWITCH\tA\n\tCASE\t1\n");
    writeFile("b.qsm", "\tLDA\t#1\n\tSWITCH\tB\n\tDEFAULT\n");
    addBranchError("a.qsm", 3, ".S1");
    addBranchError("b.qsm", 3, ".S2");
    scanAndRewrite();
    EXPECT_EQ(readFile("a.qsm"), "\tNOP\n\tLSWITCH A\t" + G + "\tCASE\t1\n");
    EXPECT_EQ(readFile("b.qsm"), "\tLDA\t#1\n\tLSWITCH B\t" + G + "\tDEFAULT\n");
}

// ---- line ends

TEST_F(RewritePass, CrlfFileGetsCrlfOnEveryWrittenLine) {
    std::string g = G;
    g.insert(g.size() - 1, "\r");
    EXPECT_EQ(rewriteOne("\tNOP\r\n\tNOP\r\n\tNOP\r\n\tNOP\r\n\tBEQ\tFAR ; x\r\n\tRTS", {5}, "FAR"),
              "\tNOP\r\n\tNOP\r\n\tNOP\r\n\tNOP\r\n"
              "\tBNE\t..lop1\t" + g + "\tJMP\tFAR\t; x\r\n..lop1:\r\n\tRTS");
    writeFile("p2.qsm", "\tNOP\r\n\tIF\tX\r\n");
    addBranchError("p2.qsm", 2, ".I1");
    scanAndRewrite();
    EXPECT_EQ(readFile("p2.qsm"), "\tNOP\r\n\tLIF X\t" + g);
}

TEST_F(RewritePass, BranchOnALastLineWithoutLineEnd) {
    EXPECT_EQ(rewriteOne("\tNOP\n\tBEQ\tFAR ;x", {2}, "FAR"),
              "\tNOP\n\tBNE\t..lop1\t" + G + "\tJMP\tFAR\t;x\n..lop1:\n");
}

// ---- failures: what is reported and what remains

TEST_F(RewritePass, NonBranchLineStopsWithTheSourceUnchanged) {
    writeFile("prog.qsm", "\tLDA\tFAR\n");
    addBranchError("prog.qsm", 1, "FAR");
    scanSources();
    testing::internal::CaptureStdout();
    EXPECT_EQ(statusOf(rewriteSources), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " Error : Illegal source file\n\n");
    EXPECT_EQ(readFile("prog.qsm"), "\tLDA\tFAR\n");
    EXPECT_FALSE(fs::exists("tmpbra00"));
}

TEST_F(RewritePass, JumpLineStopsAndNoDeleteKeepsTheTemporary) {
    optNoDelete = 1;
    writeFile("prog.qsm", "\tNOP\n\tJMP\tFAR\n");
    addBranchError("prog.qsm", 2, "FAR");
    scanSources();
    testing::internal::CaptureStdout();
    EXPECT_EQ(statusOf(rewriteSources), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " Error : Can't translate\n\n");
    EXPECT_EQ(readFile("prog.qsm"), "\tNOP\n\tJMP\tFAR\n");
    EXPECT_EQ(readFile("tmpbra00"), "\tNOP\n");
}

TEST_F(RewritePass, OwnerLineWithoutKeywordStops) {
    writeFile("prog.qsm", "\tIF\tX\n");
    addBranchError("prog.qsm", 1, ".I1");
    scanSources();
    writeFile("prog.qsm", "\tLDA\tX\n");  // changed behind the scan's back
    testing::internal::CaptureStdout();
    EXPECT_EQ(statusOf(rewriteSources), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " Error : Illegal source file\n\n");
    EXPECT_EQ(readFile("prog.qsm"), "\tLDA\tX\n");
}

TEST_F(RewritePass, MissingSecondFileLeavesTheFirstReplaced) {
    writeFile("a.qsm", "\tBEQ\tX\n");
    writeFile("b.qsm", "\tBEQ\tY\n");
    addBranchError("a.qsm", 1, "X");
    addBranchError("b.qsm", 1, "Y");
    scanSources();
    fs::remove("b.qsm");
    testing::internal::CaptureStdout();
    EXPECT_EQ(statusOf(rewriteSources), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " Error : Can't open file 'b.qsm'\n\n");
    EXPECT_EQ(readFile("a.qsm"), "\tBNE\t..lop1\t" + G + "\tJMP\tX\t" + G + "..lop1:\n");
}

TEST_F(RewritePass, TemporaryThatIsADirectory) {
    fs::create_directory("tmpbra00");
    writeFile("prog.qsm", "\tBEQ\tX\n");
    addBranchError("prog.qsm", 1, "X");
    scanSources();
    testing::internal::CaptureStdout();
    EXPECT_EQ(statusOf(rewriteSources), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " Error : Can't create Tmporary file\n\n");
    EXPECT_EQ(readFile("prog.qsm"), "\tBEQ\tX\n");
    EXPECT_TRUE(fs::is_directory("tmpbra00"));
}

TEST_F(RewritePass, SourceReadErrorStopsWithStatusThree) {
    // Reading a directory fails where opening it succeeds.
    fs::create_directory("dir.qsm");
    addBranchError("dir.qsm", 1, "X");
    fileList.next->errorHead->lineFound = 1;
    fileList.next->errorHead->mnemonicCode = 2;
    testing::internal::CaptureStdout();
    EXPECT_EQ(statusOf(rewriteSources), 3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " Error : Not enough memory\n\n");
    EXPECT_TRUE(fs::is_directory("dir.qsm"));
    EXPECT_FALSE(fs::exists("tmpbra00"));
}

TEST_F(RewritePass, OutputWriteErrorLeavesTheTemporary) {
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "\tNOP\t; line of some length\n";
    writeFile("prog.qsm", text + "\tBEQ\tX\n");
    addBranchError("prog.qsm", 20001, "X");
    scanSources();
    // Writes past the file size limit fail (with the signal ignored).
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    testing::internal::CaptureStdout();
    int status = statusOf(rewriteSources);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(status, 3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " Error : Can't create Tmporary file\n\n");
    EXPECT_EQ(readFile("prog.qsm"), text + "\tBEQ\tX\n");
    EXPECT_TRUE(fs::exists("tmpbra00"));
}

TEST_F(RewritePass, UnreplaceableSourceKeepsTheTextInTheTemporary) {
    // Another file system refuses the rename, and the file takes no writes.
    addBranchError("/proc/version", 999999, "X");
    std::string text = readFile("/proc/version");
    scanSources();
    testing::internal::CaptureStdout();
    EXPECT_EQ(statusOf(rewriteSources), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " Error : Can't create file '/proc/version'\n\n");
    EXPECT_EQ(readFile("tmpbra00"), text);
}

// ---- replacing the file

TEST_F(RewritePass, ReplacedFileKeepsItsPermissionBits) {
    writeFile("prog.qsm", "\tBEQ\tX\n");
    ASSERT_EQ(chmod("prog.qsm", 0640), 0);
    rewriteOne("\tBEQ\tX\n", {1}, "X");
    struct stat info;
    ASSERT_EQ(stat("prog.qsm", &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(RewritePass, TemporaryLinkIsNeverWrittenThrough) {
    writeFile("victim", "keep\n");
    fs::create_symlink("victim", "tmpbra00");
    EXPECT_EQ(rewriteOne("\tBEQ\tX\n", {1}, "X"), "\tBNE\t..lop1\t" + G + "\tJMP\tX\t" + G + "..lop1:\n");
    EXPECT_EQ(readFile("victim"), "keep\n");
    EXPECT_FALSE(fs::exists(fs::symlink_status("tmpbra00")));
}

TEST_F(RewritePass, SourceOnAnotherFileSystemGetsItsText) {
    char pattern[] = "/dev/shm/kelvad-rewritepass.XXXXXX";
    if (!fs::is_directory("/dev/shm") || !mkdtemp(pattern))
        GTEST_SKIP() << "no /dev/shm";
    fs::path elsewhere = pattern;
    std::string source = (elsewhere / "prog.qsm").string();
    struct stat here, there;
    ASSERT_EQ(stat(".", &here), 0);
    ASSERT_EQ(stat(pattern, &there), 0);
    if (here.st_dev == there.st_dev) {
        fs::remove_all(elsewhere);
        GTEST_SKIP() << "/dev/shm is on the file system of the scratch directory";
    }
    writeFile(source, "\tBEQ\tX\n");
    chmod(source.c_str(), 0604);
    addBranchError(source.c_str(), 1, "X");
    scanAndRewrite();
    std::string text = readFile(source);
    struct stat info;
    stat(source.c_str(), &info);
    fs::remove_all(elsewhere);
    EXPECT_EQ(text, "\tBNE\t..lop1\t" + G + "\tJMP\tX\t" + G + "..lop1:\n");
    EXPECT_EQ(info.st_mode & 07777, 0604u);
    EXPECT_FALSE(fs::exists("tmpbra00"));
}

// ---- ASM mode: the same walk without long forms

TEST_F(RewritePass, AsmModeExpandsPlainErrorsAsNormalModeDoes) {
    const std::string text = "\tBEQ\tFAR\n\tBCS\tFAR\n\tNOP\n\tLDA\t#1\n\tBRA\tNEAR\n\tBBS\t1,Z,FAR\n";
    writeFile("prog.i", text);
    for (long line : {1, 2, 5, 6})
        addBranchError("prog.i", line, line == 5 ? "NEAR" : "FAR");
    scanSources();
    rewriteAsmSources();
    EXPECT_EQ(fileList.next, nullptr);
    const std::string asmText = readFile("prog.i");
    EXPECT_EQ(asmText, "\tBEQ\t..lop1\t" + G + "\tBCC\t..lop2\t" + G + "..lop1:\n\tJMP\tFAR\t" + G + "..lop2:\n"
                       "\tNOP\n\tLDA\t#1\n\tJMP\tNEAR\t" + G +
                       "\tBBC\t1,Z,..lop3\t" + G + "\tJMP\tFAR\t" + G + "..lop3:\n");
    initGlobals();
    jumpChain = JumpChainWords;
    writeFile("prog.qsm", text);
    for (long line : {1, 2, 5, 6})
        addBranchError("prog.qsm", line, line == 5 ? "NEAR" : "FAR");
    scanAndRewrite();
    EXPECT_EQ(readFile("prog.qsm"), asmText);
}

TEST_F(RewritePass, AsmModeStopsOnAStructuredErrorAndSkipsNoDuplicate) {
    const std::string text = "\tSWITCH\tA\n\tCASE\t1\n";
    writeFile("prog.i", text);
    addBranchError("prog.i", 2, ".S1");
    scanSources();
    fileList.next->errorHead->duplicate = 1;
    testing::internal::CaptureStdout();
    EXPECT_EQ(statusOf(rewriteAsmSources), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " Error : Illegal source file\n\n");
    EXPECT_EQ(readFile("prog.i"), text);
    EXPECT_FALSE(fs::exists("tmpbra00"));
}

TEST_F(RewritePass, AsmModeMergesADotOperandOwnerLine) {
    optComment = 1;
    writeFile("prog.i", "\tIF\t.C\n\tBEQ\tFAR\n");
    addBranchError("prog.i", 1, ".I1");
    addBranchError("prog.i", 2, "FAR");
    scanSources();
    rewriteAsmSources();
    EXPECT_EQ(readFile("prog.i"),
              "\tIF\t.C\n;\tBEQ\tFAR\n\tBNE\t..lop1\t" + G + "\tJMP\tFAR\t" + G + "..lop1:\n");
}

}  // namespace
