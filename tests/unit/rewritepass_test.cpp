// Tests of the two rewrite passes on whole files in a scratch directory.
#include "rewrite/presenttext.h"
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
#include <map>
#include <random>
#include <sstream>
#include <string>

#include "common/cleanup.h"
#include "common/errorlist.h"
#include "common/globals.h"
#include "common/records.h"
#include "rewrite/mnemonics.h"
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
        stampFiles({});  // no file known from an assembler run: every one is taken as it stands
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

// Most worked examples run as black-box cases (tests/cli/cases/4xx, 6xx); the tests
// here reach what those cannot: hand-made annotations, I/O failures, file systems.

// ---- the walk

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

// ---- errors the walk leaves alone

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

TEST_F(RewritePass, FileWhoseErrorsAreAllSkippedIsLeftAsItIs) {
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
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_FALSE(fs::exists("tmpbra00"));
}

TEST_F(RewritePass, FileThatShrankBeforeItsFirstErrorIsLeftAsItIs) {
    writeFile("prog.qsm", "\tNOP\n\tNOP\n\tBEQ\tX\n");
    addBranchError("prog.qsm", 3, "X");
    scanSources();
    // Cut short after the scan, as an editor saving at that moment would.
    ASSERT_EQ(truncate("prog.qsm", 5), 0);
    struct stat before;
    ASSERT_EQ(stat("prog.qsm", &before), 0);
    EXPECT_EQ(statusOf(rewriteSources), -1);
    struct stat after;
    ASSERT_EQ(stat("prog.qsm", &after), 0);
    EXPECT_EQ(readFile("prog.qsm"), "\tNOP\n");
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_FALSE(fs::exists("tmpbra00"));
    EXPECT_EQ(chainNext, 0);
}

// Random files and reports: whatever chains and merges occur, every generated
// label that the rewritten file branches to is defined there exactly once.
TEST_F(RewritePass, EveryGeneratedLabelIsDefinedOnce) {
    const char* const lines[] = {"\tBEQ\tFAR\n", "\tBNE\tFAR\n", "\tBCS\tNEAR\n", "\tBRA\tFAR\n",
                                 "\tBEQ\t.X\n",  "\tBRA\t.Y\n",  "\tBBS\t1,Z,FAR\n", "\tNOP\n",
                                 "\tBCC\t*+4\n", "\tBEQ\t*+6\n"};
    const char* const targets[] = {"FAR", "FAR", "NEAR", "FAR", ".X", ".Y", "FAR", nullptr, nullptr, nullptr};
    std::mt19937 random(11);
    for (int round = 0; round < 400; ++round) {
        std::string text;
        int count = 1 + random() % 12;
        for (int line = 1; line <= count; ++line) {
            size_t kind = random() % std::size(lines);
            text += lines[kind];
            if (targets[kind] && random() % 3 != 0)
                addBranchError("prog.qsm", line, targets[kind]);
        }
        if (random() % 4 == 0)
            addBranchError("prog.qsm", count + 1, "FAR");
        if (!fileList.next)
            continue;
        writeFile("prog.qsm", text);
        scanAndRewrite();
        std::map<int, int> defined, used;
        std::istringstream rewritten(readFile("prog.qsm"));
        for (std::string line; std::getline(rewritten, line);) {
            if (line.compare(0, 5, "..lop") == 0 && line.back() == ':') {
                ++defined[atoi(line.c_str() + 5)];
                continue;
            }
            for (size_t at = line.find("..lop"); at != std::string::npos; at = line.find("..lop", at + 5))
                ++used[atoi(line.c_str() + at + 5)];
        }
        for (const auto& [label, uses] : used)
            EXPECT_EQ(defined[label], 1) << "label " << label << " in:\n" << text;
        for (const auto& [label, definitions] : defined)
            EXPECT_TRUE(used.count(label)) << "label " << label << " in:\n" << text;
    }
}

// ---- failures: what is reported and what remains

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

// A NUL inside the word: the scan takes "BRA\0" for no branch, and so must the
// rewrite. Read as BRA, it once let the next line reuse label 1 in a chain the
// JMP never opened, defining ..lop1 twice.
TEST_F(RewritePass, WordWithANulIsNoBranch) {
    const char raw[] = "\tBEQ\tFAR\n\tNOP\n\tBRA\0\tFAR\n\tBEQ\tFAR\n";
    const std::string text(raw, sizeof raw - 1);
    writeFile("prog.qsm", text);
    for (long line : {1, 3, 4})
        addBranchError("prog.qsm", line, "FAR");
    testing::internal::CaptureStdout();
    EXPECT_EQ(statusOf([] { scanSources(); rewriteSources(); }), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " Error : Illegal source file\n\n");
    EXPECT_EQ(readFile("prog.qsm"), text);
    EXPECT_FALSE(fs::exists("tmpbra00"));
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

TEST_F(RewritePass, UnreplaceableFileWithNothingHandledIsNotTouched) {
    // Another file system would refuse the rename, and the file takes no writes;
    // with its only error past its end there is nothing to put in place.
    addBranchError("/proc/version", 999999, "X");
    scanSources();
    testing::internal::CaptureStdout();
    EXPECT_EQ(statusOf(rewriteSources), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(fs::exists("tmpbra00"));
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
