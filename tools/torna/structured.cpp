// Expands structured statements (IF, SWITCH, FOR, DO and their long forms) into plain lines.
#include "structured.h"

#include <vector>

#include "diag.h"
#include "text.h"

namespace {

enum StatementKind { KindIf, KindSwitch, KindFor, KindDo };

// Letter that starts the generated labels of each kind, so the optimizer can tell the owner.
const char KindLetters[] = {'I', 'S', 'F', 'D'};

// A statement whose closing directive has not come yet. Label numbers are 0 until needed.
struct OpenStatement {
    StatementKind kind;
    bool longForm;     // L-form: every branch it generates is a long one
    int fileIndex;     // where it was opened, for the error at the end of the source
    long lineNo;
    std::string word;  // the opening directive as written
    int skipLabel;     // IF: start of the false path; SWITCH: the next CASE's test
    int endLabel;      // IF: after the ELSE part; SWITCH, FOR, DO: where BREAK goes
    int topLabel;      // FOR, DO: start of the loop body
    int continueLabel; // FOR, DO: where CONTINUE goes
    bool elseSeen;
    int caseCount;     // CASE and DEFAULT parts so far
    char reg;          // FOR: 'X' or 'Y'
};

// A condition: the branch taken when it holds and the one taken when it does not.
struct ConditionRow {
    const char* name;
    const char* whenTrue;
    const char* whenFalse;
};

const ConditionRow ConditionTab[] = {
    {"EQ", "BEQ", "BNE"}, {"NE", "BNE", "BEQ"}, {"CS", "BCS", "BCC"}, {"CC", "BCC", "BCS"},
    {"MI", "BMI", "BPL"}, {"PL", "BPL", "BMI"}, {"VS", "BVS", "BVC"}, {"VC", "BVC", "BVS"},
    {"LE", nullptr, nullptr},  // unsigned "lower or same": carry clear or zero set
};

std::vector<OpenStatement> openStatements;  // innermost last
int labelCounter;                            // number of the last generated label
const ProgramLine* directiveLine;            // the directive being expanded

const ConditionRow* findCondition(const std::string& operand)
{
    std::string upper = upperCase(operand);
    for (const ConditionRow& row : ConditionTab) {
        if (upper == row.name) {
            return &row;
        }
    }
    return nullptr;
}

std::string labelName(StatementKind kind, int number)
{
    // In the preprocessed file the labels are plain ones, repaired like any other branch.
    std::string prefix = optPreprocess ? std::string(".L") : std::string(".") + KindLetters[kind];
    return prefix + std::to_string(number);
}

void appendGenerated(const std::string& text)
{
    std::string lineEnd = directiveLine->lineEnd.empty() ? "\n" : directiveLine->lineEnd;
    programLines.push_back(
        ProgramLine{directiveLine->fileIndex, directiveLine->lineNo, text, lineEnd, LineGenerated});
}

void emitCode(const std::string& mnemonic, const std::string& operand)
{
    appendGenerated(operand.empty() ? "\t" + mnemonic : "\t" + mnemonic + "\t" + operand);
}

void emitLabel(StatementKind kind, int number)
{
    if (number != 0) {
        appendGenerated(labelName(kind, number) + ":");
    }
}

void emitAlways(StatementKind kind, int target, bool longForm)
{
    emitCode(longForm ? "JMP" : "BRA", labelName(kind, target));
}

// Branches to target when the condition is (jumpWhen true) or is not (false) met.
void emitConditional(const ConditionRow& cond, bool jumpWhen, StatementKind kind, int target, bool longForm)
{
    std::string label = labelName(kind, target);
    if (cond.whenTrue == nullptr) {
        // LE holds when Z is set or C is clear; the skips are fixed, only the last branch reaches far.
        if (!jumpWhen) {
            emitCode("BEQ", longForm ? "*+7" : "*+6");
            emitCode("BCC", longForm ? "*+5" : "*+4");
            emitAlways(kind, target, longForm);
        } else if (longForm) {
            emitCode("BEQ", "*+4");
            emitCode("BCS", "*+5");
            emitCode("JMP", label);
        } else {
            emitCode("BEQ", label);
            emitCode("BCC", label);
        }
        return;
    }
    const char* shortBranch = jumpWhen ? cond.whenTrue : cond.whenFalse;
    const char* skipBranch = jumpWhen ? cond.whenFalse : cond.whenTrue;
    if (longForm) {
        emitCode(skipBranch, "*+5");
        emitCode("JMP", label);
    } else {
        emitCode(shortBranch, label);
    }
}

void reportHere(int code, const std::string& text)
{
    reportError(sourceFileNames[directiveLine->fileIndex], directiveLine->lineNo, code, text);
}

// The innermost open statement, if it is of the kind; else reports the directive as unmatched.
OpenStatement* innermost(StatementKind kind, const ParsedLine& parsed)
{
    if (openStatements.empty() || openStatements.back().kind != kind) {
        reportHere(ErrUnmatched, parsed.word);
        return nullptr;
    }
    return &openStatements.back();
}

// The innermost statement that BREAK (or, loopsOnly, CONTINUE) leaves; null if none.
OpenStatement* innermostTarget(bool loopsOnly)
{
    for (auto it = openStatements.rbegin(); it != openStatements.rend(); ++it) {
        if (it->kind == KindFor || it->kind == KindDo || (it->kind == KindSwitch && !loopsOnly)) {
            return &*it;
        }
    }
    return nullptr;
}

bool requireNoOperand(const ParsedLine& parsed)
{
    if (!parsed.operand.empty()) {
        reportHere(ErrBadOperand, parsed.operand);
        return false;
    }
    return true;
}

OpenStatement& openStatement(StatementKind kind, bool longForm, const ParsedLine& parsed)
{
    OpenStatement statement{kind, longForm, directiveLine->fileIndex, directiveLine->lineNo, parsed.word,
                            0, 0, 0, 0, false, 0, 0};
    openStatements.push_back(statement);
    return openStatements.back();
}

void startIf(const ParsedLine& parsed, bool longForm)
{
    OpenStatement& statement = openStatement(KindIf, longForm, parsed);
    const ConditionRow* cond = findCondition(parsed.operand);
    if (cond == nullptr) {
        reportHere(ErrBadOperand, parsed.operand);
        return;
    }
    statement.skipLabel = ++labelCounter;
    emitConditional(*cond, false, KindIf, statement.skipLabel, longForm);
}

void handleElse(const ParsedLine& parsed, bool longForm)
{
    OpenStatement* statement = innermost(KindIf, parsed);
    if (statement == nullptr || !requireNoOperand(parsed)) {
        return;
    }
    if (statement->elseSeen) {
        reportHere(ErrUnmatched, parsed.word);
        return;
    }
    statement->elseSeen = true;
    statement->endLabel = ++labelCounter;
    emitAlways(KindIf, statement->endLabel, longForm);
    emitLabel(KindIf, statement->skipLabel);
}

void endIf(const ParsedLine& parsed, bool)
{
    OpenStatement* statement = innermost(KindIf, parsed);
    if (statement == nullptr) {
        return;
    }
    requireNoOperand(parsed);
    emitLabel(KindIf, statement->elseSeen ? statement->endLabel : statement->skipLabel);
    openStatements.pop_back();
}

void startSwitch(const ParsedLine& parsed, bool longForm)
{
    OpenStatement& statement = openStatement(KindSwitch, longForm, parsed);
    statement.endLabel = ++labelCounter;
    // The value is compared in A; naming it is allowed.
    if (!parsed.operand.empty() && upperCase(parsed.operand) != "A") {
        reportHere(ErrBadOperand, parsed.operand);
    }
}

// Ends the previous CASE or DEFAULT body and places the test that its compare skips to.
void startSwitchPart(OpenStatement& statement)
{
    if (statement.caseCount > 0) {
        emitAlways(KindSwitch, statement.endLabel, statement.longForm);
    }
    emitLabel(KindSwitch, statement.skipLabel);
    statement.skipLabel = 0;
    ++statement.caseCount;
}

void handleCase(const ParsedLine& parsed, bool)
{
    OpenStatement* statement = innermost(KindSwitch, parsed);
    if (statement == nullptr) {
        return;
    }
    startSwitchPart(*statement);
    if (parsed.operand.empty()) {
        reportHere(ErrBadOperand, parsed.word);
        return;
    }
    emitCode("CMP", "#" + parsed.operand);
    statement->skipLabel = ++labelCounter;
    emitConditional(ConditionTab[0], false, KindSwitch, statement->skipLabel, statement->longForm);
}

void handleDefault(const ParsedLine& parsed, bool)
{
    OpenStatement* statement = innermost(KindSwitch, parsed);
    if (statement != nullptr && requireNoOperand(parsed)) {
        startSwitchPart(*statement);
    }
}

void endSwitch(const ParsedLine& parsed, bool)
{
    OpenStatement* statement = innermost(KindSwitch, parsed);
    if (statement == nullptr) {
        return;
    }
    requireNoOperand(parsed);
    emitLabel(KindSwitch, statement->skipLabel);
    emitLabel(KindSwitch, statement->endLabel);
    openStatements.pop_back();
}

void startFor(const ParsedLine& parsed, bool longForm)
{
    OpenStatement& statement = openStatement(KindFor, longForm, parsed);
    size_t comma = parsed.operand.find(',');
    std::string reg = upperCase(trimBlanks(parsed.operand.substr(0, comma)));
    std::string count = comma == std::string::npos ? "" : trimBlanks(parsed.operand.substr(comma + 1));
    statement.reg = reg == "Y" ? 'Y' : 'X';
    if ((reg != "X" && reg != "Y") || count.empty()) {
        reportHere(ErrBadOperand, parsed.operand);
    } else {
        emitCode(statement.reg == 'X' ? "LDX" : "LDY", "#" + count);
    }
    statement.topLabel = ++labelCounter;
    emitLabel(KindFor, statement.topLabel);
}

void handleNext(const ParsedLine& parsed, bool)
{
    OpenStatement* statement = innermost(KindFor, parsed);
    if (statement == nullptr) {
        return;
    }
    requireNoOperand(parsed);
    emitLabel(KindFor, statement->continueLabel);
    emitCode(statement->reg == 'X' ? "DEX" : "DEY", "");
    emitConditional(ConditionTab[1], true, KindFor, statement->topLabel, statement->longForm);
    emitLabel(KindFor, statement->endLabel);
    openStatements.pop_back();
}

void startDo(const ParsedLine& parsed, bool longForm)
{
    OpenStatement& statement = openStatement(KindDo, longForm, parsed);
    requireNoOperand(parsed);
    statement.topLabel = ++labelCounter;
    emitLabel(KindDo, statement.topLabel);
}

void handleWhile(const ParsedLine& parsed, bool)
{
    OpenStatement* statement = innermost(KindDo, parsed);
    if (statement == nullptr) {
        return;
    }
    emitLabel(KindDo, statement->continueLabel);
    const ConditionRow* cond = findCondition(parsed.operand);
    if (cond == nullptr) {
        reportHere(ErrBadOperand, parsed.operand);
    } else {
        emitConditional(*cond, true, KindDo, statement->topLabel, statement->longForm);
    }
    emitLabel(KindDo, statement->endLabel);
    openStatements.pop_back();
}

void handleBreak(const ParsedLine& parsed, bool longForm)
{
    OpenStatement* statement = innermostTarget(false);
    if (statement == nullptr) {
        reportHere(ErrUnmatched, parsed.word);
        return;
    }
    if (statement->endLabel == 0) {
        statement->endLabel = ++labelCounter;
    }
    requireNoOperand(parsed);
    emitAlways(statement->kind, statement->endLabel, longForm);
}

void handleContinue(const ParsedLine& parsed, bool longForm)
{
    OpenStatement* statement = innermostTarget(true);
    if (statement == nullptr) {
        reportHere(ErrUnmatched, parsed.word);
        return;
    }
    if (statement->continueLabel == 0) {
        statement->continueLabel = ++labelCounter;
    }
    requireNoOperand(parsed);
    emitAlways(statement->kind, statement->continueLabel, longForm);
}

struct DirectiveRow {
    const char* name;
    void (*expand)(const ParsedLine& parsed, bool longForm);
    bool longForm;
};

const DirectiveRow StructuredTab[] = {
    {"IF", startIf, false},          {"LIF", startIf, true},
    {"ELSE", handleElse, false},     {"LELSE", handleElse, true},
    {"ENDIF", endIf, false},
    {"SWITCH", startSwitch, false},  {"LSWITCH", startSwitch, true},
    {"CASE", handleCase, false},     {"DEFAULT", handleDefault, false},
    {"ENDS", endSwitch, false},
    {"FOR", startFor, false},        {"LFOR", startFor, true},
    {"NEXT", handleNext, false},
    {"DO", startDo, false},          {"LDO", startDo, true},
    {"WHILE", handleWhile, false},
    {"BREAK", handleBreak, false},   {"LBREAK", handleBreak, true},
    {"CONTINUE", handleContinue, false}, {"LCONTINUE", handleContinue, true},
};

const DirectiveRow* findStructured(const std::string& upperWord)
{
    for (const DirectiveRow& row : StructuredTab) {
        if (upperWord == row.name) {
            return &row;
        }
    }
    return nullptr;
}

}  // namespace

bool isStructuredWord(const std::string& upperWord)
{
    return findStructured(upperWord) != nullptr;
}

void resetStructured()
{
    openStatements.clear();
    labelCounter = 0;
}

void expandStructured(const ProgramLine& line, const ParsedLine& parsed, const std::string& upperWord)
{
    directiveLine = &line;
    programLines.push_back(ProgramLine{line.fileIndex, line.lineNo, line.text, line.lineEnd, LineEcho});
    if (!parsed.label.empty()) {
        appendGenerated(parsed.label + ":");
    }
    const DirectiveRow* row = findStructured(upperWord);
    row->expand(parsed, row->longForm);
    directiveLine = nullptr;
}

void reportOpenStatements()
{
    for (const OpenStatement& statement : openStatements) {
        reportError(sourceFileNames[statement.fileIndex], statement.lineNo, ErrUnmatched, statement.word);
    }
    openStatements.clear();
}
