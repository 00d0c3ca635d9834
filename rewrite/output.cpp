// Passing source text through to "tmpbra00", and writing the lines the tool composes.
#include "rewrite/output.h"

#include "common/globals.h"
#include "common/lineio.h"

namespace {

// The first line of a file decides the line end of every line composed for it.
void takeLineEnd(const std::string& firstLine) {
    size_t size = firstLine.size();
    bool crlf = size >= 2 && firstLine[size - 2] == '\r' && firstLine[size - 1] == '\n';
    lineEnd = crlf ? "\r\n" : "\n";
}

}  // namespace

bool readSourceLine(std::string& line) {
    bool got = readLine(SourceSlot, line);
    if (++sourceLineNo == 1)
        takeLineEnd(line);
    return got;
}

bool copyThroughLine(long n) {
    if (n != 0 && sourceLineNo >= n)
        return true;
    if (sourceLineNo == 0) {
        if (!readLine(SourceSlot, lineBuf))
            return false;
        sourceLineNo = 1;
        takeLineEnd(lineBuf);
        writeText(outputStream, lineBuf);
    }
    // The hot path: the lines go out in large blocks, never one by one.
    long wanted = n == 0 ? -1 : n - sourceLineNo;
    long copied = copyLines(SourceSlot, outputStream, wanted);
    sourceLineNo += copied;
    return n != 0 && copied == wanted;
}

void writeGenerated(const std::string& text) {
    if (lineEnd.size() == 1 && lineEnd[0] == '\n') {
        writeText(outputStream, text);
        return;
    }
    size_t start = 0;
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', start)) {
        writeBytes(outputStream, text.data() + start, at - start);
        writeText(outputStream, lineEnd);
        start = at + 1;
    }
    writeBytes(outputStream, text.data() + start, text.size() - start);
}

void writeLineAsComment() {
    if (!optComment)
        return;
    writeText(outputStream, ";");
    writeText(outputStream, lineBuf);
    if (lineBuf.empty() || lineBuf.back() != '\n')
        writeText(outputStream, lineEnd);
}
