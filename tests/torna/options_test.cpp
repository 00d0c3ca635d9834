// Tests the stand-in's command line: option words, the source name and its base name.
#include <gtest/gtest.h>

#include <vector>

#include "diag.h"
#include "globals.h"
#include "options.h"

namespace {

class OptionsTest : public testing::Test {
protected:
    void SetUp() override { initTornaGlobals(); }

    int parse(std::vector<const char*> words)
    {
        words.insert(words.begin(), "torna");
        testing::internal::CaptureStdout();
        int status = parseOptions(static_cast<int>(words.size()), words.data());
        output = testing::internal::GetCapturedStdout();
        return status;
    }

    std::string output;
};

TEST_F(OptionsTest, ReadsTheWordsTheOptimizerPasses)
{
    EXPECT_EQ(parse({"-Iinc", "-l", "-e", "-.", "-a", "prog.i"}), StatusOk);
    EXPECT_TRUE(optTagFile);
    EXPECT_FALSE(optBanner);
    EXPECT_TRUE(optPreprocessed);
    EXPECT_TRUE(optListing);
    EXPECT_FALSE(optPreprocess);
    ASSERT_EQ(includeDirs.size(), 1u);
    EXPECT_EQ(includeDirs[0], "inc");
    EXPECT_EQ(sourceName, "prog.i");
    EXPECT_EQ(baseName, "prog");
    EXPECT_EQ(output, "");
}

TEST_F(OptionsTest, BaseNameEndsAtTheFirstDot)
{
    EXPECT_EQ(parse({"-i", "sub/prog.QSM"}), StatusOk);
    EXPECT_TRUE(optPreprocess);
    EXPECT_EQ(baseName, "sub/prog");
    initTornaGlobals();
    EXPECT_EQ(parse({"prog"}), StatusOk);
    EXPECT_EQ(baseName, "prog");
}

TEST_F(OptionsTest, RefusesWhatItDoesNotKnow)
{
    EXPECT_EQ(parse({"-x", "prog.qsm"}), StatusFatal);
    EXPECT_EQ(output, "torna: unknown option '-x'\n");
    EXPECT_EQ(parse({"-I", "prog.qsm"}), StatusFatal);
    EXPECT_EQ(output, "torna: unknown option '-I'\n");
    EXPECT_EQ(parse({"-.x", "prog.qsm"}), StatusFatal);
    EXPECT_EQ(output, "torna: unknown option '-.x'\n");
    initTornaGlobals();
    EXPECT_EQ(parse({"-e"}), StatusFatal);
    EXPECT_EQ(output, "torna: no source file given\n");
    EXPECT_EQ(parse({"a.qsm", "b.qsm"}), StatusFatal);
    EXPECT_EQ(output, "torna: more than one source file 'b.qsm'\n");
}

}  // namespace
