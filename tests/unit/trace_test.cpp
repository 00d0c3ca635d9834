// Tests of the trace file "kelvad.ifo": header, checkpoints and its two failures.
#include "driver/trace.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "common/cleanup.h"
#include "common/globals.h"
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
    // A file-size limit of 0 fails the header's write as a full disk would.
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit none = saved;
    none.rlim_cur = 0;
    void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &none), 0);
    int status = parse({"+info", "prog.qsm", "-l"});
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
    EXPECT_EQ(status, ExitCommandLine);
    // The captured output is a file under the same limit: only the number is checked.
    // Parsing went on to the end: the vectors are complete.
    EXPECT_STREQ(argvPass[3], "prog.qsm");
    EXPECT_EQ(lastError, 2);
}

TEST_F(Trace, WhatStandsUnderTheNameIsReplacedNeverWrittenThrough) {
    std::ofstream("source.qsm") << "\tNOP\n";
    fs::create_symlink("source.qsm", "kelvad.ifo");
    fs::create_hard_link("source.qsm", "other.qsm");
    ASSERT_EQ(parse({"+info", "prog.qsm"}), NoExit);
    EXPECT_FALSE(fs::is_symlink("kelvad.ifo"));
    EXPECT_EQ(traceText(), Header + "+info prog.qsm " + Dashes + "KELVAD(1353)\n");
    // A hard link goes the same way.
    closeAll();
    initGlobals();
    fs::remove("kelvad.ifo");
    fs::create_hard_link("source.qsm", "kelvad.ifo");
    ASSERT_EQ(parse({"+info", "prog.qsm"}), NoExit);
    std::ifstream in("source.qsm", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), "\tNOP\n");
    EXPECT_EQ(fs::hard_link_count("source.qsm"), 2u);
}

}  // namespace
