// Fuzz target: any bytes as a tag file through readTagFile, checking the list it builds.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "fuzzsupport.h"

#include "common/cleanup.h"
#include "common/errorlist.h"
#include "common/globals.h"
#include "common/lineio.h"
#include "common/messages.h"
#include "common/records.h"
#include "tagscan/tagreader.h"

namespace {

// True when `line` up to `blank` names `fileName` and a number reading as
// `lineNo` follows the blank (after more blanks, if any).
bool namesAt(const std::string& line, size_t blank, const char* fileName, long lineNo) {
    // The name is a C string: it ends at a NUL inside the field, if any.
    std::string field = line.substr(0, blank);
    if (field.substr(0, field.find('\0')) != fileName)
        return false;
    const char* number = line.c_str() + blank + 1;
    while (*number == ' ' || (*number >= '\t' && *number <= '\r'))
        ++number;
    bool negative = *number == '-';
    if (*number == '-' || *number == '+')
        ++number;
    long value = 0;
    for (; *number >= '0' && *number <= '9'; ++number)
        value = value > (__LONG_MAX__ - (*number - '0')) / 10 ? __LONG_MAX__ : value * 10 + (*number - '0');
    return (negative ? -value : value) == lineNo;
}

// True when some line of `lines` begins with `fileName` followed by a blank and
// a number that reads as `lineNo`: the only place a record can come from. The
// name may hold blanks itself, so every blank of the line may end it.
bool namedByALine(const std::vector<std::string>& lines, const char* fileName, long lineNo) {
    for (const std::string& line : lines) {
        for (size_t blank = line.find(' '); blank != std::string::npos; blank = line.find(' ', blank + 1))
            if (namesAt(line, blank, fileName, lineNo))
                return true;
    }
    return false;
}


void checkErrors(const std::vector<std::string>& tagLines, const SourceFileRecord& file) {
    std::set<long> lines;
    const BranchError* last = nullptr;
    for (const BranchError* error = file.errorHead; error; error = error->next) {
        if (!lines.insert(error->lineNo).second)
            failInvariant("two errors for one line of " + std::string(file.fileName));
        if (strchr(error->target, '*') || strchr(error->target, '"') || strchr(error->target, '\n'))
            failInvariant("target text with '*', '\"' or a line end: " + std::string(error->target));
        if (error->structKind != classifyTarget(error->target) || error->keyword || error->mnemonicCode ||
            error->duplicate || error->lineFound)
            failInvariant("error record not as freshly read");
        if (!namedByALine(tagLines, file.fileName, error->lineNo))
            failInvariant("an error no tag line names");
        last = error;
    }
    if (!file.errorHead || file.errorTail != last)
        failInvariant("a file record without errors or with a wrong tail");
}

void checkList(const std::string& text, int result, bool ended) {
    std::set<std::string> names;
    // Split once: each error looks for its line among them.
    std::vector<std::string> tagLines = splitLines(text);
    size_t errorCount = 0;
    for (const SourceFileRecord* file = fileList.next; file; file = file->next) {
        if (strchr(file->fileName, '\n'))
            failInvariant("file name with a line end");
        if (!names.insert(file->fileName).second)
            failInvariant("two records for one file name");
        checkErrors(tagLines, *file);
        for (const BranchError* error = file->errorHead; error; error = error->next)
            ++errorCount;
    }
    if (errorCount > tagLines.size())
        failInvariant("more errors than tag lines");
    if (tagOpen || openDescriptors[TagSlot] != -1)
        failInvariant("tag stream left open");
    if (!ended && (result == 1) != (fileList.next != nullptr))
        failInvariant("result does not tell whether the list holds records");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quietStandardOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    initGlobals();
    std::string text(reinterpret_cast<const char*>(data), size);
    // fmemopen wants a buffer even for no bytes.
    std::string buffer = text.empty() ? std::string(1, '\0') : text;
    FILE* stream = fmemopen(buffer.data(), text.size(), "rb");
    if (!stream)
        failInvariant("fmemopen failed");
    attachStream(TagSlot, stream);
    int result = 0;
    bool ended = false;
    try {
        result = readTagFile();
    } catch (const ExitRequest& request) {
        ended = true;
        if (request.status != ExitSource && request.status != ExitResource)
            failInvariant("tag reader ended with status " + std::to_string(request.status));
    }
    checkList(text, result, ended);
    releaseFileList();
    return 0;
}
