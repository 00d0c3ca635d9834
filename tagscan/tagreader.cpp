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

#include "common/errorlist.h"
#include "common/globals.h"
#include "common/lineio.h"
#include "driver/cleanup.h"
#include "driver/messages.h"

void* (*allocateListBlock)(size_t count, size_t size) = calloc;

namespace {

constexpr long OutOfRangeBranch = 18;  // the tag file's number for a branch out of reach

std::string tagFileNameBuf;  // its file name field
std::string tagTextBuf;      // its target text

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
    reportError(8, nullptr);
    fatalExit(ExitSource);
}

[[noreturn]] void failMemory(int status) {
    reportError(10, nullptr);
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
    while (p < end && isSpace(*p))
        ++p;
    bool negative = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+'))
        ++p;
    if (p == end || !isDigit(*p))
        return false;
    constexpr long Tenth = LONG_MAX / 10;
    long number = 0;
    for (; p < end && isDigit(*p); ++p) {
        int digit = *p - '0';
        bool fits = number < Tenth || (number == Tenth && digit <= LONG_MAX % 10);
        number = fits ? number * 10 + digit : LONG_MAX;
    }
    value = negative ? -number : number;
    return true;
}

// A zero-filled copy of `text` in a block of its own, or null.
char* copyString(const char* text) {
    size_t size = strlen(text) + 1;
    char* copy = static_cast<char*>(allocateListBlock(size, 1));
    if (copy)
        memcpy(copy, text, size);
    return copy;
}

// The index entry of `fileName`, with its record created and appended to
// fileList when the file has none yet.
IndexedFile& findOrAddFile(const char* fileName) {
    if (lastFile && lastFile->first == fileName)
        return lastFile->second;
    auto found = fileIndex.find(fileName);
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
        lastFile = &*fileIndex.emplace(fileName, IndexedFile{record, {}, {}}).first;
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

// Splits one tag line into its fields and adds it; true when it counts as a
// line with something to repair.
bool readTagLine(const char* line, size_t size) {
    std::string_view text(line, contentSize(line, size));
    const char* start = text.data();
    size_t colon = text.rfind(':');
    if (colon == std::string_view::npos)
        failTagFile();
    long errorNo = 0;
    // Two characters before the last colon are needed; a line that lacks them,
    // or holds no number there, is no branch error.
    if (colon < 2 || !readNumber(start + colon - 2, start + colon, errorNo) || errorNo != OutOfRangeBranch)
        return false;
    size_t blank = text.find(' ');
    if (blank == std::string_view::npos)
        failTagFile();
    tagFileNameBuf.assign(start, blank);
    long lineNo = 0;
    if (!readNumber(start + blank + 1, start + text.size(), lineNo))
        failTagFile();
    size_t open = text.find('"');
    size_t close = open == std::string_view::npos ? open : text.find('"', open + 1);
    if (close == std::string_view::npos)
        failTagFile();
    tagTextBuf.assign(start + open + 1, close - open - 1);
    if (tagTextBuf.find('*') != std::string::npos) {
        reportWarning(1, tagTextBuf.c_str());
        return false;
    }
    addBranchError(tagFileNameBuf.c_str(), lineNo, tagTextBuf.c_str());
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
    if (!fileList.next) {
        fileIndex.clear();
        lastFile = nullptr;
        lastRecord = &fileList;
    }
    IndexedFile& file = findOrAddFile(fileName);
    if (holdsLine(file, lineNo))
        return;
    auto* error = static_cast<BranchError*>(allocateListBlock(1, sizeof(BranchError)));
    if (!error)
        failMemory(ExitSource);
    error->lineNo = lineNo;
    error->target = copyString(text);
    if (!error->target) {
        free(error);
        failMemory(ExitResource);
    }
    error->structKind = classifyTarget(text);
    try {
        noteLine(file, lineNo);
    } catch (const std::bad_alloc&) {
        free(error->target);
        free(error);
        failMemory(ExitSource);
    }
    SourceFileRecord* record = file.record;
    if (record->errorHead)
        record->errorTail->next = error;
    else
        record->errorHead = error;
    record->errorTail = error;
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
