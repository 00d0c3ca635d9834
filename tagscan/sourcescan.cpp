// Finds each reported line in its source file and annotates its branch error.
#include "tagscan/sourcescan.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "common/cleanup.h"
#include "common/errorlist.h"
#include "common/globals.h"
#include "common/keyword.h"
#include "common/lineio.h"
#include "common/messages.h"
#include "common/records.h"
#include "common/textutil.h"
#include "rewrite/linesplit.h"
#include "rewrite/mnemonics.h"
#include "rewrite/presenttext.h"

namespace {

// A SWITCH, FOR or DO statement read and not yet closed.
struct OpenStatement {
    int keyword;    // KeywordSwitch, KeywordFor or KeywordDo, also for a long form
    long lineNo;    // its directive line
    bool longForm;  // written LSWITCH, LFOR or LDO by an earlier run
};

// What the scan knows while it reads one file. Every file starts from zero:
// an owner line is always a line of the error's own file.
struct FileScan {
    const char* fileName;
    long linesRead;       // lines read so far
    bool lineRead;        // the last read gave a line (false at the end of the file)
    int lineKeyword;      // KeywordCode of the last line read
    long lastSwitchLine;  // last SWITCH, DO and FOR lines read, 0 for none yet
    long lastDoLine;
    long lastForLine;
    long prevCaseOwner;   // owner line given to the last CASE or DEFAULT error
    long prevNextOwner;   // owner line given to the last NEXT error
    long lastOwnedLine;   // line of the file's last structured error; no line after it needs a keyword
    std::vector<OpenStatement> open;  // the statements open after the last line read, innermost last
    OpenStatement lineOwner;          // the open statement the last line read belongs to; lineNo 0 for none
};

// Keywords whose line owns the errors of later lines.
struct OwnerKeyword {
    int keyword;
    long FileScan::*lastLine;
};

const OwnerKeyword OwnerKeywords[] = {
    {KeywordSwitch, &FileScan::lastSwitchLine},
    {KeywordDo, &FileScan::lastDoLine},
    {KeywordFor, &FileScan::lastForLine},
};

// Keywords whose error moves to its owner line, the error when the file has
// no owner line yet, and the owner of the previous error of the same sort
// (null: no duplicate test).
struct OwnedKeyword {
    int keyword;
    long FileScan::*ownerLine;
    ErrorNumber missingError;
    long FileScan::*prevOwner;
};

const OwnedKeyword OwnedKeywords[] = {
    {KeywordCase, &FileScan::lastSwitchLine, ErrorCaseWithoutSwitch, &FileScan::prevCaseOwner},
    {KeywordDefault, &FileScan::lastSwitchLine, ErrorCaseWithoutSwitch, &FileScan::prevCaseOwner},
    {KeywordWhile, &FileScan::lastDoLine, ErrorWhileWithoutDo, nullptr},
    {KeywordNext, &FileScan::lastForLine, ErrorNextWithoutFor, &FileScan::prevNextOwner},
};

// How a line's word changes the open statements: it opens one of `kind`, or
// belongs to the innermost open one of `kind` (and closes it, for `closes`).
struct NestingRule {
    int keyword;
    int kind;
    bool opens;
    bool longForm;
    bool closes;
};

const NestingRule NestingRules[] = {
    {KeywordSwitch, KeywordSwitch, true, false, false},
    {KeywordLongSwitch, KeywordSwitch, true, true, false},
    {KeywordFor, KeywordFor, true, false, false},
    {KeywordLongFor, KeywordFor, true, true, false},
    {KeywordDo, KeywordDo, true, false, false},
    {KeywordLongDo, KeywordDo, true, true, false},
    {KeywordCase, KeywordSwitch, false, false, false},
    {KeywordDefault, KeywordSwitch, false, false, false},
    {KeywordEndSwitch, KeywordSwitch, false, false, true},
    {KeywordNext, KeywordFor, false, false, true},
    {KeywordWhile, KeywordDo, false, false, true},
};

[[noreturn]] void failScan(ErrorNumber error, const char* argument) {
    reportError(error, argument);
    fatalExit(ExitSource);
}

void traceRead(const FileScan& scan) {
    if (!traceOn)
        return;
    fprintf(traceStream, "input line (%s)[%ld]\n", scan.fileName, scan.linesRead + 1);
    fflush(traceStream);
}

// Passes over the lines before `lineNo` that no later error needs a keyword of:
// beyond the last structured error only line ends are counted. The trace names
// every line read, so with it on each line is still read on its own.
void skipUnneeded(FileScan& scan, long lineNo) {
    if (traceOn || scan.linesRead < scan.lastOwnedLine || lineNo - 1 <= scan.linesRead)
        return;
    // A file that ends sooner leaves the read below to find its end.
    scan.linesRead += copyLines(SourceSlot, nullptr, lineNo - 1 - scan.linesRead);
}

// Updates the open statements by the word of the line just read, and notes
// the statement the line belongs to (before it closes it).
void followNesting(FileScan& scan, int word) {
    scan.lineOwner = OpenStatement{};
    if (word == KeywordNone)
        return;
    for (const NestingRule& rule : NestingRules) {
        if (rule.keyword != word)
            continue;
        if (rule.opens) {
            scan.open.push_back(OpenStatement{rule.kind, scan.linesRead, rule.longForm});
            return;
        }
        for (size_t i = scan.open.size(); i-- > 0;) {
            if (scan.open[i].keyword != rule.kind)
                continue;
            scan.lineOwner = scan.open[i];
            if (rule.closes)
                scan.open.erase(scan.open.begin() + static_cast<long>(i));
            return;
        }
        return;
    }
}

// Reads on until line `lineNo` is read or the file has ended; the line's bytes
// are then at `line`, where the reader holds them (valid until its next read).
// No line is copied.
void readUpTo(FileScan& scan, long lineNo, const char*& line, size_t& lineSize) {
    skipUnneeded(scan, lineNo);
    while (scan.linesRead < lineNo) {
        const char* data;
        size_t size;
        scan.lineRead = readLineInPlace(SourceSlot, data, size);
        traceRead(scan);
        if (!scan.lineRead)
            return;
        // Past the last structured error no line's keyword is asked for.
        bool keywordNeeded = scan.linesRead < scan.lastOwnedLine;
        int word = keywordNeeded ? classifyNestingWord(data, size) : KeywordNone;
        scan.lineKeyword = word <= KeywordContinue ? word : KeywordNone;
        ++scan.linesRead;
        followNesting(scan, word);
        for (const OwnerKeyword& owner : OwnerKeywords)
            if (owner.keyword == scan.lineKeyword)
                scan.*owner.lastLine = scan.linesRead;
        line = data;
        lineSize = size;
    }
}

constexpr int FirstBitTestCode = 9;  // inverse codes of BBS and BBC

// `a` and `b` alike but for the letter case.
bool sameIgnoringCase(std::string_view a, std::string_view b) {
    std::string upper;
    copyUpper(upper, std::string(b));
    return equalsUpper(a, upper);
}

// True when the branch line's target operand is the reported target, compared
// as the assembler writes it: letter case and surrounding blanks aside, and for
// a bit-test branch the text after the last comma.
bool branchNamesTarget(const char* line, size_t size, int code, const char* target) {
    std::string prefix, word, operand, comment;
    splitLineParts(prefix, word, operand, comment, std::string(line, size));
    std::string_view written(operand);
    if (code >= FirstBitTestCode && code < FirstBitTestCode + 2) {
        size_t comma = written.rfind(',');
        if (comma != std::string_view::npos)
            written.remove_prefix(comma + 1);
    }
    return sameIgnoringCase(trimAssemblerBlanks(written), trimAssemblerBlanks(target));
}

// A branch line that names another target than the report is no longer the
// line the assembler reported: the file changed after it was read.
void annotatePlain(BranchError& error, const FileScan& scan, const char* line, size_t size) {
    splitMnemonic(line, size);
    error.mnemonicCode = lookupInverseOfWord(mnemonicBuf.data(), mnemonicBuf.size());
    if (error.mnemonicCode != 0 && !branchNamesTarget(line, size, error.mnemonicCode, error.target))
        noteStaleReport(scan.fileName);
}

void annotateStructured(FileScan& scan, BranchError& error) {
    if (scan.lineKeyword == KeywordNone)
        failScan(ErrorIllegalSource, nullptr);
    error.keyword = scan.lineKeyword;
    for (const OwnedKeyword& owned : OwnedKeywords) {
        if (owned.keyword != error.keyword)
            continue;
        // The innermost open statement of its kind; with none open, the last
        // directive line of that kind read.
        long owner = scan.lineOwner.lineNo ? scan.lineOwner.lineNo : scan.*owned.ownerLine;
        if (owner == 0)
            failScan(owned.missingError, nullptr);
        // A statement already in its long form has no longer form to take.
        if (scan.lineOwner.longForm)
            failScan(ErrorIllegalSource, nullptr);
        error.lineNo = owner;
        if (owned.prevOwner && scan.*owned.prevOwner == owner)
            error.duplicate = 1;
        else if (owned.prevOwner)
            scan.*owned.prevOwner = owner;
        return;
    }
}

void scanFile(SourceFileRecord& file) {
    FILE* stream = fopen(file.fileName, "rb");
    if (!stream)
        failScan(ErrorCannotOpen, file.fileName);
    attachStream(SourceSlot, stream);
    FileScan scan{};
    scan.fileName = file.fileName;
    for (BranchError* error = file.errorHead; error; error = error->next)
        if (error->structKind != StructPlain && error->lineNo > scan.lastOwnedLine)
            scan.lastOwnedLine = error->lineNo;
    for (BranchError* error = file.errorHead; error; error = error->next) {
        // No line has a number below 1: such an error is left alone, like
        // one past the end of the file.
        if (error->lineNo <= 0)
            continue;
        const char* line = "";
        size_t size = 0;
        readUpTo(scan, error->lineNo, line, size);
        if (!scan.lineRead)
            continue;
        error->lineFound = 1;
        if (error->structKind == StructPlain)
            annotatePlain(*error, scan, line, size);
        else
            annotateStructured(scan, *error);
    }
    closeStream(SourceSlot);
    if (streamErrors[SourceSlot]) {
        reportError(ErrorNoMemory, nullptr);
        fatalExit(ExitResource);
    }
    // Owner lines of nested statements lie out of line order (an outer FOR
    // before its inner one): back in order, the rewrite takes them all in one pass.
    sortErrorsByLine(&file);
}

}  // namespace

void scanSources() {
    for (SourceFileRecord* file = fileList.next; file; file = file->next) {
        // Errors in line order, so that one front-to-back read finds them all.
        sortErrorsByLine(file);
        scanFile(*file);
    }
}
