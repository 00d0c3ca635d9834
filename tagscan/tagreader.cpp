// Reads the assembler's tag file into the branch errors of fileList.
#include "tagscan/tagreader.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "common/cleanup.h"
#include "common/errorlist.h"
#include "common/globals.h"
#include "common/lineio.h"
#include "common/messages.h"

void* (*allocateListBlock)(size_t count, size_t size) = calloc;

namespace {

constexpr long OutOfRangeBranch = 18;  // the tag file's number for a branch out of reach

std::string tagTextBuf;  // a relative-address target text, for its warning

// What the index knows of one record: the line numbers it holds as read. Tag
// files list a file's lines mostly in increasing order; those need no hashing.
struct IndexedFile {
    SourceFileRecord* record;
    std::vector<long> ascending;      // held lines that came in increasing order
    std::unordered_set<long> others;  // held lines that came below the highest one
};

using FileIndex = std::unordered_map<std::string, IndexedFile>;

// Finds a file's record and a duplicate line without walking the lists, so a
// tag file with many errors for one file reads in linear time. It mirrors
// fileList and is dropped whenever the list is found emptied.
FileIndex fileIndex;
FileIndex::value_type* lastFile;  // the entry used last: consecutive lines mostly name one file
SourceFileRecord* lastRecord = &fileList;

[[noreturn]] void failTagFile() {
    reportError(ErrorIllegalTagFile, nullptr);
    fatalExit(ExitSource);
}

[[noreturn]] void failMemory(int status) {
    reportError(ErrorNoMemory, nullptr);
    fatalExit(status);
}

// The length of a line without its line end ("\n" or "\r\n").
size_t contentSize(const char* line, size_t size) {
    if (size && line[size - 1] == '\n') {
        --size;
        if (size && line[size - 1] == '\r')
            --size;
    }
    return size;
}

// White space and digits as "%ld" sees them in the C locale the tool runs in,
// without a library call per character.
bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a decimal number the way "%ld" does (leading white space, a sign,
// digits), but only within [p, end), saturating instead of overflowing.
// False when no digit stands there.
bool readNumber(const char* p, const char* end, long& value) {
    // The usual number: digits at once, too few to overflow.
    constexpr int SafeDigits = 18;
    long number = 0;
    const char* q = p;
    for (; q < end && q - p < SafeDigits && isDigit(*q); ++q)
        number = number * 10 + (*q - '0');
    if (q > p && (q == end || !isDigit(*q))) {
        value = number;
        return true;
    }
    while (p < end && isSpace(*p))
        ++p;
    bool negative = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+'))
        ++p;
    if (p == end || !isDigit(*p))
        return false;
    constexpr long Tenth = LONG_MAX / 10;
    number = 0;
    for (; p < end && isDigit(*p); ++p) {
        int digit = *p - '0';
        bool fits = number < Tenth || (number == Tenth && digit <= LONG_MAX % 10);
        number = fits ? number * 10 + digit : LONG_MAX;
    }
    value = negative ? -number : number;
    return true;
}

// A zero-filled copy of `text` in a block of its own, or null.
char* copyString(std::string_view text) {
    char* copy = static_cast<char*>(allocateListBlock(text.size() + 1, 1));
    if (copy)
        memcpy(copy, text.data(), text.size());
    return copy;
}

// The index entry of `fileName`, with its record created and appended to
// fileList when the file has none yet.
IndexedFile& findOrAddFile(std::string_view fileName) {
    if (lastFile && lastFile->first == fileName)
        return lastFile->second;
    auto found = fileIndex.find(std::string(fileName));
    if (found != fileIndex.end()) {
        lastFile = &*found;
        return found->second;
    }
    auto* record = static_cast<SourceFileRecord*>(allocateListBlock(1, sizeof(SourceFileRecord)));
    if (!record)
        failMemory(ExitResource);
    record->fileName = copyString(fileName);
    if (!record->fileName) {
        free(record);
        failMemory(ExitResource);
    }
    try {
        lastFile = &*fileIndex.emplace(std::string(fileName), IndexedFile{record, {}, {}}).first;
    } catch (const std::bad_alloc&) {
        free(record->fileName);
        free(record);
        failMemory(ExitResource);
    }
    while (lastRecord->next)
        lastRecord = lastRecord->next;
    lastRecord->next = record;
    lastRecord = record;
    return lastFile->second;
}

bool holdsLine(const IndexedFile& file, long lineNo) {
    if (file.ascending.empty() || lineNo > file.ascending.back())
        return false;
    return std::binary_search(file.ascending.begin(), file.ascending.end(), lineNo) ||
           file.others.count(lineNo) != 0;
}

// Only lines below the highest one so far go into the hash set, so every one
// in `others` is below ascending.back().
void noteLine(IndexedFile& file, long lineNo) {
    if (file.ascending.empty() || lineNo > file.ascending.back())
        file.ascending.push_back(lineNo);
    else
        file.others.insert(lineNo);
}

// addBranchError on texts that need not end with a terminator: the tag line's
// fields are taken where the line lies, without a copy.
void forgetFileIndex() {
    fileIndex.clear();
    lastFile = nullptr;
    lastRecord = &fileList;
}

void addError(std::string_view fileName, long lineNo, std::string_view text) {
    if (!fileList.next) {
        forgetFileIndex();
        releaseListIndex = forgetFileIndex;
    }
    IndexedFile& file = findOrAddFile(fileName);
    if (holdsLine(file, lineNo))
        return;
    // The record and its text come from the list's pools, zero-filled; space
    // taken for a line that fails below goes back with the pools.
    auto* error = static_cast<BranchError*>(takeFromPool(errorPool, sizeof(BranchError), allocateListBlock));
    if (!error)
        failMemory(ExitSource);
    error->target = static_cast<char*>(takeFromPool(textPool, text.size() + 1, allocateListBlock));
    if (!error->target)
        failMemory(ExitResource);
    memcpy(error->target, text.data(), text.size());
    error->lineNo = lineNo;
    error->structKind = classifyTarget(error->target);
    try {
        noteLine(file, lineNo);
    } catch (const std::bad_alloc&) {
        failMemory(ExitSource);
    }
    SourceFileRecord* record = file.record;
    if (record->errorHead)
        record->errorTail->next = error;
    else
        record->errorHead = error;
    record->errorTail = error;
}

// The text up to its first NUL: the fields are names and texts, and a NUL ends them.
std::string_view untilNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

// Position of the last `c` among the `size` bytes at `line`, or `size`: a
// line holds few, so hopping from one to the next is quicker than a walk back.
size_t findLast(const char* line, size_t size, char c) {
    size_t last = size;
    for (const void* found = memchr(line, c, size); found;) {
        last = static_cast<const char*>(found) - line;
        found = last + 1 < size ? memchr(line + last + 1, c, size - last - 1) : nullptr;
    }
    return last;
}

// Position of the first `c` at or after `from`, or `size`.
size_t findFirst(const char* line, size_t size, size_t from, char c) {
    if (from >= size)
        return size;
    const void* found = memchr(line + from, c, size - from);
    return found ? static_cast<const char*>(found) - line : size;
}

// A word that "%ld" reads whole: an optional sign and decimal digits.
bool isNumberWord(const char* word, size_t size) {
    if (size && (*word == '+' || *word == '-')) {
        ++word;
        --size;
    }
    if (!size)
        return false;
    for (size_t i = 0; i < size; ++i)
        if (!isDigit(word[i]))
            return false;
    return true;
}

// An error field: "E", digits and a colon.
bool isErrorWord(const char* word, size_t size) {
    return size >= 3 && word[0] == 'E' && word[size - 1] == ':' && isNumberWord(word + 1, size - 2) &&
           isDigit(word[1]);
}

// The blank before the line number. A line is "<file> <line> E<nn>: ...", and a
// file name may hold blanks: the line number is the number word right before the
// first error field, and the name ends at the blanks before it. A line without
// that pattern keeps the old rule, the first blank; so does every name without
// blanks. `size` when there is no blank.
size_t lineNumberBlank(const char* line, size_t size) {
    size_t previous = size, previousEnd = size;  // the word before, none yet
    for (size_t start = 0; start < size;) {
        size_t end = findFirst(line, size, start, ' ');
        if (end > start) {
            if (previous != size && previous > 0 && isErrorWord(line + start, end - start) &&
                isNumberWord(line + previous, previousEnd - previous)) {
                size_t blank = previous - 1;
                while (blank > 0 && line[blank - 1] == ' ')
                    --blank;
                return blank;
            }
            previous = start;
            previousEnd = end;
        }
        start = end + 1;
    }
    return findFirst(line, size, 0, ' ');
}

// Splits one tag line into its fields and adds it; true when it counts as a
// line with something to repair.
bool readTagLine(const char* line, size_t size) {
    size = contentSize(line, size);
    const char* end = line + size;
    // Each field is looked for only once the ones before it have let the line
    // through, with one search of its own.
    size_t colon = findLast(line, size, ':');
    if (colon == size)
        failTagFile();
    long errorNo = 0;
    // Two characters before the last colon are needed; a line that lacks them,
    // or holds no number there, is no branch error.
    if (colon < 2)
        return false;
    // Two digits, the usual case, need no conversion.
    const char* number = line + colon - 2;
    if (isDigit(number[0]) && isDigit(number[1]))
        errorNo = (number[0] - '0') * 10 + (number[1] - '0');
    else if (!readNumber(number, line + colon, errorNo))
        return false;
    if (errorNo != OutOfRangeBranch)
        return false;
    size_t blank = lineNumberBlank(line, size);
    if (blank == size)
        failTagFile();
    long lineNo = 0;
    if (!readNumber(line + blank + 1, end, lineNo))
        failTagFile();
    size_t openQuote = findFirst(line, size, 0, '"');
    size_t closeQuote = findFirst(line, size, openQuote + 1, '"');
    if (closeQuote == size)
        failTagFile();
    std::string_view text(line + openQuote + 1, closeQuote - openQuote - 1);
    if (text.find('*') != std::string_view::npos) {
        tagTextBuf.assign(text);
        reportWarning(WarningRelativeAddress, tagTextBuf.c_str());
        return false;
    }
    std::string_view fileName(line, blank);
    if (memchr(line, '\0', std::max(blank, closeQuote)))
        addError(untilNul(fileName), lineNo, untilNul(text));
    else
        addError(fileName, lineNo, text);
    return true;
}

}  // namespace

int readTagFile() {
    int added = 0;
    const char* line;
    size_t size;
    // Each line is parsed where the reader holds it, without a copy.
    while (readLineInPlace(TagSlot, line, size)) {
        // A last line without a line end may be the fragment a read error left.
        if (line[size - 1] != '\n' && ferror(tagStream))
            break;
        if (readTagLine(line, size))
            added = 1;
    }
    closeStream(TagSlot);
    if (streamErrors[TagSlot])
        failMemory(ExitResource);
    return added;
}

void addBranchError(const char* fileName, long lineNo, const char* text) {
    addError(fileName, lineNo, text);
}

int classifyTarget(const char* text) {
    if (text[0] != '.')
        return StructPlain;
    switch (text[1]) {
    case 'I': return StructIf;
    case 'F': return StructFor;
    case 'D': return StructDo;
    case 'S': return StructSwitch;
    default: return StructPlain;
    }
}
