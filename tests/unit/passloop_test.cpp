// Tests of the assembler runs and the pass loop, with a shell script standing in for "torna".
#include "driver/passloop.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "common/cleanup.h"
#include "common/globals.h"
#include "common/messages.h"

namespace fs = std::filesystem;

namespace {

constexpr int NoExit = -1;

// Logs its arguments, leaves the tag file scripted in "tag.<run>", exits with "status.<run>".
// PATH holds no tools during the tests, so "command -p" finds them.
const char* const FakeAssembler =
    "#!/bin/sh\n"
    "run=0; [ -f count ] && read run < count\n"
    "run=$((run + 1)); echo $run > count\n"
    "echo \"$*\" >> runs.log\n"
    "if [ -f tag.$run ]; then command -p cp tag.$run prog.tag; else command -p rm -f prog.tag; fi\n"
    "[ -f kill.$run ] && kill -9 $$\n"
    "status=0; [ -f status.$run ] && read status < status.$run\n"
    "exit $status\n";

const char* const Vector[] = {"torna", "-e", "prog.qsm", nullptr};

class PassLoop : public testing::Test {
protected:
    void SetUp() override {
        initGlobals();
        home = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "kelvad-passloop.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        scratch = pattern;
        fs::current_path(scratch);
        const char* path = getenv("PATH");
        savedPath = path ? path : "";
        fs::create_directory("nothing");
        setenv("PATH", (scratch / "nothing").c_str(), 1);
        writeFile("torna", FakeAssembler);
        fs::permissions("torna", fs::perms::owner_all);
        srcName = "prog";
        for (int i = 0; Vector[i]; ++i)
            argvFirst[i] = argvPass[i] = Vector[i];
        argvFirst[3] = argvPass[3] = nullptr;
    }
    void TearDown() override {
        closeAll();
        initGlobals();
        setenv("PATH", savedPath.c_str(), 1);
        fs::current_path(home);
        fs::remove_all(scratch);
    }

    static void writeFile(const fs::path& name, const std::string& text) {
        std::ofstream(name, std::ios::binary) << text;
    }
    static std::string readFile(const fs::path& name) {
        std::ifstream in(name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // Runs the pass loop; returns the exit status it ended with (NoExit if it returned).
    int passes() {
        int status = NoExit;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        try {
            runPasses();
        } catch (const ExitRequest& request) {
            status = request.status;
        }
        err = testing::internal::GetCapturedStderr();
        out = testing::internal::GetCapturedStdout();
        return status;
    }

    int assemble() {
        testing::internal::CaptureStdout();
        int status = runAssembler("torna", Vector);
        out = testing::internal::GetCapturedStdout();
        return status;
    }

    fs::path home;
    fs::path scratch;
    std::string savedPath;
    std::string out;
    std::string err;
};

TEST_F(PassLoop, AssemblerStatusIsReturnedAndTheVectorPassedWhole) {
    writeFile("status.1", "1\n");
    writeFile("status.2", "7\n");
    EXPECT_EQ(assemble(), 1);
    EXPECT_EQ(assemble(), 7);
    EXPECT_EQ(assemble(), 0);
    EXPECT_EQ(readFile("runs.log"), "-e prog.qsm\n-e prog.qsm\n-e prog.qsm\n");
    EXPECT_EQ(out, "");
}

TEST_F(PassLoop, AssemblerEndedByASignalGivesOneHundredTwentyEightPlusItsNumber) {
    writeFile("kill.1", "");
    EXPECT_EQ(assemble(), 128 + 9);
}

TEST_F(PassLoop, AssemblerNowhereOrNotExecutableIsErrorSixAnd127) {
    fs::permissions("torna", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(assemble(), ExitNoAssembler);
    EXPECT_EQ(out, " Error : Error occurred in executing 'torna'\n\n");
    fs::remove("torna");
    EXPECT_EQ(assemble(), ExitNoAssembler);
    EXPECT_EQ(out, " Error : Error occurred in executing 'torna'\n\n");
    EXPECT_FALSE(fs::exists("runs.log"));
}

TEST_F(PassLoop, AssemblerIsLookedUpInPathAfterTheCurrentDirectory) {
    fs::create_directories("bin");
    fs::create_directories("dir/torna");
    fs::copy_file("torna", "bin/torna");
    fs::permissions("torna", fs::perms::owner_read | fs::perms::owner_write);
    setenv("PATH", ((scratch / "nothing").string() + ":" + (scratch / "dir").string() + ":" +
                    (scratch / "bin").string()).c_str(), 1);
    EXPECT_EQ(assemble(), 0);
    EXPECT_EQ(readFile("runs.log"), "-e prog.qsm\n");
}

TEST_F(PassLoop, EmptyTagFileEndsTheLoopWithTheTagStreamClosed) {
    writeFile("tag.2", "");
    EXPECT_EQ(passes(), NoExit);
    EXPECT_EQ(readFile("count"), "2\n");
    EXPECT_EQ(tagOpen, 0);
    EXPECT_EQ(openDescriptors[TagSlot], -1);
}

TEST_F(PassLoop, FailingStatusOfAnyRunEndsTheToolWithIt) {
    writeFile("status.1", "2\n");
    writeFile("tag.1", "prog.qsm 1 18: \"FAR\"\n");
    EXPECT_EQ(passes(), 2);
    EXPECT_EQ(readFile("count"), "1\n");
    EXPECT_EQ(err, "\n\n");

    fs::remove("count");
    fs::remove("status.1");
    writeFile("status.2", "3\n");
    EXPECT_EQ(passes(), 3);
    EXPECT_EQ(readFile("count"), "2\n");
    EXPECT_EQ(err, "\n\n\n\n");
}

}  // namespace
