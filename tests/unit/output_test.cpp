// Tests of copying source lines through, the comment echo and composed line ends.
#include "rewrite/output.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "common/globals.h"
#include "common/lineio.h"

namespace {

class Output : public testing::Test {
protected:
    void SetUp() override {
        initGlobals();
        attachStream(OutputSlot, tmpfile());
    }
    void TearDown() override {
        for (int slot : {SourceSlot, OutputSlot}) {
            if (!openFlags[slot])
                continue;
            fclose(streams[slot]);
            detachStream(slot);
            openFlags[slot] = 0;
        }
    }
    void source(const std::string& text) {
        FILE* stream = tmpfile();
        fwrite(text.data(), 1, text.size(), stream);
        rewind(stream);
        attachStream(SourceSlot, stream);
    }
    std::string written() {
        flushOutput();
        long size = ftell(outputStream);
        std::string text(size, '\0');
        rewind(outputStream);
        size_t got = fread(&text[0], 1, size, outputStream);
        text.resize(got);
        return text;
    }
};

}  // namespace

TEST_F(Output, CopyThroughLineCountsWhatItCopies) {
    source("1\n2\n3\n4\n5\n");
    EXPECT_TRUE(copyThroughLine(2));
    EXPECT_EQ(sourceLineNo, 2);
    EXPECT_TRUE(copyThroughLine(2));
    EXPECT_TRUE(copyThroughLine(1));
    EXPECT_EQ(written(), "1\n2\n");
    EXPECT_FALSE(copyThroughLine(0));
    EXPECT_EQ(sourceLineNo, 5);
    EXPECT_EQ(written(), "1\n2\n3\n4\n5\n");
    EXPECT_FALSE(copyThroughLine(0));
}

TEST_F(Output, CopyThroughLineEdges) {
    source("a\nb\nc\n");
    sourceLineNo = 7;
    EXPECT_TRUE(copyThroughLine(5));
    EXPECT_EQ(written(), "");
    sourceLineNo = 0;
    EXPECT_FALSE(copyThroughLine(5));
    EXPECT_EQ(sourceLineNo, 3);
    EXPECT_EQ(written(), "a\nb\nc\n");
}

TEST_F(Output, CopiedLinesStayByteIdentical) {
    std::string text = "\tLDA\t#1\r\n" + std::string(100000, 'x') + "\r\n\r\n" + std::string("n\0ul\n", 5) +
                       "mixed\nlast; no line end";
    source(text);
    EXPECT_FALSE(copyThroughLine(0));
    EXPECT_EQ(written(), text);
    EXPECT_EQ(sourceLineNo, 6);
    EXPECT_EQ(lineEnd, "\r\n");
}

TEST_F(Output, FirstLineDecidesTheLineEnd) {
    source("a\nb\r\n");
    lineEnd = "\r\n";
    EXPECT_TRUE(copyThroughLine(2));
    EXPECT_EQ(lineEnd, "\n");
    EXPECT_FALSE(readSourceLine(lineBuf));
    EXPECT_EQ(sourceLineNo, 3);

    TearDown();
    SetUp();
    source("x\r\ny\n");
    std::string line;
    EXPECT_TRUE(readSourceLine(line));
    EXPECT_EQ(line, "x\r\n");
    EXPECT_EQ(lineEnd, "\r\n");
    EXPECT_TRUE(readSourceLine(line));
    EXPECT_EQ(lineEnd, "\r\n");
    EXPECT_FALSE(readSourceLine(line));
    EXPECT_EQ(line, "");
    EXPECT_EQ(sourceLineNo, 3);
}

TEST_F(Output, WriteGeneratedFollowsTheLineEnd) {
    writeGenerated("a\tb\n..lop1:\n");
    lineEnd = "\r\n";
    writeGenerated("c\n\nd");
    EXPECT_EQ(written(), "a\tb\n..lop1:\nc\r\n\r\nd");
}

TEST_F(Output, WriteLineAsComment) {
    lineBuf = "\tBEQ\tLABEL1\n";
    writeLineAsComment();
    EXPECT_EQ(written(), "");
    optComment = 1;
    writeLineAsComment();
    lineBuf = "\tIF\tX\r\n";
    writeLineAsComment();
    lineEnd = "\r\n";
    lineBuf = "\tBEQ\tLAST";
    writeLineAsComment();
    EXPECT_EQ(written(), ";\tBEQ\tLABEL1\n;\tIF\tX\r\n;\tBEQ\tLAST\r\n");
}
