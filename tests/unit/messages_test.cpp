// Tests of the numbered messages and the usage text.
#include "common/messages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/globals.h"

namespace {

std::string errorText(int n, const char* argument) {
    testing::internal::CaptureStdout();
    reportError(static_cast<ErrorNumber>(n), argument);
    return testing::internal::GetCapturedStdout();
}

std::string warningText(int n, const char* argument) {
    testing::internal::CaptureStdout();
    reportWarning(static_cast<WarningNumber>(n), argument);
    return testing::internal::GetCapturedStdout();
}

class Messages : public testing::Test {
protected:
    void SetUp() override { initGlobals(); }
};

TEST_F(Messages, ErrorsAreFollowedByAnEmptyLineAndRecorded) {
    EXPECT_EQ(errorText(11, "+x"), " Error : Option '+x' is not appropriate\n\n");
    EXPECT_EQ(lastError, 11);
    EXPECT_EQ(errorText(3, "dir\\prog"), " Error : Can't open file 'dir\\prog'\n\n");
    EXPECT_EQ(errorText(8, nullptr), " Error : Illegal TAG file\n\n");
    EXPECT_EQ(lastError, 8);
}

TEST_F(Messages, TheProgramNameOfErrorSixComesFromTheText) {
    EXPECT_EQ(errorText(6, "elsewhere/torna"), " Error : Error occurred in executing 'torna'\n\n");
    EXPECT_EQ(lastError, 6);
}

TEST_F(Messages, ArgumentIsPrintedAsItStandsNeverAsAFormat) {
    EXPECT_EQ(errorText(11, "-x%s%d%n"), " Error : Option '-x%s%d%n' is not appropriate\n\n");
    EXPECT_EQ(errorText(3, nullptr), " Error : Can't open file ''\n\n");
}

TEST_F(Messages, ErrorNineAddsTheUsageText) {
    EXPECT_EQ(errorText(9, nullptr),
              " Error : No input files specified\n\n  Usage: kelvad filename [options...]<cr>\n\n");
    testing::internal::CaptureStdout();
    printUsage();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n  Usage: kelvad filename [options...]<cr>\n");
}

TEST_F(Messages, WarningsHaveTheirOwnWordAndLeaveLastErrorAlone) {
    EXPECT_EQ(warningText(1, "*+4"), " Warning : Relative address '*+4' is specified\n\n");
    EXPECT_EQ(lastError, 0);
}

TEST(MessageTables, EveryTextHoldsAtMostOnePlaceholderAndEndsItsLine) {
    for (const char* text : ErrorMessages) {
        SCOPED_TRACE(text);
        const char* percent = strchr(text, '%');
        if (percent) {
            EXPECT_EQ(percent[1], 's');
            EXPECT_EQ(strchr(percent + 1, '%'), nullptr);
        }
        size_t length = strlen(text);
        if (length) {
            EXPECT_EQ(text[length - 1], '\n');
        }
    }
    EXPECT_STREQ(ErrorMessages[0], "");
    EXPECT_STREQ(ErrorMessages[17], "Label '%s' is defined more than once\n");
    EXPECT_STREQ(ErrorMessages[18], "Can't remove file '%s'\n");
    EXPECT_STREQ(WarningMessages[0], "");
    EXPECT_STREQ(WarningMessages[2], "");
    EXPECT_EQ(UsageLines[3], nullptr);
}

}  // namespace
