// Tests of the branch error list: its release and the stable sort by line.
#include "common/errorlist.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "common/globals.h"
#include "tagscan/tagreader.h"

namespace {

class ErrorList : public testing::Test {
protected:
    void SetUp() override {
        initGlobals();
        releaseFileList();
    }
    void TearDown() override { releaseFileList(); }
};

// Line numbers and targets of a file's errors, in list order; checks that the
// tail is the last error.
std::vector<std::pair<long, std::string>> errorsOf(const SourceFileRecord* file) {
    std::vector<std::pair<long, std::string>> errors;
    const BranchError* last = nullptr;
    for (const BranchError* error = file->errorHead; error; error = error->next) {
        errors.emplace_back(error->lineNo, error->target);
        last = error;
    }
    EXPECT_EQ(file->errorTail, last);
    return errors;
}

}  // namespace

TEST_F(ErrorList, SortsByLineAndKeepsTheOrderOfEqualLines) {
    addBranchError("a.qsm", 40, "A");
    addBranchError("a.qsm", 12, "B");
    addBranchError("a.qsm", 30, "C");
    addBranchError("a.qsm", 7, "D");
    SourceFileRecord* file = fileList.next;
    // The scan gives owner lines to CASE errors, so equal numbers do occur.
    file->errorHead->next->next->lineNo = 12;
    sortErrorsByLine(file);
    std::vector<std::pair<long, std::string>> expected = {{7, "D"}, {12, "B"}, {12, "C"}, {40, "A"}};
    EXPECT_EQ(errorsOf(file), expected);
}

TEST_F(ErrorList, SortsEmptyAndOneErrorLists) {
    addBranchError("a.qsm", 5, "X");
    SourceFileRecord* file = fileList.next;
    sortErrorsByLine(file);
    EXPECT_EQ(errorsOf(file), (std::vector<std::pair<long, std::string>>{{5, "X"}}));
    SourceFileRecord empty{};
    sortErrorsByLine(&empty);
    EXPECT_EQ(empty.errorHead, nullptr);
    EXPECT_EQ(empty.errorTail, nullptr);
}

TEST_F(ErrorList, SortMatchesAStableSortOnManyErrors) {
    std::vector<std::pair<long, std::string>> expected;
    for (long i = 0; i < 5000; ++i) {
        long lineNo = (i * 7919) % 4001 - 3;  // some negative, some repeated
        std::string target = "T" + std::to_string(i);
        addBranchError("a.qsm", i + 1, target.c_str());
        expected.emplace_back(lineNo, target);
    }
    SourceFileRecord* file = fileList.next;
    long i = 0;
    for (BranchError* error = file->errorHead; error; error = error->next, ++i)
        error->lineNo = expected[i].first;
    sortErrorsByLine(file);
    std::stable_sort(expected.begin(), expected.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    EXPECT_EQ(errorsOf(file), expected);
}

TEST_F(ErrorList, ReleaseEmptiesTheListAndANewListStartsAfresh) {
    addBranchError("a.qsm", 5, "X");
    addBranchError("b.qsm", 6, "Y");
    releaseFileList();
    EXPECT_EQ(fileList.next, nullptr);
    releaseFileList();
    EXPECT_EQ(fileList.next, nullptr);
    // Lines and files known before the release count as new again.
    addBranchError("b.qsm", 6, "Z");
    addBranchError("a.qsm", 5, "W");
    ASSERT_NE(fileList.next, nullptr);
    EXPECT_STREQ(fileList.next->fileName, "b.qsm");
    EXPECT_EQ(errorsOf(fileList.next), (std::vector<std::pair<long, std::string>>{{6, "Z"}}));
    ASSERT_NE(fileList.next->next, nullptr);
    EXPECT_STREQ(fileList.next->next->fileName, "a.qsm");
    EXPECT_EQ(fileList.next->next->next, nullptr);
}

TEST_F(ErrorList, TargetsLongerThanAPoolBlockStayWhole) {
    std::string longTarget(100000, 'L');  // longer than a block of the pool
    addBranchError("a.qsm", 1, "A");
    addBranchError("a.qsm", 2, longTarget.c_str());
    addBranchError("a.qsm", 3, "C");
    EXPECT_EQ(errorsOf(fileList.next),
              (std::vector<std::pair<long, std::string>>{{1, "A"}, {2, longTarget}, {3, "C"}}));
    for (const BranchError* error = fileList.next->errorHead; error; error = error->next)
        EXPECT_EQ(error->keyword | error->mnemonicCode | error->duplicate | error->lineFound, 0);
}
