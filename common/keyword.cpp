// Tells which structured-statement keyword, if any, begins a source line.
#include "common/keyword.h"

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
    const char* word;
    int code;
};

// The keywords in the order of their codes.
constexpr KeywordWord KeywordTable[] = {
    {"IF", KeywordIf},       {"ELSE", KeywordElse},   {"SWITCH", KeywordSwitch}, {"CASE", KeywordCase},
    {"DEFAULT", KeywordDefault}, {"FOR", KeywordFor}, {"NEXT", KeywordNext},     {"DO", KeywordDo},
    {"WHILE", KeywordWhile}, {"BREAK", KeywordBreak}, {"CONTINUE", KeywordContinue},
    {"ENDS", KeywordEndSwitch}, {"LSWITCH", KeywordLongSwitch}, {"LFOR", KeywordLongFor}, {"LDO", KeywordLongDo},
};
constexpr size_t KeywordCount = sizeof KeywordTable / sizeof KeywordTable[0];
static_assert(KeywordCount == KeywordLongDo, "one row per keyword");

// The keywords packed and grouped by length (in code order within a length), so
// a word meets only the two or three of its own length.
struct KeywordIndex {
    uint64_t packed[KeywordCount];
    int code[KeywordCount];
    size_t first[LongestKeyword + 2];  // rows of length n: first[n] up to first[n + 1]
};

constexpr size_t wordLength(const char* word) {
    size_t length = 0;
    while (word[length])
        ++length;
    return length;
}

constexpr KeywordIndex makeKeywordIndex() {
    KeywordIndex index{};
    size_t row = 0;
    for (size_t length = 0; length <= LongestKeyword; ++length) {
        index.first[length] = row;
        for (const KeywordWord& keyword : KeywordTable) {
            if (wordLength(keyword.word) != length)
                continue;
            index.packed[row] = packWord(keyword.word);
            index.code[row++] = keyword.code;
        }
    }
    index.first[LongestKeyword + 1] = row;
    return index;
}

constexpr KeywordIndex Keywords = makeKeywordIndex();
static_assert(Keywords.first[LongestKeyword + 1] == KeywordCount, "every keyword fits the longest length");

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

const char* skipBlanks(const char* p, const char* end) {
    while (p < end && isBlank(*p))
        ++p;
    return p;
}

}  // namespace

int classifyNestingWord(const char* line, size_t size) {
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
    for (size_t row = Keywords.first[length]; row < Keywords.first[length + 1]; ++row)
        if (Keywords.packed[row] == word)
            return Keywords.code[row];
    return KeywordNone;
}

int classifyKeyword(const char* line, size_t size) {
    int code = classifyNestingWord(line, size);
    return code <= KeywordContinue ? code : KeywordNone;
}
