// Passing source text through to "tmpbra00", and writing the lines the tool composes.
#include "rewrite/output.h"

#include <cstring>

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
    writeGenerated(text.data(), text.size());
}

void writeGenerated(const char* text, size_t size) {
    if (lineEnd.size() == 1 && lineEnd[0] == '\n') {
        writeBytes(outputStream, text, size);
        return;
    }
    const char* end = text + size;
    while (const void* found = memchr(text, '\n', end - text)) {
        const char* at = static_cast<const char*>(found);
        writeBytes(outputStream, text, at - text);
        writeText(outputStream, lineEnd);
        text = at + 1;
    }
    writeBytes(outputStream, text, end - text);
}

void writeLineAsComment() {
    if (!optComment)
        return;
    writeText(outputStream, ";");
    writeText(outputStream, lineBuf);
    if (lineBuf.empty() || lineBuf.back() != '\n')
        writeText(outputStream, lineEnd);
}
