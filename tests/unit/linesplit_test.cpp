// Tests of the source line splitter.
#include "rewrite/linesplit.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "common/globals.h"

namespace {

const std::string G = ";This is the line which kelvad generated\n";

struct SplitCase {
    std::string line, prefix, mnemonic, operand, comment;
};

class LineSplit : public testing::Test {
protected:
    void SetUp() override { initGlobals(); }
    void check(const SplitCase& c) {
        std::string prefix = "old", operand = "old", comment = "old";
        std::string line = c.line;
        mnemonicBuf = "old";
        splitSourceLine(prefix, operand, comment, line);
        EXPECT_EQ(prefix, c.prefix) << c.line;
        EXPECT_EQ(mnemonicBuf, c.mnemonic) << c.line;
        EXPECT_EQ(operand, c.operand) << c.line;
        EXPECT_EQ(comment, c.comment) << c.line;
        EXPECT_EQ(line, c.line);
        // The scan's mnemonic-only split finds the same word.
        mnemonicBuf = "old";
        splitMnemonic(line);
        EXPECT_EQ(mnemonicBuf, c.mnemonic) << c.line;
    }
};

}  // namespace

TEST_F(LineSplit, DesignedExamples) {
    const SplitCase cases[] = {
        {"LOOP1:\tBEQ\tLABEL1\t; wait\n", "LOOP1:\t", "BEQ", "LABEL1\t", "; wait\n"},
        {"\t\tbne  LABEL1\n", "\t\t", "bne", "LABEL1", G},
        {"  BRA LABEL1 ;\n", "  ", "BRA", "LABEL1 ", G},
        {"\tBBS\t3,FLAGS,LABEL1\n", "\t", "BBS", "3,FLAGS,LABEL1", G},
        {"DONE: ;end\n", "DONE: ", "", "", ";end\n"},
        {"X:BEQ LABEL1\n", "X:BEQ ", "LABEL1", "", G},
        {"LABEL2 BEQ LABEL1\n", "", "LABEL2", "BEQ LABEL1", G},
    };
    for (const SplitCase& c : cases)
        check(c);
}

TEST_F(LineSplit, CommentsAndLineEnds) {
    const SplitCase cases[] = {
        {"\tBEQ\tX\t; \n", "\t", "BEQ", "X\t", "; \n"},
        {"\tBEQ\tX\t;last", "\t", "BEQ", "X\t", ";last"},
        {"\tBEQ\tX", "\t", "BEQ", "X", G},
        {"\tBEQ\tX ;", "\t", "BEQ", "X ", ";"},
        {"DONE:\n", "DONE:", "", "", G},
        {"\n", "", "", "", G},
        {"", "", "", "", G},
        {"\tBEQ\tX;a;b\n", "\t", "BEQ", "X", ";a;b\n"},
        // The carriage return of a CRLF line end is never part of a field.
        {"\tBEQ\tX\r\n", "\t", "BEQ", "X", G},
        {"\tBEQ\tX\t;c\r\n", "\t", "BEQ", "X\t", ";c\n"},
        {"\tBEQ\tX;\r\n", "\t", "BEQ", "X", G},
        {"L:\r\n", "L:", "", "", G},
        {"\tIF\r\n", "\t", "IF", "", G},
    };
    for (const SplitCase& c : cases)
        check(c);
}

TEST_F(LineSplit, LongWordsAndLinesStayWhole) {
    std::string label(300, 'L'), operand(1000, 'o');
    check({label + ":\tBRANCHLONGWORD\t" + operand + "\t;c\n", label + ":\t", "BRANCHLONGWORD",
           operand + "\t", ";c\n"});
}

TEST_F(LineSplit, WritesTheCheckpointOnEverySplit) {
    traceStream = tmpfile();
    traceOn = 1;
    std::string prefix, operand, comment;
    splitSourceLine(prefix, operand, comment, "\tBEQ\tX\n");
    splitSourceLine(prefix, operand, comment, "\n");
    splitMnemonic("\tBNE\tY\n");
    char text[64] = {};
    rewind(traceStream);
    size_t got = fread(text, 1, sizeof text - 1, traceStream);
    EXPECT_EQ(std::string(text, got), "KELVAD(983)\nKELVAD(983)\nKELVAD(983)\n");
    fclose(traceStream);
}

TEST_F(LineSplit, PartsSplitLeavesMnemonicBufAlone) {
    traceStream = tmpfile();
    traceOn = 1;
    mnemonicBuf = "BRA";
    std::string prefix, word, operand, comment;
    splitLineParts(prefix, word, operand, comment, "L1: BCC *+4 ;x\n");
    EXPECT_EQ(prefix + "|" + word + "|" + operand + "|" + comment, "L1: |BCC|*+4 |;x\n");
    EXPECT_EQ(mnemonicBuf, "BRA");
    EXPECT_EQ(ftell(traceStream), 0);
    fclose(traceStream);
}
