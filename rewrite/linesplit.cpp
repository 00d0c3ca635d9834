// Cuts an assembler source line into label prefix, mnemonic, operand and comment.
#include "rewrite/linesplit.h"

#include <cstdio>
#include <cstring>

#include "common/globals.h"

const char* const GeneratedComment = ";This is the line which kelvad generated\n";

namespace {

constexpr int SplitCheckpoint = 983;
const size_t GeneratedCommentSize = strlen(GeneratedComment);

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool endsWord(char c) { return isBlank(c) || c == ';'; }

// Length of the `size` bytes of a line without its line end ("\n" or "\r\n").
size_t bodyLength(const char* line, size_t size) {
    size_t end = size;
    if (end && line[end - 1] == '\n') {
        --end;
        if (end && line[end - 1] == '\r')
            --end;
    }
    return end;
}

size_t bodyLength(const std::string& line) { return bodyLength(line.data(), line.size()); }

size_t skipBlanks(const char* line, size_t pos, size_t end) {
    while (pos < end && isBlank(line[pos]))
        ++pos;
    return pos;
}

size_t skipBlanks(const std::string& line, size_t pos, size_t end) { return skipBlanks(line.data(), pos, end); }

// Passes over the word at `pos`; `colon` tells whether it holds a colon.
size_t skipWord(const char* line, size_t pos, size_t end, bool& colon) {
    colon = false;
    for (; pos < end && !endsWord(line[pos]); ++pos)
        colon |= line[pos] == ':';
    return pos;
}

// Puts `size` bytes from `text` into `part`. Clearing and appending keeps the
// part's capacity and costs less than assign() on these short, hot copies.
void setPart(std::string& part, const char* text, size_t size) {
    part.clear();
    part.append(text, size);
}

// Finds the mnemonic word of the line's body [0, end): returns where it starts
// (the prefix ends there) and sets `wordEnd`.
size_t findWord(const char* line, size_t end, size_t& wordEnd) {
    size_t pos = skipBlanks(line, 0, end);
    bool label;
    wordEnd = skipWord(line, pos, end, label);
    if (label) {
        pos = skipBlanks(line, wordEnd, end);
        wordEnd = skipWord(line, pos, end, label);
    }
    return pos;
}

void traceSplit() {
    if (traceOn) {
        fprintf(traceStream, "%s(%d)\n", "KELVAD", SplitCheckpoint);
        fflush(traceStream);
    }
}

}  // namespace

void splitLineParts(std::string& prefix, std::string& word, std::string& operand,
                    std::string& comment, const std::string& line) {
    const size_t end = bodyLength(line);
    size_t wordEnd;
    size_t pos = findWord(line.data(), end, wordEnd);
    setPart(prefix, line.data(), pos);
    setPart(word, line.data() + pos, wordEnd - pos);

    size_t semicolon = line.find(';', wordEnd);
    size_t operandEnd = semicolon < end ? semicolon : end;
    size_t operandStart = skipBlanks(line, wordEnd, operandEnd);
    setPart(operand, line.data() + operandStart, operandEnd - operandStart);

    // A ";" followed by the line end is an empty comment: the line gets the
    // generated one instead. One that ends the file is kept as it stands.
    bool emptyComment = semicolon + 1 == end && end < line.size();
    if (semicolon >= end || emptyComment) {
        setPart(comment, GeneratedComment, GeneratedCommentSize);
        return;
    }
    setPart(comment, line.data() + semicolon, end - semicolon);
    if (end < line.size())
        comment += '\n';
}

void splitSourceLine(std::string& prefix, std::string& operand, std::string& comment,
                     const std::string& line) {
    traceSplit();
    splitLineParts(prefix, mnemonicBuf, operand, comment, line);
}

void splitMnemonic(const std::string& line) {
    splitMnemonic(line.data(), line.size());
}

void splitMnemonic(const char* line, size_t size) {
    traceSplit();
    size_t wordEnd;
    size_t pos = findWord(line, bodyLength(line, size), wordEnd);
    setPart(mnemonicBuf, line + pos, wordEnd - pos);
}
