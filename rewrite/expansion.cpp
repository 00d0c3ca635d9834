// The long-branch expansion of one reported branch line.
#include "rewrite/expansion.h"

#include <cstring>
#include <string>

#include "common/cleanup.h"
#include "common/globals.h"
#include "common/lineio.h"
#include "common/messages.h"
#include "common/textutil.h"
#include "rewrite/labelbook.h"
#include "rewrite/linesplit.h"
#include "rewrite/mnemonics.h"
#include "rewrite/output.h"

namespace {

constexpr int LastLabelNo = 65535;
constexpr int FirstBitTestCode = 9;
constexpr int UnconditionalCode = 11;
constexpr size_t MaxDistanceDigits = 9;  // keeps the lengthened distance inside an int
const size_t GeneratedCommentSize = strlen(GeneratedComment);

[[noreturn]] void failExpansion(ErrorNumber error) {
    reportError(error, nullptr);
    fatalExit(ExitSource);
}

int takeLabel() {
    if (++labelNo > LastLabelNo) {
        reportError(ErrorTooManyBranches, nullptr);
        // The design's text cannot say it: most often an earlier run's label.
        if (labelLimitFile())
            reportCause((std::string("'") + labelLimitFile() +
                         "' holds a label \"..lopN:\" numbered 65535 or higher, and label numbers go on from it")
                            .c_str());
        fatalExit(ExitSource);
    }
    noteLabelTaken(labelNo);
    return labelNo;
}

// The line being composed. One buffer for all of them, only ever grown, and
// filled piece by piece without a library call per piece, so that a hundred
// thousand expansions cost no allocation each.
std::string composed;
size_t composedSize;
std::string headPart, jumpTargetPart;  // of a bit-test operand: bit and address, and the target

// Lines are gathered from startLines and go out together at writeLines.
void startLines() { composedSize = 0; }

void put(const char* text, size_t size) {
    if (composedSize + size > composed.size())
        composed.resize(2 * (composedSize + size));
    memcpy(&composed[composedSize], text, size);
    composedSize += size;
}

void put(const std::string& text) { put(text.data(), text.size()); }
void put(const char* text) { put(text, strlen(text)); }
void put(char c) {
    if (composedSize < composed.size())
        composed[composedSize++] = c;
    else
        put(&c, 1);
}

void writeLines() { writeGenerated(composed.data(), composedSize); }

// Appends the label name "..lop<number>".
void putLabel(int number) {
    char name[16] = {'.', '.', 'l', 'o', 'p'};
    char digits[10];
    int count = 0;
    unsigned value = static_cast<unsigned>(number);  // labels count from 1
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    for (int i = 0; i < count; ++i)
        name[5 + i] = digits[count - 1 - i];
    put(name, 5 + count);
}

std::string labelName(int number) {
    startLines();
    putLabel(number);
    return std::string(composed.data(), composedSize);
}

void putLabelLine(int number) {
    putLabel(number);
    put(":\n", 2);
}

// Every tab stays a tab and every other character becomes a space, so the JMP
// below stands in the column of the branch mnemonic above it.
void putBlankPrefix(const std::string& prefix) {
    for (char c : prefix)
        put(c == '\t' ? '\t' : ' ');
}

// The comment of the branch line that ends its jump line; the line's own
// comment lacks a line end only on a last line, and the label follows on a line of its own.
void putJumpComment(const std::string& comment) {
    if (optComment) {
        put(GeneratedComment, GeneratedCommentSize);
        return;
    }
    put(comment);
    if (comment.empty() || comment.back() != '\n')
        put('\n');
}

void writeHeldLine(const std::string& line) {
    if (line.empty())
        return;
    writeText(outputStream, line);
    if (line.back() != '\n')
        writeGenerated("\n");
}

// Position of the '*' when `line` is a relative forward reference "*+<distance>"
// (blanks and a '+' allowed before the distance, blanks after it), with the
// distance in `distance`; npos otherwise.
size_t findForwardDistance(const std::string& line, int& distance) {
    std::string prefix, word, operand, comment;
    splitLineParts(prefix, word, operand, comment, line);
    if (operand.compare(0, 2, "*+") != 0)
        return std::string::npos;
    size_t first = operand.find_first_not_of(" \t", 2);
    if (first != std::string::npos && operand[first] == '+')
        ++first;
    if (first == std::string::npos || first == operand.size())
        return std::string::npos;
    size_t digits = operand.find_first_not_of("0123456789", first);
    if (digits == std::string::npos)
        digits = operand.size();
    if (digits == first || digits - first > MaxDistanceDigits)
        return std::string::npos;
    if (operand.find_first_not_of(" \t", digits) != std::string::npos)
        return std::string::npos;
    distance = std::stoi(operand.substr(first, digits - first));
    // Only blanks stand between the word and its operand.
    return line.find('*', prefix.size() + word.size());
}

bool mentionsBcc(const std::string& line) {
    std::string upper;
    copyUpper(upper, line);
    return cutAtPattern(upper, "BCC");
}

// Conditional and bit-test branches: the inverted branch over a JMP to the
// target, or, inside a chain, a branch to the label in front of the shared JMP.
void expandConditional(const std::string& upperMnemonic, int code, std::string& operand,
                       const std::string& comment, const std::string& prefix, const char* target) {
    bool bitTest = code >= FirstBitTestCode;
    // Plain conditional branches jump to the reported target; only a bit-test
    // branch takes its own from the operand.
    std::string& head = headPart;
    std::string& jumpTarget = jumpTargetPart;
    head.clear();
    if (bitTest) {
        size_t comma = operand.rfind(',');
        if (comma == std::string::npos)
            failExpansion(ErrorIllegalSource);
        jumpTarget.assign(operand, comma + 1);
        operand.resize(comma);
        head.assign(operand);
        head += ',';
    }
    writeHeldLine(prevLineBuf2);
    writeHeldLine(prevLineBuf1);
    const char* jumpWord = translateJump(JumpChainWords[0]);
    writeLineAsComment();
    // Taken only now: with "+nodelete" a run that ends for too many labels leaves
    // the held lines and the comment copy in the temporary file.
    int label = chainNext && chainPrev ? labelNo : takeLabel();
    // Every chain line after the first stands between the first and the shared label.
    if (chainPrev)
        noteChainLine(chainNext ? label : label - 1);
    startLines();
    put(prefix);
    if (chainNext)
        put(upperMnemonic);
    else
        put(BranchMnemonicTable[code - 1].mnemonic);
    put('\t');
    put(head);
    putLabel(label);
    put('\t');
    put(GeneratedComment, GeneratedCommentSize);
    // A line inside a chain only branches to the label of the shared jump.
    if (!chainNext) {
        if (chainPrev)
            putLabelLine(label - 1);
        putBlankPrefix(prefix);
        put(jumpWord);
        put('\t');
        if (bitTest)
            put(jumpTarget);
        else
            put(target);
        put('\t');
        putJumpComment(comment);
        putLabelLine(label);
    }
    writeLines();
}

// BRA becomes JMP on the same line. Before a BRA to a structured-statement
// label, held forward skips "*+n" over it grow with it: the line just before
// by one byte, the one before that redirected to a label right after the JMP.
void expandUnconditional(const std::string& upperMnemonic, const std::string& operand,
                         const std::string& comment, const std::string& prefix, const char* target) {
    const char* jumpWord = translateJump(upperMnemonic.c_str());
    if (!jumpWord)
        failExpansion(ErrorIllegalSource);

    bool structured = !operand.empty() && operand[0] == '.';
    int distance2 = 0, distance1 = 0;
    size_t star2 = structured ? findForwardDistance(prevLineBuf2, distance2) : std::string::npos;
    size_t star1 = structured ? findForwardDistance(prevLineBuf1, distance1) : std::string::npos;
    int redirect = 0;
    if (star2 != std::string::npos && mentionsBcc(prevLineBuf1))
        redirect = takeLabel();

    if (redirect) {
        prevLineBuf2.resize(star2);
        writeGenerated(prevLineBuf2 + labelName(redirect) + "\t" + GeneratedComment);
    } else {
        writeHeldLine(prevLineBuf2);
    }
    if (star1 != std::string::npos) {
        prevLineBuf1.resize(star1 + 2);
        writeGenerated(prevLineBuf1 + std::to_string(distance1 + 1) + "\t" + GeneratedComment);
    } else {
        writeHeldLine(prevLineBuf1);
    }
    writeLineAsComment();
    startLines();
    put(prefix);
    put(jumpWord);
    put('\t');
    put(target);
    put('\t');
    putJumpComment(comment);
    if (redirect)
        putLabelLine(redirect);
    writeLines();
}

}  // namespace

void writeExpansion(const std::string& upperMnemonic, int code, std::string& operand,
                    const std::string& comment, const std::string& prefix, const char* target) {
    if (code < 1 || code > UnconditionalCode)
        failExpansion(ErrorIllegalSource);
    if (code == UnconditionalCode)
        expandUnconditional(upperMnemonic, operand, comment, prefix, target);
    else
        expandConditional(upperMnemonic, code, operand, comment, prefix, target);
}
