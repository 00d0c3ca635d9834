// Fuzz target: any line through splitSourceLine and classifyKeyword, checked against the line's own bytes.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzzsupport.h"

#include "common/globals.h"
#include "common/keyword.h"
#include "rewrite/linesplit.h"

namespace {

struct KeywordName {
    const char* word;
    int code;
};

// The keywords by code, for the reference classification below.
const KeywordName KeywordNames[] = {
    {"IF", 1}, {"ELSE", 2}, {"SWITCH", 3}, {"CASE", 4}, {"DEFAULT", 5}, {"FOR", 6},
    {"NEXT", 7}, {"DO", 8}, {"WHILE", 9}, {"BREAK", 10}, {"CONTINUE", 11},
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

size_t bodyLength(const std::string& line) {
    size_t end = line.size();
    if (end && line[end - 1] == '\n' && --end && line[end - 1] == '\r')
        --end;
    return end;
}

// The keyword code the plain reading of the rules gives: blanks skipped, the
// comment dropped, a label up to the first colon skipped, then the run of letters.
int referenceKeyword(const std::string& line) {
    size_t pos = 0;
    while (pos < line.size() && isBlank(line[pos]))
        ++pos;
    std::string rest = line.substr(pos);
    rest = rest.substr(0, rest.find(';'));
    size_t colon = rest.find(':');
    size_t start = 0;
    if (colon != std::string::npos) {
        start = colon + 1;
        while (start < rest.size() && isBlank(rest[start]))
            ++start;
    }
    std::string word;
    for (size_t i = start; i < rest.size() && isalpha(static_cast<unsigned char>(rest[i])) &&
                           static_cast<unsigned char>(rest[i]) < 0x80; ++i)
        word += static_cast<char>(toupper(static_cast<unsigned char>(rest[i])));
    for (const KeywordName& keyword : KeywordNames)
        if (word == keyword.word)
            return keyword.code;
    return 0;
}

// The parts must put the line back together: prefix, word, blanks, operand,
// then nothing or the comment from its ';' (a bare one at the end of the file kept).
void checkSplit(const std::string& line, const std::string& prefix, const std::string& operand,
                const std::string& comment) {
    const std::string body = line.substr(0, bodyLength(line));
    const std::string& word = mnemonicBuf;
    if (body.compare(0, prefix.size(), prefix) != 0 || body.compare(prefix.size(), word.size(), word) != 0)
        failInvariant("prefix and word are not where the line has them");
    if (word.find_first_of(" \t;") != std::string::npos)
        failInvariant("word holds a blank or a ';'");
    size_t firstWordEnd = prefix.find_first_not_of(" \t");
    if (firstWordEnd != std::string::npos && prefix.find(':') == std::string::npos)
        failInvariant("prefix holds text but no label colon");
    size_t pos = prefix.size() + word.size();
    while (pos < body.size() && isBlank(body[pos]))
        ++pos;
    if (!operand.empty() && isBlank(operand[0]))
        failInvariant("operand begins with a blank");
    if (body.compare(pos, operand.size(), operand) != 0)
        failInvariant("operand is not the text after the word");
    std::string rest = body.substr(pos + operand.size());
    if (!rest.empty() && rest[0] != ';')
        failInvariant("operand stops before the comment or the line end");
    // A bare ';' is an empty comment only where the line end follows it.
    bool lineEnd = body.size() < line.size();
    if (rest.empty() || (rest.size() == 1 && lineEnd)) {
        if (comment != GeneratedComment)
            failInvariant("a missing or bare comment must give the generated one");
        return;
    }
    std::string expected = rest + (lineEnd ? "\n" : "");
    if (comment != expected)
        failInvariant("comment is not the line's own");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    initGlobals();
    // A source line as the reader hands it out: up to and with its first "\n".
    std::string line(reinterpret_cast<const char*>(data), size);
    size_t newline = line.find('\n');
    if (newline != std::string::npos)
        line.resize(newline + 1);
    const std::string original = line;

    std::string prefix, operand, comment;
    splitSourceLine(prefix, operand, comment, line);
    if (line != original)
        failInvariant("splitSourceLine changed the line");
    checkSplit(line, prefix, operand, comment);
    const std::string word = mnemonicBuf;
    splitMnemonic(line);
    if (mnemonicBuf != word)
        failInvariant("splitMnemonic finds another word than splitSourceLine");

    // An exact-size copy, so a read past the end shows.
    std::unique_ptr<char[]> exact(new char[line.size() ? line.size() : 1]);
    memcpy(exact.get(), line.data(), line.size());
    int code = classifyKeyword(exact.get(), line.size());
    if (code != referenceKeyword(line))
        failInvariant("classifyKeyword gives " + std::to_string(code) + ", the rules give " +
                      std::to_string(referenceKeyword(line)));
    return 0;
}
