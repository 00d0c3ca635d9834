// Tests of the branch mnemonic table, the inverse lookup and the BRA lengthening.
#include "rewrite/mnemonics.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/cleanup.h"
#include "common/globals.h"

TEST(Mnemonics, InverseCodes) {
    const struct {
        const char* word;
        int code;
    } cases[] = {
        {"BEQ", 2}, {"BNE", 1}, {"BCC", 4}, {"BCS", 3}, {"BMI", 6}, {"BPL", 5}, {"BVC", 8}, {"BVS", 7},
        {"BBS", 10}, {"BBC", 9}, {"BRA", 11}, {"JMP", 11},
        {"beq", 0}, {"LDA", 0}, {"", 0}, {"BEQX", 0}, {"BE", 0}, {"BEQUEATHMENT", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lookupInverse(c.word), c.code) << c.word;
}

TEST(Mnemonics, ConditionalRowsAreEachOthersInverse) {
    for (int row = 1; row <= 10; ++row) {
        int inverse = BranchMnemonicTable[row - 1].inverseRow;
        ASSERT_GE(inverse, 1);
        ASSERT_LE(inverse, 10);
        EXPECT_NE(inverse, row);
        EXPECT_EQ(BranchMnemonicTable[inverse - 1].inverseRow, row) << BranchMnemonicTable[row - 1].mnemonic;
    }
    EXPECT_STREQ(BranchMnemonicTable[10].mnemonic, "BRA");
    EXPECT_STREQ(BranchMnemonicTable[11].mnemonic, "JMP");
    EXPECT_EQ(BranchMnemonicTable[12].mnemonic, nullptr);
    EXPECT_EQ(BranchMnemonicTable[12].inverseRow, 0);
}

TEST(Mnemonics, TranslateJump) {
    initGlobals();
    jumpChain = JumpChainWords;
    EXPECT_STREQ(translateJump("BRA"), "JMP");
    EXPECT_EQ(translateJump("BEQ"), nullptr);
    EXPECT_EQ(translateJump("bra"), nullptr);

    testing::internal::CaptureStdout();
    int status = -1;
    try {
        translateJump("JMP");
    } catch (const ExitRequest& request) {
        status = request.status;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " Error : Can't translate\n\n");
    EXPECT_EQ(status, 1);
}
