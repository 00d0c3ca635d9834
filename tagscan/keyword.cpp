// Tells which structured-statement keyword, if any, begins a source line.
#include "tagscan/keyword.h"

#include <cstdint>
#include <cstring>

#include "common/records.h"

namespace {

constexpr size_t LongestKeyword = 8;  // "CONTINUE"

// A word of up to eight letters as one number, a letter per byte: every line is
// classified, and comparing numbers is cheaper than comparing strings.
constexpr uint64_t packWord(const char* word) {
    uint64_t packed = 0;
    for (; *word; ++word)
        packed = packed << 8 | static_cast<unsigned char>(*word);
    return packed;
}

struct KeywordWord {
    uint64_t packed;
    int code;
};

// The keywords in the order of their codes.
const KeywordWord KeywordTable[] = {
    {packWord("IF"), KeywordIf},         {packWord("ELSE"), KeywordElse},
    {packWord("SWITCH"), KeywordSwitch}, {packWord("CASE"), KeywordCase},
    {packWord("DEFAULT"), KeywordDefault}, {packWord("FOR"), KeywordFor},
    {packWord("NEXT"), KeywordNext},     {packWord("DO"), KeywordDo},
    {packWord("WHILE"), KeywordWhile},   {packWord("BREAK"), KeywordBreak},
    {packWord("CONTINUE"), KeywordContinue},
};
static_assert(sizeof KeywordTable / sizeof KeywordTable[0] == KeywordContinue, "one row per keyword");

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

const char* skipBlanks(const char* p, const char* end) {
    while (p < end && isBlank(*p))
        ++p;
    return p;
}

}  // namespace

int classifyKeyword(const char* line, size_t size) {
    const char* end = line + size;
    const char* p = skipBlanks(line, end);
    // A colon before the comment ends a label; the word follows it. The comment's
    // ';' needs no search of its own otherwise: it is no letter, so it ends the word.
    if (const void* found = memchr(p, ':', end - p)) {
        const char* colon = static_cast<const char*>(found);
        if (!memchr(p, ';', colon - p))
            p = skipBlanks(colon + 1, end);
    }
    // A longer run of letters than the longest keyword is no keyword.
    uint64_t word = 0;
    size_t length = 0;
    for (; p < end && isLetter(*p); ++p) {
        if (length++ == LongestKeyword)
            return KeywordNone;
        word = word << 8 | static_cast<unsigned char>(*p & ~0x20);
    }
    for (const KeywordWord& keyword : KeywordTable)
        if (keyword.packed == word)
            return keyword.code;
    return KeywordNone;
}
