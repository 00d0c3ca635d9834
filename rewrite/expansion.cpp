// The long-branch expansion of one reported branch line.
#include "rewrite/expansion.h"

#include <charconv>
#include <string>

#include "common/globals.h"
#include "common/lineio.h"
#include "common/textutil.h"
#include "driver/cleanup.h"
#include "driver/messages.h"
#include "rewrite/linesplit.h"
#include "rewrite/mnemonics.h"
#include "rewrite/output.h"

namespace {

constexpr int ErrorIllegalSource = 7;
constexpr int ErrorTooManyBranches = 13;
constexpr int LastLabelNo = 65535;
constexpr int FirstBitTestCode = 9;
constexpr int UnconditionalCode = 11;
constexpr size_t MaxDistanceDigits = 9;  // keeps the lengthened distance inside an int

[[noreturn]] void failExpansion(int error) {
    reportError(error, nullptr);
    fatalExit(ExitSource);
}

int takeLabel() {
    if (++labelNo > LastLabelNo)
        failExpansion(ErrorTooManyBranches);
    return labelNo;
}

// The line being composed. One buffer for all of them, so that a hundred
// thousand expansions cost no allocation each.
std::string composed;

// Appends the label name "..lop<number>".
void appendLabel(std::string& text, int number) {
    char digits[12];
    char* end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    text += "..lop";
    text.append(digits, end - digits);
}

std::string labelName(int number) {
    std::string name;
    appendLabel(name, number);
    return name;
}

void writeLabelLine(int number) {
    composed.clear();
    appendLabel(composed, number);
    composed += ":\n";
    writeGenerated(composed);
}

// Every tab stays a tab and every other character becomes a space, so the JMP
// below stands in the column of the branch mnemonic above it.
void appendBlankPrefix(std::string& text, const std::string& prefix) {
    for (char c : prefix)
        text += c == '\t' ? '\t' : ' ';
}

// The comment of the branch line that ends its jump line; the line's own
// comment lacks a line end only on a last line, and the label follows on a line of its own.
void appendJumpComment(std::string& text, const std::string& comment) {
    if (optComment) {
        text += GeneratedComment;
        return;
    }
    text += comment;
    if (comment.empty() || comment.back() != '\n')
        text += '\n';
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
    std::string head, jumpTarget = target;
    if (bitTest) {
        size_t comma = operand.rfind(',');
        if (comma == std::string::npos)
            failExpansion(ErrorIllegalSource);
        jumpTarget = operand.substr(comma + 1);
        operand.resize(comma);
        head = operand + ",";
    }
    writeHeldLine(prevLineBuf2);
    writeHeldLine(prevLineBuf1);
    const char* jumpWord = translateJump(JumpChainWords[0]);
    writeLineAsComment();
    // Taken only now: with "+nodelete" a run that ends for too many labels leaves
    // the held lines and the comment copy in the temporary file.
    int label = chainNext && chainPrev ? labelNo : takeLabel();
    const char* word = chainNext ? upperMnemonic.c_str() : BranchMnemonicTable[code - 1].mnemonic;
    composed.clear();
    composed += prefix;
    composed += word;
    composed += '\t';
    composed += head;
    appendLabel(composed, label);
    composed += '\t';
    composed += GeneratedComment;
    writeGenerated(composed);
    if (chainNext)
        return;
    if (chainPrev)
        writeLabelLine(label - 1);
    composed.clear();
    appendBlankPrefix(composed, prefix);
    composed += jumpWord;
    composed += '\t';
    composed += jumpTarget;
    composed += '\t';
    appendJumpComment(composed, comment);
    writeGenerated(composed);
    writeLabelLine(label);
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
    composed.clear();
    composed += prefix;
    composed += jumpWord;
    composed += '\t';
    composed += target;
    composed += '\t';
    appendJumpComment(composed, comment);
    writeGenerated(composed);
    if (redirect)
        writeLabelLine(redirect);
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
