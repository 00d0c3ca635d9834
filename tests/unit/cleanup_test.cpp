// Tests of the clean-up routines: fatalExit, closeAll and closeStream.
#include "common/cleanup.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/globals.h"
#include "common/lineio.h"

namespace fs = std::filesystem;

namespace {

class Cleanup : public testing::Test {
protected:
    void SetUp() override {
        initGlobals();
        home = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "kelvad-cleanup.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        scratch = pattern;
        fs::current_path(scratch);
    }
    void TearDown() override {
        closeAll();
        removeTemporaryFile = nullptr;
        initGlobals();
        fs::current_path(home);
        fs::remove_all(scratch);
    }

    void openSlot(int slot, const char* name, const char* mode) {
        FILE* stream = fopen(name, mode);
        ASSERT_NE(stream, nullptr);
        attachStream(slot, stream);
    }

    // Opens the three slots as a rewrite would have them: tag and source read, tmpbra00 written.
    void openAllSlots() {
        writeFile("prog.tag", "");
        writeFile("prog.qsm", "\tNOP\n");
        openSlot(TagSlot, "prog.tag", "rb");
        openSlot(SourceSlot, "prog.qsm", "rb");
        openSlot(OutputSlot, TempFileName, "wb");
    }

    static void writeFile(const char* name, const std::string& text) {
        FILE* stream = fopen(name, "wb");
        fwrite(text.data(), 1, text.size(), stream);
        fclose(stream);
    }

    static int fatalStatus(int status) {
        try {
            fatalExit(status);
        } catch (const ExitRequest& request) {
            return request.status;
        }
        return -1;
    }

    fs::path home;
    fs::path scratch;
};

TEST_F(Cleanup, FatalExitClosesTheSlotsAndRemovesAnOpenTemporaryFile) {
    openAllSlots();
    removeTemporaryFile = [] { remove(TempFileName); };
    EXPECT_EQ(fatalStatus(3), 3);
    EXPECT_FALSE(fs::exists(TempFileName));
    EXPECT_TRUE(fs::exists("prog.qsm"));
    for (int slot = 0; slot < SlotCount; ++slot) {
        EXPECT_EQ(openFlags[slot], 0);
        EXPECT_EQ(openDescriptors[slot], -1);
    }
}

TEST_F(Cleanup, NoDeleteKeepsTheTemporaryFile) {
    openAllSlots();
    removeTemporaryFile = [] { remove(TempFileName); };
    optNoDelete = 1;
    EXPECT_EQ(fatalStatus(1), 1);
    EXPECT_TRUE(fs::exists(TempFileName));
}

TEST_F(Cleanup, AnAlreadyClosedTemporaryFileIsLeftInPlace) {
    openSlot(OutputSlot, TempFileName, "wb");
    closeStream(OutputSlot);
    EXPECT_EQ(fatalStatus(3), 3);
    EXPECT_TRUE(fs::exists(TempFileName));
}

TEST_F(Cleanup, FatalExitLeavesTheTraceFileOpen) {
    traceStream = fopen("kelvad.ifo", "wb");
    traceOn = 1;
    EXPECT_EQ(fatalStatus(2), 2);
    EXPECT_EQ(traceOn, 1);
}

TEST_F(Cleanup, CloseAllClosesEveryStreamOnceAndRemovesNothing) {
    openAllSlots();
    traceStream = fopen("kelvad.ifo", "wb");
    traceOn = 1;
    openDescriptors[SlotCount] = fileno(traceStream);
    closeAll();
    for (int slot = 0; slot < SlotCount; ++slot) {
        EXPECT_EQ(openFlags[slot], 0);
        EXPECT_EQ(streams[slot], nullptr);
        EXPECT_EQ(openDescriptors[slot], -1);
    }
    EXPECT_EQ(traceOn, 0);
    EXPECT_EQ(openDescriptors[SlotCount], -1);
    EXPECT_TRUE(fs::exists(TempFileName));
    // A second call finds every flag clear (a second fclose would be caught by the sanitizer build).
    closeAll();
    EXPECT_EQ(traceOn, 0);
}

TEST_F(Cleanup, CloseStreamKeepsTheErrorIndicatorOfTheClose) {
    // Every write to /dev/full fails, but only when the buffer is flushed by fclose.
    openSlot(OutputSlot, "/dev/full", "wb");
    writeText(outputStream, "line\n");
    closeStream(OutputSlot);
    EXPECT_EQ(streamErrors[OutputSlot], 1);
    EXPECT_EQ(outputOpen, 0);

    openSlot(OutputSlot, TempFileName, "wb");
    writeText(outputStream, "line\n");
    closeStream(OutputSlot);
    EXPECT_EQ(streamErrors[OutputSlot], 0);

    // Reading a directory fails with a read error.
    fs::create_directory("dir");
    openSlot(SourceSlot, "dir", "rb");
    std::string line;
    EXPECT_FALSE(readLine(SourceSlot, line));
    closeStream(SourceSlot);
    EXPECT_EQ(streamErrors[SourceSlot], 1);
    // A closed slot is left alone, its recorded indicator too.
    closeStream(SourceSlot);
    EXPECT_EQ(streamErrors[SourceSlot], 1);

    openSlot(TagSlot, TempFileName, "rb");
    while (readLine(TagSlot, line)) {
    }
    closeStream(TagSlot);
    EXPECT_EQ(streamErrors[TagSlot], 0);
}

}  // namespace
