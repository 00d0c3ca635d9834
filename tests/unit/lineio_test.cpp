// Tests of the whole-line reader.
#include "common/lineio.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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
