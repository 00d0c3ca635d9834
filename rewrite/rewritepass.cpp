// The walk over the listed source files: reported branch lines expanded, owner lines lengthened.
#include "rewrite/rewritepass.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "common/cleanup.h"
#include "common/errorlist.h"
#include "common/globals.h"
#include "common/keyword.h"
#include "common/lineio.h"
#include "common/messages.h"
#include "common/records.h"
#include "common/textutil.h"
#include "rewrite/expansion.h"
#include "rewrite/linesplit.h"
#include "rewrite/mnemonics.h"
#include "rewrite/output.h"
#include "rewrite/presenttext.h"
#include "rewrite/replacement.h"

namespace {

constexpr int UnconditionalCode = 11;  // inverse code of "BRA" and "JMP"

// What the walk does with an error whose target marks a structured statement.
enum StructuredHandling {
    WriteLongForm,    // normal mode: the owner line gets its long form
    ExpandAsBranch,   // ASM mode: handled like any plain error
};

long lastHandledLine;  // lineNo of the last error handled in the current file

// Parts of the line being rewritten, kept from line to line so that their
// capacity is reused: no reported line costs an allocation.
std::string prefixPart, operandPart, commentPart, upperMnemonicPart;

// True for an error whose owner line this pass writes in long form.
bool takesLongForm(const BranchError& error, StructuredHandling handling) {
    return handling == WriteLongForm && error.structKind != StructPlain;
}

// A CASE, DEFAULT or NEXT error whose owner line an earlier error already stands for.
bool isOwnerDuplicate(const BranchError& error) {
    bool sharedOwner = error.keyword == KeywordCase || error.keyword == KeywordDefault ||
                       error.keyword == KeywordNext;
    return sharedOwner && error.duplicate == 1;
}

// True for an error the walk leaves alone: its line was never found, or lies at
// or before `handledUpTo` (the errors are in line order), or it is a duplicate.
bool walkSkips(const BranchError& error, long handledUpTo, StructuredHandling handling) {
    if (!error.lineFound || error.lineNo <= 0 || error.lineNo <= handledUpTo)
        return true;
    return takesLongForm(error, handling) && isOwnerDuplicate(error);
}

// The next error after `error` that the walk will handle once `error`'s line is done.
const BranchError* nextHandledError(const BranchError* error, StructuredHandling handling) {
    for (const BranchError* next = error->next; next; next = next->next)
        if (!walkSkips(*next, error->lineNo, handling))
            return next;
    return nullptr;
}

// A branch reaches 127 bytes forward and a branch line is at most 3 bytes long:
// the first line of a chain this long still reaches the label behind its last.
constexpr int MaxChainLines = 41;
int chainLines;  // lines of the current chain so far, this one included

// Adjacent errors with one target share a jump unless either line is unconditional.
// A longer run of them is cut into chains that each reach their shared label,
// so that no branch to a generated label is ever reported out of reach.
void setChainFlags(const BranchError& error, const BranchError* next) {
    bool sameTarget = next && next->lineNo == error.lineNo + 1 && strcmp(next->target, error.target) == 0;
    if (sameTarget && error.mnemonicCode == UnconditionalCode) {
        chainPrev = 0;
        chainNext = 0;
        return;
    }
    chainPrev = chainNext;
    chainLines = chainPrev ? chainLines + 1 : 1;
    chainNext = sameTarget && next->mnemonicCode != UnconditionalCode && chainLines < MaxChainLines ? 1 : 0;
}

// The held lines while they still lie where the reader holds them: most
// branch lines do not need them changed, and they then go out without a copy.
// Valid until the source is read again.
const char* heldData;
size_t heldSize2, heldSize1;  // of line L - 2 and line L - 1, 0 for one not held

// Writes the non-empty held lines unchanged and empties them.
void writeHeldLines() {
    writeBytes(outputStream, heldData, heldSize2 + heldSize1);
    heldSize2 = heldSize1 = 0;
    writeText(outputStream, prevLineBuf2);
    writeText(outputStream, prevLineBuf1);
    prevLineBuf2.clear();
    prevLineBuf1.clear();
}

// Puts the held lines into prevLineBuf2 and prevLineBuf1, for the expansion
// that may change them.
void takeHeldLines() {
    if (heldSize2 + heldSize1 == 0)
        return;
    prevLineBuf2.assign(heldData, heldSize2);
    prevLineBuf1.assign(heldData + heldSize2, heldSize1);
    heldSize2 = heldSize1 = 0;
}

// Holds `held` lines (0 to 2) and reads the branch line into lineBuf, all
// where the reader holds them when they lie whole in what it read ahead.
// False when they do not: nothing is then read.
bool peekBranchLine(int held) {
    const char* data;
    size_t sizes[3];
    // A file's first line decides its line end: it takes the slow path.
    if (sourceLineNo == 0 || !peekLines(SourceSlot, held + 1, data, sizes))
        return false;
    heldData = data;
    heldSize2 = held == 2 ? sizes[0] : 0;
    heldSize1 = held >= 1 ? sizes[held - 1] : 0;
    lineBuf.assign(data + heldSize2 + heldSize1, sizes[held]);
    passPeeked(SourceSlot, heldSize2 + heldSize1 + sizes[held]);
    sourceLineNo += held + 1;
    return true;
}

// Reads up to the branch line L into lineBuf: lines after the last handled one up to
// L - 3 are copied, L - 2 and L - 1 held. False when the file ends before line L;
// whatever was held is then written unchanged.
bool readBranchLine(long line) {
    prevLineBuf2.clear();
    prevLineBuf1.clear();
    heldSize2 = heldSize1 = 0;
    if (line >= 4 && !copyThroughLine(line - 3))
        return false;
    int held = line >= 3 && line - lastHandledLine > 2 ? 2 : line >= 2 && line - lastHandledLine > 1 ? 1 : 0;
    if (peekBranchLine(held))
        return true;
    bool got = true;
    if (held == 2)
        got = readSourceLine(prevLineBuf2);
    if (got && held >= 1)
        got = readSourceLine(prevLineBuf1);
    if (got && readSourceLine(lineBuf))
        return true;
    writeHeldLines();
    return false;
}

// The reported line L and the next error's line L + 1 become one expansion, with
// line L as its held line. False when the file ends before line L + 1.
bool mergeWithNextLine(std::string& prefix, std::string& operand, std::string& comment) {
    writeHeldLines();
    prevLineBuf1 = lineBuf;
    if (!readSourceLine(lineBuf)) {
        writeHeldLines();
        return false;
    }
    splitSourceLine(prefix, operand, comment, lineBuf);
    return true;
}

// Expands the branch line of `error`; after a merge `error` becomes the error of
// the line below. False when the file ends before the line.
bool expandBranch(const BranchError*& error, StructuredHandling handling) {
    if (!readBranchLine(error->lineNo))
        return false;
    const BranchError* next = nextHandledError(error, handling);
    setChainFlags(*error, next);
    std::string& prefix = prefixPart;
    std::string& operand = operandPart;
    std::string& comment = commentPart;
    splitSourceLine(prefix, operand, comment, lineBuf);
    if (operand.empty() || operand[0] != '.') {
        writeHeldLines();
    } else if (!chainNext && !chainPrev && next && next->lineNo == error->lineNo + 1 &&
               !takesLongForm(*next, handling)) {
        // A chain member is never merged: its shared label must stay with its own jump;
        // nor is an owner line, which takes its long form and no expansion.
        if (!mergeWithNextLine(prefix, operand, comment))
            return false;
        error = next;
    } else {
        takeHeldLines();
    }
    std::string& upperMnemonic = upperMnemonicPart;
    copyUpper(upperMnemonic, mnemonicBuf);
    // As in the scan, a NUL must not cut the word short: "BRA\0X" is no BRA.
    int code = upperMnemonic.find('\0') == std::string::npos ? lookupInverse(upperMnemonic.c_str()) : 0;
    writeExpansion(upperMnemonic, code, operand, comment, prefix, error->target);
    return true;
}

// Writes the owner line of a structured error in its long form ("L" before the
// directive word). False when the file ends before the line.
bool writeLongForm(const BranchError& error) {
    if (error.lineNo >= 2 && !copyThroughLine(error.lineNo - 1))
        return false;
    if (!readSourceLine(lineBuf))
        return false;
    if (classifyKeyword(lineBuf.data(), lineBuf.size()) == KeywordNone) {
        reportError(ErrorIllegalSource, nullptr);
        fatalExit(ExitSource);
    }
    std::string prefix, operand, comment;
    splitSourceLine(prefix, operand, comment, lineBuf);
    writeLineAsComment();
    // The owner line's own comment gives way to the generated one (with -COMMENT it
    // survives in the copy above).
    writeGenerated(prefix + "L" + mnemonicBuf + " " + operand + "\t" + GeneratedComment);
    return true;
}

// True when the walk handles at least one error of the file.
bool handlesAnyError(const SourceFileRecord& file, StructuredHandling handling) {
    for (const BranchError* error = file.errorHead; error; error = error->next)
        if (!walkSkips(*error, 0, handling))
            return true;
    return false;
}

// Copies the rest of the file and puts "tmpbra00" in place of the source.
void finishFile(const char* fileName) {
    copyThroughLine(0);
    // A file written since the assembler read it keeps its text, and the pass
    // is assembled again.
    if (putTemporaryInPlace(fileName, changedSinceStamp))
        noteOwnText(fileName);
    else
        noteStaleReport(fileName);
}

void rewriteFile(SourceFileRecord* file, StructuredHandling handling) {
    // The scan moved owner-line errors back: take every file in line order again.
    sortErrorsByLine(file);
    // A file with nothing to handle is left as it is, the very same file.
    if (!handlesAnyError(*file, handling))
        return;
    openSource(file->fileName);
    openTemporary();
    sourceLineNo = 0;
    lastHandledLine = 0;
    bool handled = false;
    for (const BranchError* error = file->errorHead; error; error = error->next) {
        if (walkSkips(*error, lastHandledLine, handling))
            continue;
        bool found = takesLongForm(*error, handling) ? writeLongForm(*error) : expandBranch(error, handling);
        if (!found) {
            // The file is shorter than the scan saw: nothing below is left to handle,
            // and no chain may reach into the next file.
            chainNext = 0;
            break;
        }
        handled = true;
        lastHandledLine = error->lineNo;
    }
    if (handled)
        finishFile(file->fileName);
    else
        abandonFile();
}

void rewriteListedFiles(StructuredHandling handling) {
    for (SourceFileRecord* file = fileList.next; file; file = file->next)
        rewriteFile(file, handling);
    releaseFileList();
    sourceLineNo = 0;
}

}  // namespace

void rewriteSources() {
    rewriteListedFiles(WriteLongForm);
}

void rewriteAsmSources() {
    rewriteListedFiles(ExpandAsBranch);
}
