// Tests of the long-branch expansion generator: every worked example, exact bytes.
#include "rewrite/expansion.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "common/cleanup.h"
#include "common/globals.h"
#include "common/lineio.h"
#include "common/textutil.h"
#include "rewrite/linesplit.h"
#include "rewrite/mnemonics.h"

namespace {

const std::string G = ";This is the line which kelvad generated\n";
const std::string GCrLf = ";This is the line which kelvad generated\r\n";

class Expansion : public testing::Test {
protected:
    void SetUp() override {
        initGlobals();
        jumpChain = JumpChainWords;
        home = std::filesystem::current_path();
        char pattern[] = "/tmp/kelvad-expansion-XXXXXX";
        dir = mkdtemp(pattern);
        std::filesystem::current_path(dir);
        attachStream(OutputSlot, fopen("tmpbra00", "wb"));
    }
    void TearDown() override {
        if (outputOpen) {
            fclose(outputStream);
            detachStream(OutputSlot);
            outputOpen = 0;
        }
        std::filesystem::current_path(home);
        std::filesystem::remove_all(dir);
    }

    // Splits `line` as the rewrite pass does, then expands it toward `target`.
    void expand(const std::string& line, const char* target) {
        lineBuf = line;
        std::string prefix, operand, comment, upper;
        splitSourceLine(prefix, operand, comment, lineBuf);
        copyUpper(upper, mnemonicBuf);
        writeExpansion(upper, lookupInverse(upper.c_str()), operand, comment, prefix, target);
    }

    // Expands a line that must end the run: its status, with the message in `message`.
    int expandFailing(const std::string& line, const char* target, std::string& message) {
        optNoDelete = 1;
        testing::internal::CaptureStdout();
        int status = -1;
        try {
            expand(line, target);
        } catch (const ExitRequest& request) {
            status = request.status;
        }
        message = testing::internal::GetCapturedStdout();
        return status;
    }

    std::string written() {
        if (outputOpen)
            flushOutput();
        std::ifstream in("tmpbra00", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::filesystem::path home, dir;
};

}  // namespace

TEST_F(Expansion, PlainConditionalBranch) {
    labelNo = 4;
    expand("LOOP1:\tBEQ\tLABEL1\t; wait\n", "LABEL1");
    EXPECT_EQ(written(), "LOOP1:\tBNE\t..lop5\t" + G + "      \tJMP\tLABEL1\t; wait\n..lop5:\n");
    EXPECT_EQ(labelNo, 5);
}

TEST_F(Expansion, PlainConditionalBranchWithComment) {
    labelNo = 4;
    optComment = 1;
    expand("LOOP1:\tBEQ\tLABEL1\t; wait\n", "LABEL1");
    EXPECT_EQ(written(), ";LOOP1:\tBEQ\tLABEL1\t; wait\nLOOP1:\tBNE\t..lop5\t" + G + "      \tJMP\tLABEL1\t" + G +
                             "..lop5:\n");
}

TEST_F(Expansion, BitTestBranch) {
    labelNo = 5;
    expand("\tBBS\t3,FLAGS,LABEL1\n", "LABEL1");
    optComment = 1;
    expand("\tbbc\t1,$20,FAR  ; far\n", "FAR");
    EXPECT_EQ(written(), "\tBBC\t3,FLAGS,..lop6\t" + G + "\tJMP\tLABEL1\t" + G + "..lop6:\n"
                         ";\tbbc\t1,$20,FAR  ; far\n\tBBS\t1,$20,..lop7\t" + G + "\tJMP\tFAR  \t" + G + "..lop7:\n");
}

TEST_F(Expansion, ChainsShareOneJump) {
    labelNo = 6;
    chainNext = 1;
    expand("\tBEQ\tFAR\n", "FAR");
    chainPrev = 1;
    expand("\tbmi\tFAR\n", "FAR");
    chainNext = 0;
    expand("\tBCS\tFAR\n", "FAR");
    EXPECT_EQ(written(), "\tBEQ\t..lop7\t" + G + "\tBMI\t..lop7\t" + G + "\tBCC\t..lop8\t" + G + "..lop7:\n\tJMP\tFAR\t" + G +
                             "..lop8:\n");
    EXPECT_EQ(labelNo, 8);
}

TEST_F(Expansion, ChainOfBitTestsWithComment) {
    labelNo = 6;
    optComment = 1;
    chainNext = 1;
    expand("L:\tBBS\t3,F,FAR\n", "FAR");
    chainPrev = 1;
    chainNext = 0;
    expand("\tBBC\t4,F,FAR\t;x\n", "FAR");
    EXPECT_EQ(written(), ";L:\tBBS\t3,F,FAR\nL:\tBBS\t3,F,..lop7\t" + G + ";\tBBC\t4,F,FAR\t;x\n\tBBS\t4,F,..lop8\t" + G +
                             "..lop7:\n\tJMP\tFAR\t\t" + G + "..lop8:\n");
}

TEST_F(Expansion, HeldLinesGoFirstUnchanged) {
    prevLineBuf2 = "\tLDA\t#1\n";
    prevLineBuf1 = "\tBCC\t*+4\n";
    expand("\tbne\tFAR\t;\n", "FAR");
    EXPECT_EQ(written(), "\tLDA\t#1\n\tBCC\t*+4\n\tBEQ\t..lop1\t" + G + "\tJMP\tFAR\t" + G + "..lop1:\n");
}

TEST_F(Expansion, UnconditionalBranch) {
    labelNo = 3;
    prevLineBuf1 = "\tBCC\t*+4\n";
    expand("NEXT1:\tBRA\tLABEL1\t; go\n", "LABEL1");
    prevLineBuf1.clear();
    optComment = 1;
    expand("NEXT1:\tBRA\tLABEL1\t; go\n", "LABEL1");
    EXPECT_EQ(written(), "\tBCC\t*+4\nNEXT1:\tJMP\tLABEL1\t; go\n;NEXT1:\tBRA\tLABEL1\t; go\nNEXT1:\tJMP\tLABEL1\t" + G);
    EXPECT_EQ(labelNo, 3);
}

TEST_F(Expansion, UnconditionalBranchToStructuredLabel) {
    labelNo = 8;
    prevLineBuf2 = "\tBEQ\t*+6\n";
    prevLineBuf1 = "\tBCC\t*+4\n";
    expand("\tBRA\t.LABEL3\n", ".LABEL3");
    EXPECT_EQ(written(), "\tBEQ\t..lop9\t" + G + "\tBCC\t*+5\t" + G + "\tJMP\t.LABEL3\t" + G + "..lop9:\n");
    EXPECT_EQ(labelNo, 9);
}

TEST_F(Expansion, UnconditionalBranchToStructuredLabelWithComment) {
    labelNo = 8;
    optComment = 1;
    prevLineBuf2 = "\tbeq\t*+6\t; skip\n";
    prevLineBuf1 = "\tbcc\t*+4 \n";
    expand("\tBRA\t.LABEL3\t; out\n", ".LABEL3");
    EXPECT_EQ(written(), "\tbeq\t..lop9\t" + G + "\tbcc\t*+5\t" + G + ";\tBRA\t.LABEL3\t; out\n\tJMP\t.LABEL3\t" + G +
                             "..lop9:\n");
}

TEST_F(Expansion, OnlyForwardRelativeHeldLinesChange) {
    const struct {
        std::string held2, held1, out2, out1;
        int labels;
    } cases[] = {
        {"\tBEQ\t*+6\n", "\tLDA\t#1\n", "\tBEQ\t*+6\n", "\tLDA\t#1\n", 0},
        {"", "\tBNE\t*+10\n", "", "\tBNE\t*+11\t" + G, 0},
        {"\tBEQ\t*+6\n", "\tBCC\t*-4\n", "\tBEQ\t..lop1\t" + G, "\tBCC\t*-4\n", 1},
        {"\tBEQ\t*-6\n", "\tBCC\t*+4\n", "\tBEQ\t*-6\n", "\tBCC\t*+5\t" + G, 0},
        {"\tLDA\t#2*3\n", "\tBCC\tX\t; *+4\n", "\tLDA\t#2*3\n", "\tBCC\tX\t; *+4\n", 0},
        {"\tBEQ\tY\t;*+6\n", "\tBCC\t*+4+2\n", "\tBEQ\tY\t;*+6\n", "\tBCC\t*+4+2\n", 0},
        {"\tBEQ\t*+\n", "\tBCC\t*+99999999999\n", "\tBEQ\t*+\n", "\tBCC\t*+99999999999\n", 0},
        // Blanks and a sign may stand before the distance; a minus there is no forward skip.
        {"\tBEQ\t*+ 6\n", "\tBCC\t*+\t+4 \n", "\tBEQ\t..lop1\t" + G, "\tBCC\t*+5\t" + G, 1},
        {"\tBEQ\t*+ \n", "\tBCC\t*+ -4\n", "\tBEQ\t*+ \n", "\tBCC\t*+ -4\n", 0},
    };
    for (const auto& c : cases) {
        TearDown();
        SetUp();
        prevLineBuf2 = c.held2;
        prevLineBuf1 = c.held1;
        expand("\tBRA\t.D0001\n", ".D0001");
        std::string labelLine = c.labels ? "..lop1:\n" : "";
        EXPECT_EQ(written(), c.out2 + c.out1 + "\tJMP\t.D0001\t" + G + labelLine) << c.held2 << c.held1;
        EXPECT_EQ(labelNo, c.labels);
    }
    TearDown();
    SetUp();
    prevLineBuf2 = "\tBEQ\t*+6\n";
    prevLineBuf1 = "\tBCC\t*+4\n";
    expand("\tBRA\tFAR\n", "FAR");
    EXPECT_EQ(written(), "\tBEQ\t*+6\n\tBCC\t*+4\n\tJMP\tFAR\t" + G);
}

TEST_F(Expansion, LongPrefixAndLastLineWithoutLineEnd) {
    std::string label(50, 'Q');
    expand(label + ":  \tBEQ\tFAR", "FAR");
    expand("\tBNE\tFAR ;far", "FAR");
    optComment = 1;
    expand("\tBRA\tFAR", "FAR");
    EXPECT_EQ(written(), label + ":  \tBNE\t..lop1\t" + G + std::string(53, ' ') + "\tJMP\tFAR\t" + G + "..lop1:\n" +
                             "\tBEQ\t..lop2\t" + G + "\tJMP\tFAR\t;far\n..lop2:\n" + ";\tBRA\tFAR\n\tJMP\tFAR\t" + G);
}

TEST_F(Expansion, CrLfFileGetsCrLfEverywhere) {
    lineEnd = "\r\n";
    prevLineBuf1 = "\tLDA\t#1\r\n";
    expand("\tBEQ\tFAR\t;c\r\n", "FAR");
    optComment = 1;
    prevLineBuf2 = "\tBEQ\t*+6\r\n";
    prevLineBuf1 = "\tBCC\t*+4\r\n";
    expand("\tBRA\t.I0001\r\n", ".I0001");
    EXPECT_EQ(written(), "\tLDA\t#1\r\n\tBNE\t..lop1\t" + GCrLf + "\tJMP\tFAR\t;c\r\n..lop1:\r\n" + "\tBEQ\t..lop2\t" +
                             GCrLf + "\tBCC\t*+5\t" + GCrLf + ";\tBRA\t.I0001\r\n\tJMP\t.I0001\t" + GCrLf +
                             "..lop2:\r\n");
}

TEST_F(Expansion, LabelNumbersEndAt65535) {
    labelNo = 65534;
    expand("\tBEQ\tFAR\n", "FAR");
    chainNext = chainPrev = 1;
    expand("\tBNE\tFAR\n", "FAR");
    EXPECT_EQ(written(), "\tBNE\t..lop65535\t" + G + "\tJMP\tFAR\t" + G + "..lop65535:\n\tBNE\t..lop65535\t" + G);
    fclose(outputStream);
    detachStream(OutputSlot);
    attachStream(OutputSlot, fopen("tmpbra00", "wb"));

    // The held lines and the comment copy are written before the number is refused.
    chainNext = chainPrev = 0;
    optComment = 1;
    prevLineBuf2 = "\tLDX\t#0\n";
    prevLineBuf1 = "\tLDA\t#1\n";
    std::string message;
    EXPECT_EQ(expandFailing("\tBEQ\tFAR\n", "FAR", message), 1);
    EXPECT_EQ(message, " Error : Too many branch error\n\n");
    EXPECT_EQ(written(), "\tLDX\t#0\n\tLDA\t#1\n;\tBEQ\tFAR\n");
}

TEST_F(Expansion, LinesThatCannotBeExpanded) {
    const struct {
        const char* line;
        const char* message;
    } cases[] = {
        {"\tJMP\tFAR\n", " Error : Can't translate\n\n"},
        {"\tLDA\tFAR\n", " Error : Illegal source file\n\n"},
        {"DONE:\n", " Error : Illegal source file\n\n"},
        {"\tBBS\tFLAGS\n", " Error : Illegal source file\n\n"},
    };
    for (const auto& c : cases) {
        TearDown();
        SetUp();
        prevLineBuf1 = "\tLDA\t#1\n";
        std::string message;
        EXPECT_EQ(expandFailing(c.line, "FAR", message), 1) << c.line;
        EXPECT_EQ(message, c.message) << c.line;
        EXPECT_EQ(written(), "") << c.line;
        EXPECT_EQ(labelNo, 0);
    }
}
