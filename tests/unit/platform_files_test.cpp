// Tests of creating the temporary file and putting it in place of a source.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

void writeFile(const std::string& name, const std::string& text) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string readFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

unsigned permissionsOf(const std::string& name) {
    struct stat info;
    return stat(name.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

class PlatformFiles : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kelvad-platformfiles.XXXXXX";
        scratch = mkdtemp(pattern);
        home = fs::current_path();
        fs::current_path(scratch);
    }

    void TearDown() override {
        fs::current_path(home);
        fs::remove_all(scratch);
    }

    // Writes `text` through openFreshOutput; false if it gave no stream.
    bool writeFresh(const char* name, const std::string& text) {
        FILE* stream = openFreshOutput(name);
        if (!stream)
            return false;
        fwrite(text.data(), 1, text.size(), stream);
        return fclose(stream) == 0;
    }

    fs::path scratch;
    fs::path home;
};

TEST_F(PlatformFiles, FreshOutputReplacesWhateverStoodThere) {
    writeFile("tmpbra00", "a much longer old text\n");
    EXPECT_TRUE(writeFresh("tmpbra00", "new\n"));
    EXPECT_EQ(readFile("tmpbra00"), "new\n");

    // Neither a link nor a second name of another file is written through.
    writeFile("victim", "keep\n");
    fs::remove("tmpbra00");
    fs::create_symlink("victim", "tmpbra00");
    EXPECT_TRUE(writeFresh("tmpbra00", "x\n"));
    EXPECT_FALSE(fs::is_symlink("tmpbra00"));
    EXPECT_EQ(readFile("victim"), "keep\n");
    fs::remove("tmpbra00");
    fs::create_hard_link("victim", "tmpbra00");
    EXPECT_TRUE(writeFresh("tmpbra00", "y\n"));
    EXPECT_EQ(readFile("victim"), "keep\n");
    EXPECT_EQ(readFile("tmpbra00"), "y\n");

    // A dangling link goes too, and nothing appears where it pointed.
    fs::remove("tmpbra00");
    fs::create_symlink("nowhere", "tmpbra00");
    EXPECT_TRUE(writeFresh("tmpbra00", "z\n"));
    EXPECT_FALSE(fs::exists("nowhere"));
}

TEST_F(PlatformFiles, FreshOutputRefusesADirectory) {
    fs::create_directory("tmpbra00");
    EXPECT_EQ(openFreshOutput("tmpbra00"), nullptr);
    EXPECT_TRUE(fs::is_directory("tmpbra00"));
    EXPECT_EQ(openFreshOutput("nodir/tmpbra00"), nullptr);
}

TEST_F(PlatformFiles, ReplaceRenamesAndKeepsThePermissionBits) {
    writeFile("prog.qsm", "old\n");
    chmod("prog.qsm", 0751);
    writeFile("tmpbra00", "new\n");
    EXPECT_TRUE(replaceFile("tmpbra00", "prog.qsm"));
    EXPECT_EQ(readFile("prog.qsm"), "new\n");
    EXPECT_EQ(permissionsOf("prog.qsm"), 0751u);
    EXPECT_FALSE(fs::exists("tmpbra00"));
}

TEST_F(PlatformFiles, ReplaceMovesOnlyTheFileItWasGiven) {
    writeFile("prog.qsm", "old\n");
    writeFile("tmpbra00", "ours\n");
    FileIdentity ours;
    ASSERT_EQ(identifyFile("tmpbra00", ours), FileRegular);
    // Another program puts a file of its own under the name.
    fs::rename("tmpbra00", "stolen");
    writeFile("tmpbra00", "intruder\n");
    EXPECT_FALSE(replaceFile("tmpbra00", "prog.qsm", &ours));
    EXPECT_EQ(readFile("prog.qsm"), "old\n");
    EXPECT_EQ(readFile("tmpbra00"), "intruder\n");
    fs::rename("stolen", "tmpbra00");
    EXPECT_TRUE(replaceFile("tmpbra00", "prog.qsm", &ours));
    EXPECT_EQ(readFile("prog.qsm"), "ours\n");
}

TEST_F(PlatformFiles, ReplaceCopiesWhenTheRenameIsRefused) {
    // A directory cannot be renamed over, but the copy into it fails too:
    // the temporary stays with its text.
    fs::create_directory("prog.qsm");
    writeFile("tmpbra00", "new\n");
    EXPECT_FALSE(replaceFile("tmpbra00", "prog.qsm"));
    EXPECT_EQ(readFile("tmpbra00"), "new\n");
    EXPECT_FALSE(replaceFile("tmpbra00", "nodir/prog.qsm"));
    EXPECT_EQ(readFile("tmpbra00"), "new\n");

    char pattern[] = "/dev/shm/kelvad-platformfiles.XXXXXX";
    if (!fs::is_directory("/dev/shm") || !mkdtemp(pattern))
        GTEST_SKIP() << "no /dev/shm";
    fs::path elsewhere = pattern;
    struct stat here, there;
    stat(".", &here);
    stat(pattern, &there);
    std::string target = (elsewhere / "prog.qsm").string();
    writeFile(target, "old text, longer than the new one\n");
    chmod(target.c_str(), 0640);
    bool replaced = replaceFile("tmpbra00", target.c_str());
    std::string text = readFile(target);
    unsigned mode = permissionsOf(target);
    fs::remove_all(elsewhere);
    if (here.st_dev == there.st_dev)
        GTEST_SKIP() << "/dev/shm is on the file system of the scratch directory";
    EXPECT_TRUE(replaced);
    EXPECT_EQ(text, "new\n");
    EXPECT_EQ(mode, 0640u);
    EXPECT_FALSE(fs::exists("tmpbra00"));
}

// Across file systems the text is first copied beside the target and renamed
// there, so a kill during the copy never leaves the target half written: the
// target is a new file, and no copy is left beside it.
TEST_F(PlatformFiles, ReplaceAcrossFileSystemsStillChangesTheTargetInOneStep) {
    char pattern[] = "/dev/shm/kelvad-platformfiles.XXXXXX";
    if (!fs::is_directory("/dev/shm") || !mkdtemp(pattern))
        GTEST_SKIP() << "no /dev/shm";
    fs::path elsewhere = pattern;
    struct stat here, there, before, after;
    stat(".", &here);
    stat(pattern, &there);
    std::string target = (elsewhere / "prog.qsm").string();
    writeFile(target, "old\n");
    chmod(target.c_str(), 0604);
    stat(target.c_str(), &before);
    writeFile("tmpbra00", "new\n");
    bool replaced = replaceFile("tmpbra00", target.c_str());
    stat(target.c_str(), &after);
    std::string text = readFile(target);
    size_t entries = std::distance(fs::directory_iterator(elsewhere), fs::directory_iterator());
    fs::remove_all(elsewhere);
    if (here.st_dev == there.st_dev)
        GTEST_SKIP() << "/dev/shm is on the file system of the scratch directory";
    EXPECT_TRUE(replaced);
    EXPECT_EQ(text, "new\n");
    EXPECT_NE(before.st_ino, after.st_ino);
    EXPECT_EQ(after.st_mode & 07777, 0604u);
    EXPECT_EQ(entries, 1u);
    EXPECT_FALSE(fs::exists("tmpbra00"));
}

// A copy beside the target that fails for want of room (here a file-size
// limit) would fail inside the target too: the target is left untouched.
TEST_F(PlatformFiles, ReplaceLeavesTheTargetAloneWhenTheCopyBesideItFails) {
    char pattern[] = "/dev/shm/kelvad-platformfiles.XXXXXX";
    if (!fs::is_directory("/dev/shm") || !mkdtemp(pattern))
        GTEST_SKIP() << "no /dev/shm";
    fs::path elsewhere = pattern;
    std::string target = (elsewhere / "prog.qsm").string();
    std::string oldText(1000, 'o'), newText(20000, 'n');
    writeFile(target, oldText);
    writeFile("tmpbra00", newText);
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 8 * 1024;
    void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool replaced = replaceFile("tmpbra00", target.c_str());
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    std::string text = readFile(target);
    size_t entries = std::distance(fs::directory_iterator(elsewhere), fs::directory_iterator());
    fs::remove_all(elsewhere);
    EXPECT_FALSE(replaced);
    EXPECT_TRUE(text == oldText) << "the target now holds " << text.size() << " bytes";
    EXPECT_EQ(entries, 1u);
    EXPECT_TRUE(readFile("tmpbra00") == newText);
}

// A directory that takes no new entry (immutable, as root can make it): the
// text is written into the target itself, which keeps its own file and bits.
TEST_F(PlatformFiles, ReplaceWritesIntoTheTargetWhenItsDirectoryIsLocked) {
    fs::create_directory("locked");
    writeFile("locked/prog.qsm", "old text\n");
    chmod("locked/prog.qsm", 0600);
    struct stat before, after;
    stat("locked/prog.qsm", &before);
    if (system("chattr +i locked 2>/dev/null") != 0)
        GTEST_SKIP() << "chattr +i is not possible here";
    writeFile("tmpbra00", "new\n");
    bool replaced = replaceFile("tmpbra00", "locked/prog.qsm");
    stat("locked/prog.qsm", &after);
    size_t entries = std::distance(fs::directory_iterator("locked"), fs::directory_iterator());
    EXPECT_EQ(system("chattr -i locked"), 0);
    EXPECT_TRUE(replaced);
    EXPECT_EQ(readFile("locked/prog.qsm"), "new\n");
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(after.st_mode & 07777, 0600u);
    EXPECT_EQ(entries, 1u);
    EXPECT_FALSE(fs::exists("tmpbra00"));
}

}  // namespace

namespace {

TEST_F(PlatformFiles, OnlyTheFileWrittenIsRemovedByIdentity) {
    writeFile("tmpbra00", "ours\n");
    FileIdentity ours;
    ASSERT_EQ(identifyFile("tmpbra00", ours), FileRegular);
    // Another program's file under the name stays.
    fs::rename("tmpbra00", "stolen");
    writeFile("tmpbra00", "theirs\n");
    removeOwnFile("tmpbra00", ours);
    EXPECT_EQ(readFile("tmpbra00"), "theirs\n");
    fs::remove("tmpbra00");
    fs::rename("stolen", "tmpbra00");
    removeOwnFile("tmpbra00", ours);
    EXPECT_FALSE(fs::exists("tmpbra00"));
}

TEST_F(PlatformFiles, ALeftoverOldTextIsFoundWithItsOwner) {
    std::string owner = "stale";
    writeFile("tmpbra01.part", "part\n");
    writeFile("tmpbra01.name", "lost.qsm\n");
    // Without "tmpbra01" its companions are stale and go.
    EXPECT_FALSE(findLeftoverOldText(owner));
    EXPECT_FALSE(fs::exists("tmpbra01.part"));
    EXPECT_FALSE(fs::exists("tmpbra01.name"));
    writeFile("tmpbra01", "old\n");
    EXPECT_TRUE(findLeftoverOldText(owner));
    EXPECT_EQ(owner, "");
    writeFile("tmpbra01.name", "sub/inc.qsm\n");
    EXPECT_TRUE(findLeftoverOldText(owner));
    EXPECT_EQ(owner, "sub/inc.qsm");
    EXPECT_EQ(readFile("tmpbra01"), "old\n");
}

}  // namespace
