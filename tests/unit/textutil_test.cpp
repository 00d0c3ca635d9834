// Tests of the upper-case copy and the cut at a pattern.
#include "common/textutil.h"

#include <gtest/gtest.h>

#include <string>

TEST(TextUtil, CopyUpperChangesOnlyAsciiLetters) {
    std::string upper = "junk";
    copyUpper(upper, std::string("\tbcc\t*+4 ; Zz\xe4\xff{`@[\0x", 20));
    EXPECT_EQ(upper, std::string("\tBCC\t*+4 ; ZZ\xe4\xff{`@[\0X", 20));
    copyUpper(upper, "");
    EXPECT_EQ(upper, "");
}

TEST(TextUtil, CutAtPattern) {
    std::string text;
    copyUpper(text, "\tbcc\t*+4");
    EXPECT_TRUE(cutAtPattern(text, "BCC"));
    EXPECT_EQ(text, "\t");

    text = "LDA BCCBCC";
    EXPECT_TRUE(cutAtPattern(text, "BCC"));
    EXPECT_EQ(text, "LDA ");
    text = "BCC";
    EXPECT_TRUE(cutAtPattern(text, "BCC"));
    EXPECT_EQ(text, "");

    text = "\tBC C\tBC";
    EXPECT_FALSE(cutAtPattern(text, "BCC"));
    EXPECT_EQ(text, "\tBC C\tBC");
    EXPECT_FALSE(cutAtPattern(text, ""));
    EXPECT_EQ(text, "\tBC C\tBC");
}
