// Tests of the tag file reader and the building of fileList.
#include "tagscan/tagreader.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/cleanup.h"
#include "common/errorlist.h"
#include "common/globals.h"
#include "common/lineio.h"

namespace {

constexpr int NoExit = -1;

// What one readTagFile call did.
struct TagRun {
    int result;
    int status;  // the fatal exit's status, or NoExit
    std::string out;
};

class TagReader : public testing::Test {
protected:
    void SetUp() override {
        initGlobals();
        releaseFileList();
        allocateListBlock = calloc;
    }
    void TearDown() override {
        allocateListBlock = calloc;
        releaseFileList();
        initGlobals();
    }
};

TagRun readStream(FILE* stream) {
    attachStream(TagSlot, stream);
    TagRun run{0, NoExit, ""};
    testing::internal::CaptureStdout();
    try {
        run.result = readTagFile();
    } catch (const ExitRequest& request) {
        run.status = request.status;
    }
    run.out = testing::internal::GetCapturedStdout();
    return run;
}

TagRun readTag(const std::string& text) {
    FILE* stream = tmpfile();
    fwrite(text.data(), 1, text.size(), stream);
    rewind(stream);
    return readStream(stream);
}

// A tag line as the assembler writes it for an out-of-range branch.
std::string branchLine(const std::string& file, long lineNo, const std::string& target) {
    return file + " " + std::to_string(lineNo) + " E18: Branch out of range \"" + target + "\"\n";
}

// The list as "file: line target kind, ..." per file.
std::vector<std::string> listed() {
    std::vector<std::string> files;
    for (const SourceFileRecord* file = fileList.next; file; file = file->next) {
        std::string text = std::string(file->fileName) + ":";
        const BranchError* last = nullptr;
        for (const BranchError* error = file->errorHead; error; error = error->next) {
            text += " " + std::to_string(error->lineNo) + " " + error->target + " " +
                    std::to_string(error->structKind);
            EXPECT_EQ(error->keyword, 0);
            EXPECT_EQ(error->mnemonicCode, 0);
            EXPECT_EQ(error->duplicate, 0);
            EXPECT_EQ(error->lineFound, 0);
            last = error;
        }
        EXPECT_EQ(file->errorTail, last);
        files.push_back(text);
    }
    return files;
}

const std::string IllegalTagFile = " Error : Illegal TAG file\n\n";
const std::string NotEnoughMemory = " Error : Not enough memory\n\n";

}  // namespace

TEST_F(TagReader, EmptyTagFileAddsNothingAndClosesTheStream) {
    TagRun run = readTag("");
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.status, NoExit);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(tagOpen, 0);
    EXPECT_EQ(fileList.next, nullptr);
}

TEST_F(TagReader, ReadsFilesInOrderOfFirstUseAndErrorsInTagOrder) {
    TagRun run = readTag(branchLine("b.qsm", 40, "FAR") +
                         "a.qsm 3 E05: Undefined symbol \"X\"\n" +
                         branchLine("a.qsm", 12, ".IF1") +
                         branchLine("b.qsm", 12, "NEAR") +
                         branchLine("B.qsm", 40, ".S3") +
                         branchLine("b.qsm", 40, "OTHER") +
                         " 7 E18: \"\"\n");
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.status, NoExit);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(tagOpen, 0);
    // Letter case counts in file names, the first target of a line wins, a
    // leading blank gives an empty file name.
    std::vector<std::string> expected = {"b.qsm: 40 FAR 0 12 NEAR 0", "a.qsm: 12 .IF1 1",
                                         "B.qsm: 40 .S3 4", ": 7  0"};
    EXPECT_EQ(listed(), expected);
}

TEST_F(TagReader, RelativeAddressesAreWarnedAboutAndSkipped) {
    TagRun run = readTag(branchLine("a.qsm", 5, "LOOP*2"));
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.out, " Warning : Relative address 'LOOP*2' is specified\n\n");
    EXPECT_EQ(fileList.next, nullptr);

    run = readTag(branchLine("a.qsm", 5, "*-4") + branchLine("a.qsm", 6, "FAR"));
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.out, " Warning : Relative address '*-4' is specified\n\n");
    EXPECT_EQ(listed(), std::vector<std::string>{"a.qsm: 6 FAR 0"});
}

TEST_F(TagReader, OnlyTheTwoCharactersBeforeTheLastColonGiveTheErrorNumber) {
    // "118" is read as 18; " 8", "+8", "x8" and no digit at all are no branch
    // errors, so their missing quote does not matter.
    TagRun run = readTag("a.qsm 1 E118: \"ONE\"\n"
                         "a.qsm 2 E 8: no quote\n"
                         "a.qsm 3 E+8: no quote\n"
                         "a.qsm 4 Ex8: no quote\n"
                         "a.qsm 5 Exx: no quote\n"
                         "a.qsm 6 E-18: \"SIX\"\n"
                         "a.qsm 7 E 18 : no quote\n"
                         "8: no quote\n"
                         ": no quote\n"
                         "a.qsm 9 E05: Bad \"18:B\"\n"
                         "a.qsm 10 E18: Bad \"A:B\"\n");
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.status, NoExit);
    // A colon in the target is the last colon: line 9 counts, line 10 does not.
    EXPECT_EQ(listed(), (std::vector<std::string>{"a.qsm: 1 ONE 0 6 SIX 0 9 18:B 0"}));
}

TEST_F(TagReader, AFileNameMayHoldBlanks) {
    // The line number is the number word before the error field, wherever the name ends.
    TagRun run = readTag("lib 2.inc 5 E18: \"A\"\n"
                         "lib 7 E18: \"B\"\n"
                         "my  dir/x y.qsm   9 E18: range \"C\"\n"
                         "12 34 E18: \"D\"\n");
    EXPECT_EQ(run.status, NoExit);
    EXPECT_EQ(listed(), (std::vector<std::string>{"lib 2.inc: 5 A 0", "lib: 7 B 0", "my  dir/x y.qsm: 9 C 0",
                                                  "12: 34 D 0"}));
}

TEST_F(TagReader, LineNumbersAreReadLikeLongIntegers) {
    TagRun run = readTag("a.qsm   +42 E18: \"A\"\n"
                         "a.qsm -3 E18: \"B\"\n"
                         "a.qsm 0 E18: \"C\"\n"
                         "a.qsm 99999999999999999999999 E18: \"D\"\n"
                         "a.qsm\t5 7x E18: \"E\"\n");
    EXPECT_EQ(run.status, NoExit);
    // The file name ends at the first space only, so a tab stays in it.
    EXPECT_EQ(listed(), (std::vector<std::string>{
                            "a.qsm: 42 A 0 -3 B 0 0 C 0 " + std::to_string(LONG_MAX) + " D 0",
                            "a.qsm\t5: 7 E 0"}));
}

TEST_F(TagReader, MalformedLinesEndTheRunWithError8) {
    const char* const lines[] = {
        "\n",                                // empty: no colon
        "Assembly summary\n",                // no colon, not an error-18 line either
        "a.qsm\t5\tE18: \"X\"\n",            // no blank
        "a.qsm E18: \"X\"\n",                // no line number after the blank
        "a.qsm 5 E18: no quote\n",           // no quote
        "a.qsm 5 E18: \"unclosed\n",         // no closing quote
        "a.qsm 5 E18: \"unclosed\r\n",       // the line end is no part of the target
        "a.qsm\r\n",                        // no colon: the CR is the line end
    };
    for (const char* line : lines) {
        TagRun run = readTag(branchLine("a.qsm", 1, "FIRST") + line + branchLine("a.qsm", 9, "NEVER"));
        EXPECT_EQ(run.status, 1) << line;
        EXPECT_EQ(run.out, IllegalTagFile) << line;
        releaseFileList();
        initGlobals();
    }
}

TEST_F(TagReader, LinesOfAnyLengthAreOneLineWithoutTheirLineEnd) {
    std::string target(300, 'T');
    std::string message(1000, 'm');
    TagRun run = readTag("a.qsm 5 " + message + " E18: \"" + target + "\"\r\n" +
                         "a.qsm 6 E18: " + message + " \"" + target + "\" " + message + "\n" +
                         "a.qsm 7 E18: \"LAST\"");
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.status, NoExit);
    EXPECT_EQ(listed(), std::vector<std::string>{"a.qsm: 5 " + target + " 0 6 " + target + " 0 7 LAST 0"});
}

TEST_F(TagReader, DuplicateLinesAreFoundInAnyOrder) {
    std::string text;
    for (long lineNo : {10, 5, 10, 5, 7, 3, 7, 12, 3, 12, 11})
        text += branchLine("a.qsm", lineNo, "T" + std::to_string(lineNo));
    EXPECT_EQ(readTag(text).result, 1);
    EXPECT_EQ(listed(), std::vector<std::string>{"a.qsm: 10 T10 0 5 T5 0 7 T7 0 3 T3 0 12 T12 0 11 T11 0"});
    releaseFileList();
    initGlobals();

    text.clear();
    for (long i = 1; i <= 20000; ++i)
        text += branchLine("big.qsm", i % 5000 + 1, "T" + std::to_string(i));
    TagRun run = readTag(text);
    EXPECT_EQ(run.result, 1);
    ASSERT_NE(fileList.next, nullptr);
    long count = 0;
    for (const BranchError* error = fileList.next->errorHead; error; error = error->next, ++count) {
        ASSERT_EQ(error->lineNo, (count + 1) % 5000 + 1);
        ASSERT_EQ(std::string(error->target), "T" + std::to_string(count + 1));
    }
    EXPECT_EQ(count, 5000);
    EXPECT_EQ(fileList.next->next, nullptr);
}

namespace {

int allocationsLeft;  // calls the failing allocator still serves

void* failingAllocator(size_t count, size_t size) {
    return allocationsLeft-- > 0 ? calloc(count, size) : nullptr;
}

}  // namespace

TEST_F(TagReader, AnAllocationFailureEndsWithError10AndItsStatus) {
    // The blocks of a first error of a new file come in this order: the file's
    // record, its name, the error, its target.
    const int statuses[] = {3, 3, 1, 3};
    for (int served = 0; served < 4; ++served) {
        allocationsLeft = served;
        allocateListBlock = failingAllocator;
        TagRun run = readTag(branchLine("a.qsm", 5, "FAR"));
        allocateListBlock = calloc;
        EXPECT_EQ(run.status, statuses[served]) << served;
        EXPECT_EQ(run.out, NotEnoughMemory) << served;
        releaseFileList();
        initGlobals();
    }
    // After a failure the list and its index still agree.
    allocationsLeft = 2;
    allocateListBlock = failingAllocator;
    TagRun run = readTag(branchLine("a.qsm", 5, "FAR"));
    allocateListBlock = calloc;
    EXPECT_EQ(run.status, 1);
    run = readTag(branchLine("a.qsm", 5, "FAR") + branchLine("a.qsm", 5, "AGAIN"));
    EXPECT_EQ(run.status, NoExit);
    EXPECT_EQ(listed(), std::vector<std::string>{"a.qsm: 5 FAR 0"});
}

TEST(ClassifyTarget, FirstTwoCharactersDecide) {
    struct {
        const char* text;
        int kind;
    } const cases[] = {
        {".IF_1", StructIf}, {".I", StructIf},   {".F", StructFor},     {".D9", StructDo},
        {".SW", StructSwitch}, {".i", StructPlain}, {".", StructPlain},   {"", StructPlain},
        {".X", StructPlain}, {"I.", StructPlain}, {"FAR", StructPlain},  {"..lop3", StructPlain},
    };
    for (const auto& c : cases)
        EXPECT_EQ(classifyTarget(c.text), c.kind) << c.text;
}
