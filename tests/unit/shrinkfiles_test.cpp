// Tests of the shrink of a program's files: which files are read, which are replaced.
#include "rewrite/shrinkfiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>

#include "common/globals.h"
#include "scratchdir.h"

namespace {

const std::string G = ";This is the line which kelvad generated\n";

class ShrinkFiles : public testing::Test {
protected:
    void SetUp() override {
        initGlobals();
        enterScratchDir(dir, "kelvad-shrink");
    }
    void TearDown() override { leaveScratchDir(dir); }

    static void write(const char* name, const std::string& text) { std::ofstream(name, std::ios::binary) << text; }
    static std::string read(const char* name) {
        std::ifstream in(name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static ino_t inodeOf(const char* name) {
        struct stat info {};
        stat(name, &info);
        return info.st_ino;
    }

    ScratchDir dir;
};

// Labels count over every file named; a file named twice counts once; only a
// file that changes is replaced, and "tmpbra00" is gone afterwards.
TEST_F(ShrinkFiles, RestoresEachFileOnceAndReplacesOnlyThoseThatChange) {
    std::string group1 = "\tBNE\t..lop1\t" + G + "\tJMP\tFAR\t" + G + "..lop1:\n";
    std::string group2 = "\tBEQ\t..lop2\t" + G + "\tJMP\tFAR\t" + G + "..lop2:\n";
    write("prog.qsm", group1 + group2 + "\tINCLUDE\t\"part.inc\"\n");
    write("part.inc", "\tDW\t..lop2\n");
    ino_t includeBefore = inodeOf("part.inc");
    shrinkFiles({"prog.qsm", "missing.inc", "./prog.qsm", "part.inc"});
    EXPECT_EQ(read("prog.qsm"), "\tBEQ\tFAR\n" + group2 + "\tINCLUDE\t\"part.inc\"\n");
    EXPECT_EQ(read("part.inc"), "\tDW\t..lop2\n");
    EXPECT_EQ(inodeOf("part.inc"), includeBefore);
    EXPECT_FALSE(std::ifstream("tmpbra00").good());
}

}  // namespace
