// Tests of knowing files by identity, following links to the file to replace, and the folder lock.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

class PlatformIdentity : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kelvad-identity.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        scratch = pattern;
        home = fs::current_path();
        fs::current_path(scratch);
        std::ofstream("a.qsm") << "one\n";
        std::ofstream("b.qsm") << "one\n";
        fs::create_directory("sub");
    }
    void TearDown() override {
        fs::current_path(home);
        fs::remove_all(scratch);
    }
    fs::path scratch;
    fs::path home;
};

// The identity of `name`, which must be a regular file.
FileIdentity regularIdentity(const char* name) {
    FileIdentity identity{};
    EXPECT_EQ(identifyFile(name, identity), FileRegular) << name;
    return identity;
}

TEST_F(PlatformIdentity, NamesOfOneFileGiveOneIdentity) {
    ASSERT_EQ(link("a.qsm", "sub/hard.qsm"), 0);
    ASSERT_EQ(symlink("../a.qsm", "sub/soft.qsm"), 0);
    FileIdentity a = regularIdentity("a.qsm");
    for (const char* name : {"./a.qsm", "sub/../a.qsm", "sub/hard.qsm", "sub/soft.qsm"})
        EXPECT_TRUE(sameFile(a, regularIdentity(name))) << name;
    EXPECT_FALSE(sameFile(a, regularIdentity("b.qsm")));
    FILE* stream = fopen("sub/soft.qsm", "rb");
    ASSERT_NE(stream, nullptr);
    FileIdentity opened{};
    EXPECT_TRUE(identifyStream(stream, opened));
    fclose(stream);
    EXPECT_TRUE(sameFile(a, opened));
}

TEST_F(PlatformIdentity, OnlyRegularFilesAreRegular) {
    ASSERT_EQ(mkfifo("pipe", 0600), 0);
    ASSERT_EQ(symlink("sub", "tosub"), 0);
    ASSERT_EQ(symlink("nowhere", "dangling"), 0);
    FileIdentity identity{};
    EXPECT_EQ(identifyFile("pipe", identity), FileSpecial);
    EXPECT_EQ(identifyFile("sub", identity), FileSpecial);
    EXPECT_EQ(identifyFile("tosub", identity), FileSpecial);
    EXPECT_EQ(identifyFile("/dev/null", identity), FileSpecial);
    EXPECT_EQ(identifyFile("dangling", identity), FileUnknown);
    EXPECT_EQ(identifyFile("missing", identity), FileUnknown);
}

TEST_F(PlatformIdentity, LinksLeadToTheFileAtTheEndOfTheChain) {
    ASSERT_EQ(symlink("../a.qsm", "sub/first.qsm"), 0);
    ASSERT_EQ(symlink("sub/first.qsm", "second.qsm"), 0);
    ASSERT_EQ(symlink("nowhere", "dangling"), 0);
    std::string real = fs::canonical("a.qsm").string();
    EXPECT_EQ(replaceableName("second.qsm"), real);
    EXPECT_EQ(replaceableName("sub/first.qsm"), real);
    EXPECT_EQ(replaceableName("./a.qsm"), "./a.qsm");
    EXPECT_EQ(replaceableName("dangling"), "dangling");
    EXPECT_EQ(replaceableName("missing"), "missing");
}

// Tries the folder's lock without waiting, as another run would take it.
bool folderIsFree() {
    int fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return free;
}

TEST_F(PlatformIdentity, FolderLockLastsUntilTheProcessIsKilled) {
    ASSERT_TRUE(folderIsFree());
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        lockWorkingFolder();
        (void)!write(ready[1], "x", 1);
        pause();
        _exit(0);
    }
    char mark;
    ASSERT_EQ(read(ready[0], &mark, 1), 1);
    EXPECT_FALSE(folderIsFree());
    kill(child, SIGKILL);
    int status;
    waitpid(child, &status, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_TRUE(folderIsFree());
}

}  // namespace
