// Tests of the shrink: which groups of generated lines come back as the line they came from, exact bytes.
#include "rewrite/shrink.h"

#include <gtest/gtest.h>

#include <string>

#include "common/globals.h"

namespace {

const std::string G = ";This is the line which kelvad generated\n";

// The text shrunk on its own, its labels counted in it alone.
std::string shrink(const std::string& text) {
    LabelUses uses;
    countLabelUses(text, uses);
    return shrinkText(text, uses);
}

struct ShrinkCase {
    const char* name;
    std::string before;
    std::string after;
};

// Groups as the expansion writes them, and what each comes back as.
const ShrinkCase RestoredGroups[] = {
    {"single expansion, the jump line keeps the comment",
     "\tLDA\t#0\n\tBNE\t..lop1\t" + G + "\tJMP\tFAR\t;far away\n..lop1:\n\tRTS\n",
     "\tLDA\t#0\n\tBEQ\tFAR\t;far away\n\tRTS\n"},
    {"single expansion without a comment of its own",
     "\tBCS\t..lop7\t" + G + "\tJMP\tFAR\t" + G + "..lop7:\n", "\tBCC\tFAR\n"},
    {"a label on the branch line stays; the jump stands under blanks",
     "LOOP:\tBPL\t..lop2\t" + G + "     \tJMP\tFAR\t" + G + "..lop2:\n", "LOOP:\tBMI\tFAR\n"},
    {"bit-test branch gets its operand head back",
     "\tBBC\t3,FLAGS,..lop9\t" + G + "\tJMP\tLABEL1\t" + G + "..lop9:\n", "\tBBS\t3,FLAGS,LABEL1\n"},
    {"bit-test target written with the blanks it had",
     "\tBBS\t1,$12,..lop4\t" + G + "\tJMP\tAWAY\t\t;b5\n..lop4:\n", "\tBBC\t1,$12,AWAY\t;b5\n"},
    {"chain: each line its own branch back, the last as a single expansion",
     "\tBEQ\t..lop1\t" + G + "\tBMI\t..lop1\t" + G + "\tBCC\t..lop2\t" + G + "..lop1:\n\tJMP\tIDLE\t;last\n..lop2:\n",
     "\tBEQ\tIDLE\n\tBMI\tIDLE\n\tBCS\tIDLE\t;last\n"},
    {"BRA made JMP", "\tLDA\t#1\n\tJMP\tSTART\t" + G + "\tRTS\n", "\tLDA\t#1\n\tBRA\tSTART\n\tRTS\n"},
    {"long form with an operand", "\tLIF EQ\t" + G, "\tIF\tEQ\n"},
    {"long form, trailing blanks of the operand dropped", "X:\tLFOR X,3 \t\t" + G, "X:\tFOR\tX,3\n"},
    {"long form without an operand", "\tLELSE \t" + G, "\tELSE\n"},
    {"long form in the letter case it was written", "\tLwhile cs\t" + G, "\twhile\tcs\n"},
    {"-COMMENT copy of a single expansion comes back byte for byte",
     ";  beq   FAR ; x\n  BNE\t..lop3\t" + G + "  JMP\tFAR\t" + G + "..lop3:\n", "  beq   FAR ; x\n"},
    {"-COMMENT copies of every chain line",
     ";\tbeq\tL5\t;b1\n\tBEQ\t..lop1\t" + G + ";\tBCS\tL5\t;b2\n\tBCC\t..lop2\t" + G +
         "..lop1:\n\tJMP\tL5\t" + G + "..lop2:\n",
     "\tbeq\tL5\t;b1\n\tBCS\tL5\t;b2\n"},
    {"-COMMENT copy of a BRA and of a long form",
     ";\tbra\tL1 ;mine\n\tJMP\tL1\t" + G + ";\tIF  NE ;test\n\tLIF NE \t" + G,
     "\tbra\tL1 ;mine\n\tIF  NE ;test\n"},
    {"CRLF line ends are kept",
     "\tNOP\r\n\tBNE\t..lop1\t;This is the line which kelvad generated\r\n\tJMP\tFAR\t;c\r\n..lop1:\r\n",
     "\tNOP\r\n\tBEQ\tFAR\t;c\r\n"},
    {"a comment above that is no copy stays, the group is restored",
     ";\tBEQ\tOTHER\n\tBNE\t..lop1\t" + G + "\tJMP\tFAR\t" + G + "..lop1:\n", ";\tBEQ\tOTHER\n\tBEQ\tFAR\n"},
    {"groups of several passes one after the other",
     "\tBNE\t..lop1\t" + G + "\tJMP\tA\t" + G + "..lop1:\n\tBEQ\t..lop5\t" + G + "\tJMP\tB\t;b\n..lop5:\n",
     "\tBEQ\tA\n\tBNE\tB\t;b\n"},
};

// Lines the tool wrote that must stay as they stand, and lines that only look like them.
const ShrinkCase LeftAlone[] = {
    {"a line inside the group changed",
     "\tBNE\t..lop1\t;mine\n\tJMP\tFAR\t" + G + "..lop1:\n", "\tBNE\t..lop1\t;mine\n\tJMP\tFAR\t" + G + "..lop1:\n"},
    {"the label renamed",
     "\tBNE\t..lop1\t" + G + "\tJMP\tFAR\t" + G + "..lop2:\n", "\tBNE\t..lop1\t" + G + "\tJMP\tFAR\t" + G + "..lop2:\n"},
    {"a line in between",
     "\tBNE\t..lop1\t" + G + "\tNOP\n\tJMP\tFAR\t;x\n..lop1:\n", "\tBNE\t..lop1\t" + G + "\tNOP\n\tJMP\tFAR\t;x\n..lop1:\n"},
    {"the label named elsewhere too",
     "\tBNE\t..lop1\t" + G + "\tJMP\tFAR\t;x\n..lop1:\n\tDW\t..lop1\n",
     "\tBNE\t..lop1\t" + G + "\tJMP\tFAR\t;x\n..lop1:\n\tDW\t..lop1\n"},
    {"spaces where the tool writes a tab",
     "\tBNE ..lop1\t" + G + "\tJMP\tFAR\t;x\n..lop1:\n", "\tBNE ..lop1\t" + G + "\tJMP\tFAR\t;x\n..lop1:\n"},
    {"a JMP with a comment of its own is the user's", "\tJMP\tSTART\t;mine\n", "\tJMP\tSTART\t;mine\n"},
    {"a long form written by hand", "\tLIF\tEQ\n", "\tLIF\tEQ\n"},
    {"a word that is no structured keyword", "\tLDA #1\t" + G, "\tLDA #1\t" + G},
    {"the redirected skip of a BRA to a structured label, with its jump and label",
     "\tBEQ\t..lop1\t" + G + "\tBCC\t*+5\t" + G + "\tJMP\t.I1\t" + G + "..lop1:\n",
     "\tBEQ\t..lop1\t" + G + "\tBCC\t*+5\t" + G + "\tJMP\t.I1\t" + G + "..lop1:\n"},
    {"a grown skip above a jump", "\tBCC\t*+5\t" + G + "\tJMP\t.I1\t" + G, "\tBCC\t*+5\t" + G + "\tJMP\t.I1\t" + G},
    {"a chain line with a comment line between that is no copy",
     "\tBEQ\t..lop1\t" + G + ";note\n\tBCC\t..lop2\t" + G + "..lop1:\n\tJMP\tL5\t" + G + "..lop2:\n",
     "\tBEQ\t..lop1\t" + G + ";note\n\tBCC\t..lop2\t" + G + "..lop1:\n\tJMP\tL5\t" + G + "..lop2:\n"},
    {"the group's last line without a line end",
     "\tBNE\t..lop1\t" + G + "\tJMP\tFAR\t;x\n..lop1:", "\tBNE\t..lop1\t" + G + "\tJMP\tFAR\t;x\n..lop1:"},
};

TEST(Shrink, RestoresEveryShapeTheToolWrites) {
    initGlobals();
    for (const ShrinkCase& test : RestoredGroups)
        EXPECT_EQ(shrink(test.before), test.after) << test.name;
}

TEST(Shrink, LeavesChangedAndForeignLinesByteForByte) {
    initGlobals();
    for (const ShrinkCase& test : LeftAlone)
        EXPECT_EQ(shrink(test.before), test.after) << test.name;
}

TEST(Shrink, CountsLabelNamesInAnyCaseAndOnlyWholeNumbers) {
    LabelUses uses;
    countLabelUses("..lop1:\n\tBNE\t..LOP1\n\tDW\t..lop12,..lop012 ; ..lop1\n..lop70000:\n", uses);
    EXPECT_EQ(uses[1], 3);
    EXPECT_EQ(uses[12], 1);
    EXPECT_EQ(uses.count(70000), 0u);
    EXPECT_EQ(uses.size(), 2u);
}

// A label named in another file of the program keeps its group in this one.
TEST(Shrink, LabelsCountOverTheWholeProgram) {
    std::string text = "\tBNE\t..lop4\t" + G + "\tJMP\tFAR\t" + G + "..lop4:\n";
    LabelUses uses;
    countLabelUses(text, uses);
    countLabelUses("\tJMP\t..lop4\t;from an include file\n", uses);
    EXPECT_EQ(shrinkText(text, uses), text);
}

}  // namespace
