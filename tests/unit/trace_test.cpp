// Tests of the trace file "kelvad.ifo": header, checkpoints and its two failures.
#include "driver/trace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/globals.h"
#include "common/cleanup.h"
#include "common/messages.h"
#include "driver/options.h"

namespace fs = std::filesystem;

namespace {

constexpr int NoExit = -1;
const std::string Header = "===== kelvad ======\n\tV.1.00.00\nargment : ";
const std::string Dashes = "-----------------------\n";

class Trace : public testing::Test {
protected:
    void SetUp() override {
        initGlobals();
        home = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "kelvad-trace.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        scratch = pattern;
        fs::current_path(scratch);
    }
    void TearDown() override {
        closeAll();
        initGlobals();
        fs::current_path(home);
        fs::remove_all(scratch);
    }

    // Runs parseArgs on "kelvad" and `given`; returns the status (NoExit if it returned).
    int parse(const std::vector<std::string>& given) {
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

    static std::string traceText() {
        std::ifstream in("kelvad.ifo", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    fs::path home;
    fs::path scratch;
    std::vector<std::string> words;
    std::vector<char*> argv;
    std::string out;
};

TEST_F(Trace, HeaderListsTheWordsFromInfoOnThenTheSourceNameCheckpoint) {
    ASSERT_EQ(parse({"-l", "+info", "prog.qsm", "-x"}), NoExit);
    EXPECT_EQ(traceOn, 1);
    EXPECT_EQ(traceText(), Header + "+info prog.qsm -x " + Dashes + "KELVAD(1353)\n");
    writeCheckpoint(84);
    EXPECT_EQ(traceText(), Header + "+info prog.qsm -x " + Dashes + "KELVAD(1353)\nKELVAD(84)\n");
    EXPECT_EQ(out, "");
}

TEST_F(Trace, ASecondInfoStartsTheFileAgain) {
    ASSERT_EQ(parse({"+info", "prog.qsm", "+info", "-l"}), NoExit);
    EXPECT_EQ(traceText(), Header + "+info -l " + Dashes + "KELVAD(1353)\n");
}

TEST_F(Trace, NoCheckpointWithoutTrace) {
    writeCheckpoint(84);
    EXPECT_FALSE(fs::exists("kelvad.ifo"));
}

TEST_F(Trace, UnwritableHeaderEndsTheRunWithStatusTwoAfterParsing) {
    fs::create_symlink("/dev/full", "kelvad.ifo");
    EXPECT_EQ(parse({"+info", "prog.qsm", "-l"}), ExitCommandLine);
    EXPECT_EQ(out, " Error : Can't create Tmporary file\n\n");
    // Parsing went on to the end: the vectors are complete.
    EXPECT_STREQ(argvPass[3], "prog.qsm");
    EXPECT_EQ(lastError, 2);
}

}  // namespace
