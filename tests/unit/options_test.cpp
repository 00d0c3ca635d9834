// Tests of the command line: option words, the assembler's vectors, the source name and the length limit.
#include "driver/options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/cleanup.h"
#include "common/globals.h"
#include "common/messages.h"
#include "rewrite/mnemonics.h"

namespace {

constexpr int NoExit = -1;
const std::string Banner =
    "Branch Optimizer for Pelorin Family V.1.00.00\n"
    "Written by the kelvad developers.\n"
    "Free to use, copy and change; no warranty.\n\n";

using Words = std::vector<std::string>;

class Options : public testing::Test {
protected:
    void SetUp() override { initGlobals(); }
    void TearDown() override { initGlobals(); }

    // Runs parseArgs on "kelvad" and `given` from the start values; returns the
    // exit status (NoExit if it returned) and keeps what it printed in `out`.
    int parse(const Words& given) {
        initGlobals();
        words = given;
        words.insert(words.begin(), "kelvad");
        argv.clear();
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        int status = NoExit;
        testing::internal::CaptureStdout();
        try {
            parseArgs(static_cast<int>(words.size()), argv.data());
        } catch (const ExitRequest& request) {
            status = request.status;
        }
        out = testing::internal::GetCapturedStdout();
        return status;
    }

    Words words;  // the words the vectors point into; kept alive for the checks
    std::vector<char*> argv;
    std::string out;
};

template <size_t N>
Words entriesOf(const char* (&vector)[N]) {
    Words entries;
    for (size_t i = 0; i < N && vector[i]; ++i)
        entries.push_back(vector[i]);
    return entries;
}

TEST_F(Options, AsmModeTakesIInPlaceAndAssemblesTheDotIFile) {
    ASSERT_EQ(parse({"prog.QSM", "-ASM", "-Iinc"}), NoExit);
    EXPECT_EQ(entriesOf(argvFirst), (Words{"torna", "-i", "-Iinc", "-e", "prog.QSM"}));
    EXPECT_EQ(entriesOf(argvPass), (Words{"torna", "-Iinc", "-e", "-a", "prog.i"}));
    EXPECT_EQ(srcName, "prog");
    EXPECT_EQ(origName, "prog.QSM");
    EXPECT_EQ(workName, "prog.i");
    EXPECT_EQ(optAsm, 1);
    EXPECT_EQ(out, "");
}

TEST_F(Options, PassedOnWordsKeepTheirOrderAroundTheFileName) {
    ASSERT_EQ(parse({"-Iinc", "prog.qsm", "-l"}), NoExit);
    EXPECT_EQ(entriesOf(argvFirst), (Words{"torna", "-Iinc", "-l", "-e", "prog.qsm"}));
    EXPECT_EQ(entriesOf(argvPass), (Words{"torna", "-Iinc", "-l", "-e", "prog.qsm"}));
    EXPECT_EQ(workName, "prog.qsm");
    EXPECT_EQ(jumpChain, JumpChainWords);
}

TEST_F(Options, ShortWordsAreDroppedAndLowerCaseWordsSwitchNothing) {
    ASSERT_EQ(parse({"-i", "-I", "-C", "prog.qsm", "-asm", "-comment", "-v", "-COMMENTS", "-Ax", "-", "-Vx",
                     "-Ifoo", "-ifoo"}),
              NoExit);
    Words passed{"-asm", "-comment", "-v", "-COMMENTS", "-Ax", "-", "-Vx", "-Ifoo", "-ifoo"};
    Words first{"torna"};
    first.insert(first.end(), passed.begin(), passed.end());
    first.insert(first.end(), {"-e", "prog.qsm"});
    EXPECT_EQ(entriesOf(argvFirst), first);
    EXPECT_EQ(entriesOf(argvPass), first);
    EXPECT_EQ(optAsm, 0);
    EXPECT_EQ(optComment, 0);
}

TEST_F(Options, SwitchWordsSetTheirFlagsOnly) {
    ASSERT_EQ(parse({"+nodelete", "prog.qsm", "+noloop", "-COMMENT", "-ASM", "-ASM"}), NoExit);
    EXPECT_EQ(optNoDelete, 1);
    EXPECT_EQ(optNoLoop, 1);
    EXPECT_EQ(optComment, 1);
    EXPECT_EQ(optAsm, 1);
    EXPECT_EQ(entriesOf(argvFirst), (Words{"torna", "-i", "-i", "-e", "prog.qsm"}));
    EXPECT_EQ(entriesOf(argvPass), (Words{"torna", "-e", "-a", "prog.i"}));
    EXPECT_EQ(bannerOn, 1);
}

// "+shrink" is the tool's own: torna never sees it. The ".i" file has nothing to give back.
TEST_F(Options, ShrinkIsOwnAndRefusedWithAsmInEitherOrder) {
    ASSERT_EQ(parse({"prog.qsm", "+shrink"}), NoExit);
    EXPECT_EQ(optShrink, 1);
    EXPECT_EQ(entriesOf(argvFirst), (Words{"torna", "-e", "prog.qsm"}));
    EXPECT_EQ(entriesOf(argvPass), (Words{"torna", "-e", "prog.qsm"}));
    for (const Words& given : {Words{"+shrink", "prog.qsm", "-ASM"}, Words{"-ASM", "prog.qsm", "+shrink"}}) {
        EXPECT_EQ(parse(given), ExitCommandLine);
        EXPECT_EQ(out, " Error : Option '+shrink' is not appropriate\n\n");
    }
    EXPECT_EQ(parse({"prog.qsm", "+Shrink"}), ExitCommandLine);
}

TEST_F(Options, DashDotWordsClearTheBannerAndAddOneDashDot) {
    ASSERT_EQ(parse({"-.", "prog.qsm", "-.x", "-."}), NoExit);
    EXPECT_EQ(bannerOn, 0);
    EXPECT_EQ(entriesOf(argvFirst), (Words{"torna", "-.x", "-e", "-.", "prog.qsm"}));
    EXPECT_EQ(entriesOf(argvPass), (Words{"torna", "-.x", "-e", "-.", "prog.qsm"}));
}

TEST_F(Options, PassLimitTakesOneToOneHundredAndTheLastWordWins) {
    ASSERT_EQ(parse({"prog.qsm", "-COUNT1"}), NoExit);
    EXPECT_EQ(passCount, 1);
    ASSERT_EQ(parse({"prog.qsm", "-COUNT100"}), NoExit);
    EXPECT_EQ(passCount, 100);
    ASSERT_EQ(parse({"prog.qsm", "-COUNT007"}), NoExit);
    EXPECT_EQ(passCount, 7);
    ASSERT_EQ(parse({"-COUNT50", "prog.qsm", "-COUNT000000000000000000003"}), NoExit);
    EXPECT_EQ(passCount, 3);
    EXPECT_EQ(entriesOf(argvPass), (Words{"torna", "-e", "prog.qsm"}));
}

TEST_F(Options, BadPassLimitsAreRefusedWithTheWholeWord) {
    for (const char* word : {"-COUNT", "-COUNT0", "-COUNT101", "-COUNT5x", "-COUNTER", "-COUNT-3", "-COUNT 5",
                             "-COUNT2147483648", "-COUNT99999999999999999999"}) {
        SCOPED_TRACE(word);
        EXPECT_EQ(parse({"prog.qsm", word}), ExitCommandLine);
        EXPECT_EQ(out, Banner + " Error : Option '" + word + "' is not appropriate\n\n");
    }
    EXPECT_EQ(parse({"-.", "-COUNT0", "prog.qsm"}), ExitCommandLine);
    EXPECT_EQ(out, " Error : Option '-COUNT0' is not appropriate\n\n");
}

TEST_F(Options, MissingOrSecondFileNameIsRefused) {
    const std::string usage = " Error : No input files specified\n\n  Usage: kelvad filename [options...]<cr>\n\n";
    EXPECT_EQ(parse({}), ExitCommandLine);
    EXPECT_EQ(out, Banner + usage);
    EXPECT_EQ(parse({"-l", "+noloop"}), ExitCommandLine);
    EXPECT_EQ(out, Banner + usage);
    EXPECT_EQ(parse({"-.", "-l"}), ExitCommandLine);
    EXPECT_EQ(out, usage);
    EXPECT_EQ(parse({"a.qsm", "b.qsm"}), ExitCommandLine);
    EXPECT_EQ(out, Banner + " Error : Source files number exceed 1\n\n");
}

TEST_F(Options, FirstVectorHoldsOneHundredTwentyEightEntriesAtMost) {
    Words given{"prog.qsm"};
    given.insert(given.end(), 124, "-");
    ASSERT_EQ(parse(given), NoExit);
    EXPECT_EQ(entriesOf(argvFirst).size(), 127u);
    EXPECT_EQ(argvFirst[FirstVectorSize - 2], origName.c_str());
    EXPECT_EQ(argvFirst[FirstVectorSize - 1], nullptr);
    EXPECT_EQ(entriesOf(argvPass).size(), 127u);

    given.push_back("-ASM");
    EXPECT_EQ(parse(given), ExitCommandLine);
    EXPECT_EQ(out, Banner + " Error : Command line is too long\n\n");
    EXPECT_EQ(argvFirst[FirstVectorSize - 1], nullptr);
}

TEST_F(Options, PassesAssembleTheNameAsTypedWhereOnlyItExists) {
    auto home = std::filesystem::current_path();
    char pattern[] = "/tmp/kelvad-options-XXXXXX";
    std::filesystem::path dir = mkdtemp(pattern);
    std::filesystem::current_path(dir);
    auto create = [](const char* name) { fclose(fopen(name, "wb")); };
    create("prog.QSM");
    ASSERT_EQ(parse({"prog.QSM"}), NoExit);
    EXPECT_EQ(entriesOf(argvPass), (Words{"torna", "-e", "prog.QSM"}));
    ASSERT_EQ(parse({"prog.QSM", "-ASM"}), NoExit);
    EXPECT_EQ(workName, "prog.i");
    ASSERT_EQ(parse({"other.QSM"}), NoExit);
    EXPECT_EQ(workName, "other.qsm");
    create("prog.qsm");
    ASSERT_EQ(parse({"prog.QSM"}), NoExit);
    EXPECT_EQ(entriesOf(argvPass), (Words{"torna", "-e", "prog.qsm"}));
    std::filesystem::current_path(home);
    std::filesystem::remove_all(dir);
}

// Runs checkSourceName on `name`; returns the status (NoExit if it returned).
int checkName(const std::string& name, std::string& out) {
    initGlobals();
    srcName = name;
    int status = NoExit;
    testing::internal::CaptureStdout();
    try {
        checkSourceName();
    } catch (const ExitRequest& request) {
        status = request.status;
    }
    out = testing::internal::GetCapturedStdout();
    return status;
}

TEST(SourceName, FirstDotMustStartTheExtensionQsmInAnyCase) {
    std::string out;
    EXPECT_EQ(checkName("prog.QsM", out), NoExit);
    EXPECT_EQ(srcName, "prog");
    EXPECT_EQ(origName, "prog.QsM");
    EXPECT_EQ(checkName("dir\\prog.qsm", out), NoExit);
    EXPECT_EQ(srcName, "dir\\prog");
    EXPECT_EQ(checkName("sub/prog.qsm", out), NoExit);
    EXPECT_EQ(srcName, "sub/prog");
    for (const char* bad : {"prog", "prog.asm", "prog.bak.qsm", "..\\prog.qsm", "prog.qsm ", "prog.qs", ".qsmx"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(checkName(bad, out), ExitCommandLine);
        EXPECT_EQ(out, Banner + " Error : Can't open file '" + bad + "'\n\n");
    }
    bannerOn = 0;
    srcName = "prog";
    testing::internal::CaptureStdout();
    EXPECT_THROW(checkSourceName(), ExitRequest);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " Error : Can't open file 'prog'\n\n");
}

TEST(SourceName, NotAllDigits) {
    EXPECT_EQ(notAllDigits(""), 0);
    EXPECT_EQ(notAllDigits("0123456789"), 0);
    EXPECT_EQ(notAllDigits("12a"), 1);
    EXPECT_EQ(notAllDigits(" 1"), 1);
    EXPECT_EQ(notAllDigits("-1"), 1);
}

// Runs the length test on words whose lengths are given; returns the status.
int checkLength(const std::vector<size_t>& lengths, std::string& out) {
    initGlobals();
    Words words;
    for (size_t length : lengths)
        words.push_back(std::string(length, 'x'));
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    int status = NoExit;
    testing::internal::CaptureStdout();
    try {
        checkCommandLength(static_cast<int>(argv.size()), argv.data());
    } catch (const ExitRequest& request) {
        status = request.status;
    }
    out = testing::internal::GetCapturedStdout();
    return status;
}

TEST(CommandLength, WordZeroCountsAndTwoHundredFiftySixIsTooMany) {
    std::string out;
    EXPECT_EQ(checkLength({6, 8, 241}, out), NoExit);
    EXPECT_EQ(out, "");
    EXPECT_EQ(checkLength({255}, out), NoExit);
    EXPECT_EQ(checkLength({6, 8, 242}, out), ExitCommandLine);
    EXPECT_EQ(out, Banner + " Error : Command line is too long\n\n");
    EXPECT_EQ(checkLength({256}, out), ExitCommandLine);
    std::vector<size_t> ones(256, 1);
    EXPECT_EQ(checkLength(ones, out), ExitCommandLine);
}

}  // namespace
