// Tests of settling the listed files: one record per file, the run's own files and special files refused.
#include "tagscan/listedfiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/cleanup.h"
#include "common/errorlist.h"
#include "common/globals.h"
#include "common/messages.h"
#include "tagscan/tagreader.h"

#include "scratchdir.h"

namespace {

constexpr int NoExit = -1;

class ListedFiles : public testing::Test {
protected:
    void SetUp() override {
        initGlobals();
        releaseFileList();
        enterScratchDir(scratch, "kelvad-listed");
        srcName = "prog";
        std::ofstream("prog.qsm") << "\tNOP\n";
    }
    void TearDown() override {
        releaseFileList();
        initGlobals();
        leaveScratchDir(scratch);
    }
    ScratchDir scratch;
};

// Runs the check; the fatal exit's status, or NoExit. What it printed goes to `printed`.
int check(std::string* printed = nullptr) {
    int status = NoExit;
    testing::internal::CaptureStdout();
    try {
        checkListedFiles();
    } catch (const ExitRequest& request) {
        status = request.status;
    }
    std::string output = testing::internal::GetCapturedStdout();
    if (printed)
        *printed = output;
    return status;
}

// Each record as "name:line=target,line=target".
std::vector<std::string> records() {
    std::vector<std::string> result;
    for (const SourceFileRecord* file = fileList.next; file; file = file->next) {
        std::string text = std::string(file->fileName) + ":";
        for (const BranchError* error = file->errorHead; error; error = error->next)
            text += std::to_string(error->lineNo) + "=" + error->target + (error->next ? "," : "");
        if (file->errorTail && file->errorTail->next)
            text += " (tail is not the last error)";
        result.push_back(text);
    }
    return result;
}

TEST_F(ListedFiles, TwoSpellingsBecomeOneRecordUnderTheFirstNameInLineOrder) {
    addBranchError("./prog.qsm", 9, "A");
    addBranchError("other.qsm", 1, "B");
    addBranchError("prog.qsm", 4, "C");
    addBranchError("prog.qsm", 9, "D");
    std::ofstream("other.qsm") << "\tNOP\n";
    EXPECT_EQ(check(), NoExit);
    EXPECT_EQ(records(), (std::vector<std::string>{"./prog.qsm:4=C,9=A", "other.qsm:1=B"}));
}

TEST_F(ListedFiles, HardLinkAndSymbolicLinkAreTheSameFile) {
    ASSERT_EQ(link("prog.qsm", "hard.qsm"), 0);
    ASSERT_EQ(symlink("prog.qsm", "soft.qsm"), 0);
    addBranchError("soft.qsm", 7, "A");
    addBranchError("hard.qsm", 2, "B");
    addBranchError("prog.qsm", 5, "C");
    EXPECT_EQ(check(), NoExit);
    EXPECT_EQ(records(), (std::vector<std::string>{"soft.qsm:2=B,5=C,7=A"}));
}

TEST_F(ListedFiles, MissingNamesAreLeftToTheScan) {
    addBranchError("gone.qsm", 1, "A");
    addBranchError("gone.qsm.", 2, "B");
    EXPECT_EQ(check(), NoExit);
    EXPECT_EQ(records(), (std::vector<std::string>{"gone.qsm:1=A", "gone.qsm.:2=B"}));
}

TEST_F(ListedFiles, OwnAndSpecialFilesAreRefusedWithError3) {
    std::ofstream("tmpbra00") << "\tNOP\n";
    std::ofstream("prog.tag") << "";
    ASSERT_EQ(mkfifo("pipe.qsm", 0600), 0);
    ASSERT_EQ(mkdir("folder.qsm", 0700), 0);
    ASSERT_EQ(symlink("folder.qsm", "tofolder.qsm"), 0);
    for (const char* name : {"tmpbra00", "./tmpbra00", "prog.tag", "pipe.qsm", "folder.qsm", "tofolder.qsm"}) {
        releaseFileList();
        addBranchError("prog.qsm", 1, "A");
        addBranchError(name, 1, "A");
        std::string printed;
        EXPECT_EQ(check(&printed), ExitSource) << name;
        EXPECT_EQ(printed, std::string(" Error : Can't open file '") + name + "'\n\n");
    }
}

TEST_F(ListedFiles, TheOpenTraceFileIsRefused) {
    traceStream = fopen("trace.out", "wb");
    ASSERT_NE(traceStream, nullptr);
    traceOn = 1;
    addBranchError("trace.out", 1, "A");
    int status = check();
    fclose(traceStream);
    traceStream = nullptr;
    traceOn = 0;
    EXPECT_EQ(status, ExitSource);
}

}  // namespace
