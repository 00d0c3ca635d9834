// Tests of the whole-line reader.
#include "common/lineio.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/globals.h"

namespace {

FILE* streamOf(const std::string& text) {
    FILE* stream = tmpfile();
    fwrite(text.data(), 1, text.size(), stream);
    rewind(stream);
    return stream;
}

std::string readAll(const std::string& text, std::string separator = "|") {
    initGlobals();
    attachStream(SourceSlot, streamOf(text));
    std::string result, line;
    while (readLine(SourceSlot, line))
        result += line + separator;
    fclose(sourceStream);
    detachStream(SourceSlot);
    return result;
}

}  // namespace

TEST(LineIo, KeepsLineEndsAndAFinalLineWithoutOne) {
    EXPECT_EQ(readAll("a\nbb\r\n\nlast"), "a\n|bb\r\n|\n|last|");
    EXPECT_EQ(readAll(""), "");
    EXPECT_EQ(readAll("\n"), "\n|");
}

TEST(LineIo, KeepsNulBytesAndLinesLongerThanAChunk) {
    std::string nul("x\0y\n", 4);
    EXPECT_EQ(readAll(nul), nul + "|");
    std::string longLine(700000, 'q');
    EXPECT_EQ(readAll(longLine + "\nz\n"), longLine + "\n|z\n|");
}

namespace {

// What copyLines wrote to a fresh output and what it counted, for `count` lines
// of `text`; `rest` gets the first line left in the stream after it.
std::string copyOf(const std::string& text, long count, long& copied, std::string& rest) {
    initGlobals();
    attachStream(SourceSlot, streamOf(text));
    FILE* out = tmpfile();
    copied = copyLines(SourceSlot, out, count);
    readLine(SourceSlot, rest);
    fclose(sourceStream);
    detachStream(SourceSlot);
    rewind(out);
    std::string written;
    for (int c; (c = fgetc(out)) != EOF;)
        written += static_cast<char>(c);
    fclose(out);
    return written;
}

}  // namespace

TEST(LineIo, CopyLinesStopsAfterTheCountedLine) {
    std::string lines;
    for (int i = 1; i <= 1000; ++i)
        lines += std::to_string(i) + "\n";
    long copied;
    std::string rest;
    std::string written = copyOf(lines, 517, copied, rest);
    EXPECT_EQ(copied, 517);
    EXPECT_EQ(written, lines.substr(0, lines.find("518\n")));
    EXPECT_EQ(rest, "518\n");
    EXPECT_EQ(copyOf(lines, 0, copied, rest), "");
    EXPECT_EQ(copied, 0);
    EXPECT_EQ(rest, "1\n");
    // Line ends counted a block at a time: the counted line may end exactly at a block's end.
    std::string even;
    for (int i = 0; i < 100; ++i)
        even += i == 32 ? "next\n" : "abc\n";
    EXPECT_EQ(copyOf(even, 32, copied, rest).size(), 128u);
    EXPECT_EQ(copied, 32);
    EXPECT_EQ(rest, "next\n");
    // Many line ends in one block: every count picks out the right one of them.
    std::string dense;
    std::vector<size_t> ends;
    for (int i = 0; i < 300; ++i) {
        dense += std::string(i % 5, 'a' + i % 26) + "\n";
        ends.push_back(dense.size());
    }
    for (long count = 1; count <= 300; ++count) {
        std::string written = copyOf(dense, count, copied, rest);
        ASSERT_EQ(written, dense.substr(0, ends[count - 1])) << count;
        ASSERT_EQ(copied, count);
    }
}

TEST(LineIo, CopyLinesAcrossReadBuffersAndAtTheEnd) {
    // A line longer than the read buffer, then one that ends exactly at a buffer's end.
    std::string longLine(700000, 'q');
    std::string text = longLine + "\r\n" + std::string((1 << 18) * 3 - longLine.size() - 3, 'w') + "\nx\n";
    long copied;
    std::string rest;
    EXPECT_EQ(copyOf(text, 2, copied, rest), text.substr(0, text.size() - 2));
    EXPECT_EQ(copied, 2);
    EXPECT_EQ(rest, "x\n");
    // All that is left, a last line without a line end counting as one.
    EXPECT_EQ(copyOf("a\nb\nlast", -1, copied, rest), "a\nb\nlast");
    EXPECT_EQ(copied, 3);
    EXPECT_EQ(rest, "");
    EXPECT_EQ(copyOf("a\n", 5, copied, rest), "a\n");
    EXPECT_EQ(copied, 1);
    EXPECT_EQ(copyOf("", -1, copied, rest), "");
    EXPECT_EQ(copied, 0);
}

TEST(LineIo, ReadLineInPlaceHandsOutTheBufferedBytes) {
    initGlobals();
    std::string longLine(300000, 'z');
    attachStream(SourceSlot, streamOf("ab\r\n" + longLine + "\nend"));
    const char* data;
    size_t size;
    ASSERT_TRUE(readLineInPlace(SourceSlot, data, size));
    EXPECT_EQ(std::string(data, size), "ab\r\n");
    ASSERT_TRUE(readLineInPlace(SourceSlot, data, size));
    EXPECT_EQ(std::string(data, size), longLine + "\n");
    ASSERT_TRUE(readLineInPlace(SourceSlot, data, size));
    EXPECT_EQ(std::string(data, size), "end");
    EXPECT_FALSE(readLineInPlace(SourceSlot, data, size));
    EXPECT_EQ(size, 0u);
    fclose(sourceStream);
    detachStream(SourceSlot);
}

TEST(LineIo, PeekLinesGivesWholeLinesReadAheadWithoutPassingOverThem) {
    initGlobals();
    std::string longLine(262140, 'q');  // with the lines before it, crosses the end of the first chunk
    attachStream(SourceSlot, streamOf("a\nbb\nc\n" + longLine + "\nend"));
    std::string line;
    ASSERT_TRUE(readLine(SourceSlot, line));
    const char* data;
    size_t sizes[3];
    ASSERT_TRUE(peekLines(SourceSlot, 2, data, sizes));
    EXPECT_EQ(std::string(data, sizes[0] + sizes[1]), "bb\nc\n");
    EXPECT_EQ(sizes[0], 3u);
    passPeeked(SourceSlot, sizes[0]);
    ASSERT_TRUE(readLine(SourceSlot, line));
    EXPECT_EQ(line, "c\n");
    // Not whole in what was read ahead: nothing is given, nothing passed over.
    EXPECT_FALSE(peekLines(SourceSlot, 1, data, sizes));
    ASSERT_TRUE(readLine(SourceSlot, line));
    EXPECT_EQ(line, longLine + "\n");
    EXPECT_FALSE(peekLines(SourceSlot, 1, data, sizes));  // "end" has no line end
    fclose(sourceStream);
    detachStream(SourceSlot);
}

TEST(LineIo, OutputGoesOutInOrderWhetherGatheredOrWrittenStraight) {
    initGlobals();
    attachStream(OutputSlot, tmpfile());
    std::string block(20000, 'b');  // long enough to skip the gathering
    writeBytes(outputStream, "a", 1);
    writeBytes(outputStream, block.data(), block.size());
    writeBytes(outputStream, "c", 1);
    flushOutput();
    rewind(outputStream);
    std::string written(block.size() + 8, '\0');
    written.resize(fread(&written[0], 1, written.size(), outputStream));
    EXPECT_EQ(written, "a" + block + "c");
    fclose(outputStream);
    detachStream(OutputSlot);
    outputOpen = 0;
}
