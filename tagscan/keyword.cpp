// Tells which structured-statement keyword, if any, begins a source line.
#include "tagscan/keyword.h"

#include <cstring>

#include "common/records.h"

namespace {

struct KeywordWord {
    const char* word;
    size_t size;
    int code;
};

// The keywords in the order of their codes.
const KeywordWord KeywordTable[] = {
    {"IF", 2, KeywordIf},         {"ELSE", 4, KeywordElse},       {"SWITCH", 6, KeywordSwitch},
    {"CASE", 4, KeywordCase},     {"DEFAULT", 7, KeywordDefault}, {"FOR", 3, KeywordFor},
    {"NEXT", 4, KeywordNext},     {"DO", 2, KeywordDo},           {"WHILE", 5, KeywordWhile},
    {"BREAK", 5, KeywordBreak},   {"CONTINUE", 8, KeywordContinue},
};
static_assert(sizeof KeywordTable / sizeof KeywordTable[0] == KeywordContinue, "one row per keyword");

constexpr size_t LongestKeyword = 8;  // "CONTINUE"

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

const char* skipBlanks(const char* p, const char* end) {
    while (p < end && isBlank(*p))
        ++p;
    return p;
}

}  // namespace

int classifyKeyword(const char* line, size_t size) {
    const char* p = skipBlanks(line, line + size);
    const char* end = line + size;
    if (const void* semicolon = memchr(p, ';', end - p))
        end = static_cast<const char*>(semicolon);
    if (const void* colon = memchr(p, ':', end - p))
        p = skipBlanks(static_cast<const char*>(colon) + 1, end);
    // Upper-case the word into a buffer that fits the longest keyword; a longer
    // run of letters is no keyword.
    char word[LongestKeyword];
    size_t length = 0;
    for (; p < end && isLetter(*p); ++p) {
        if (length == LongestKeyword)
            return KeywordNone;
        word[length++] = *p & ~0x20;
    }
    for (const KeywordWord& keyword : KeywordTable)
        if (keyword.size == length && memcmp(keyword.word, word, length) == 0)
            return keyword.code;
    return KeywordNone;
}
