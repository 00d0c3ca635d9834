// Encodes instruction lines: picks the addressing mode and writes the R65C02 bytes.
#include "encoder.h"

#include "diag.h"
#include "expr.h"
#include "globals.h"
#include "opcodes.h"
#include "text.h"

namespace {

// The operand's shape before any value is known.
enum OperandShape { ShapeNone, ShapeAccum, ShapeImmediate, ShapePlain, ShapeX, ShapeY,
                    ShapeIndirect, ShapeIndirectX, ShapeIndirectY, ShapeBad };

struct ShapedOperand {
    OperandShape shape;
    std::string expr;  // the expression inside the shape
};

// Cuts a trailing ",X" or ",Y" (blanks allowed, either case) off text; gives the register or 0.
char cutIndexRegister(std::string& text)
{
    size_t comma = text.rfind(',');
    if (comma == std::string::npos) {
        return 0;
    }
    std::string reg = upperCase(trimBlanks(text.substr(comma + 1)));
    if (reg != "X" && reg != "Y") {
        return 0;
    }
    text = trimBlanks(text.substr(0, comma));
    return reg[0];
}

// True for the ",Y" (blanks allowed, either case) that follows "(zp)".
bool isIndexY(const std::string& tail)
{
    return !tail.empty() && tail[0] == ',' && upperCase(trimBlanks(tail.substr(1))) == "Y";
}

ShapedOperand shapeIndirect(const std::string& operand)
{
    size_t close = operand.rfind(')');
    if (close == std::string::npos) {
        return {ShapeBad, operand};
    }
    std::string inner = trimBlanks(operand.substr(1, close - 1));
    std::string tail = trimBlanks(operand.substr(close + 1));
    char innerReg = cutIndexRegister(inner);
    if (tail.empty() && innerReg == 'X') {
        return {ShapeIndirectX, inner};
    }
    if (tail.empty() && innerReg == 0) {
        return {ShapeIndirect, inner};
    }
    if (innerReg == 0 && isIndexY(tail)) {
        return {ShapeIndirectY, inner};
    }
    return {ShapeBad, operand};
}

ShapedOperand shapeOperand(const std::string& operand)
{
    if (operand.empty()) {
        return {ShapeNone, ""};
    }
    if (upperCase(operand) == "A") {
        return {ShapeAccum, ""};
    }
    if (operand[0] == '#') {
        return {ShapeImmediate, trimBlanks(operand.substr(1))};
    }
    if (operand[0] == '(') {
        return shapeIndirect(operand);
    }
    std::string expr = operand;
    char reg = cutIndexRegister(expr);
    if (reg == 'X') {
        return {ShapeX, expr};
    }
    return {reg == 'Y' ? ShapeY : ShapePlain, expr};
}

// The row for a value that may live in zero page: zpMode when allowed and present, else absMode,
// else zpMode after all (the value must then fit a byte).
const InstructionRow* pickZeroPage(size_t first, size_t last, const ExprValue& value, AddrMode zpMode,
                                   AddrMode absMode)
{
    bool zeroPage = value.ok && value.constant && value.value >= 0 && value.value <= 0xFF;
    const InstructionRow* row = zeroPage ? findMode(first, last, zpMode) : nullptr;
    if (row == nullptr) {
        row = findMode(first, last, absMode);
    }
    return row != nullptr ? row : findMode(first, last, zpMode);
}

const InstructionRow* pickRow(size_t first, size_t last, const ShapedOperand& shaped, const ExprValue& value)
{
    switch (shaped.shape) {
    case ShapeNone: {
        const InstructionRow* row = findMode(first, last, ModeImplied);
        return row != nullptr ? row : findMode(first, last, ModeAccum);
    }
    case ShapeAccum:
        return findMode(first, last, ModeAccum);
    case ShapeImmediate:
        return findMode(first, last, ModeImmediate);
    case ShapePlain: {
        const InstructionRow* row = findMode(first, last, ModeRelative);
        return row != nullptr ? row : pickZeroPage(first, last, value, ModeZp, ModeAbs);
    }
    case ShapeX:
        return pickZeroPage(first, last, value, ModeZpX, ModeAbsX);
    case ShapeY:
        return pickZeroPage(first, last, value, ModeZpY, ModeAbsY);
    case ShapeIndirect: {
        const InstructionRow* row = findMode(first, last, ModeInd);
        return row != nullptr ? row : findMode(first, last, ModeZpInd);
    }
    case ShapeIndirectX: {
        const InstructionRow* row = findMode(first, last, ModeIndX);
        return row != nullptr ? row : findMode(first, last, ModeAbsIndX);
    }
    case ShapeIndirectY:
        return findMode(first, last, ModeIndY);
    case ShapeBad:
        break;
    }
    return nullptr;
}

// Reports what is wrong with a value; gives true if it can be encoded.
bool checkValue(const ExprValue& value, const std::string& text, long long low, long long high)
{
    if (!value.ok) {
        lineError(ErrBadOperand, text);
        return false;
    }
    if (!value.known) {
        lineError(ErrUndefinedSymbol, value.undefinedName);
        return false;
    }
    if (value.value < low || value.value > high) {
        lineError(ErrValueRange, text);
        return false;
    }
    return true;
}

// Gives the displacement from next to the target; reports E18 when it does not fit a byte.
unsigned char branchDisplacement(const std::string& targetText, long long pc, long long next)
{
    ExprValue target = evaluateExpression(targetText, pc, currentIndex);
    if (!checkValue(target, targetText, 0, 0xFFFF)) {
        return 0;
    }
    long long distance = target.value - next;
    if (distance < -128 || distance > 127) {
        lineError(ErrBranchRange, targetText);
        return 0;
    }
    return static_cast<unsigned char>(distance & 0xFF);
}

int encodeBitBranch(const InstructionRow& row, const std::string& operand, long long pc,
                    std::vector<unsigned char>& bytes)
{
    std::vector<std::string> pieces = splitOperandList(operand);
    bytes.assign(3, 0);
    if (pieces.size() != 3) {
        lineError(ErrBadOperand, operand);
        return 3;
    }
    ExprValue bit = evaluateExpression(pieces[0], pc, currentIndex);
    ExprValue zp = evaluateExpression(pieces[1], pc, currentIndex);
    int bitNo = checkValue(bit, pieces[0], 0, 7) ? static_cast<int>(bit.value) : 0;
    bytes[0] = static_cast<unsigned char>(row.opcode + 0x10 * bitNo);
    bytes[1] = checkValue(zp, pieces[1], 0, 0xFF) ? static_cast<unsigned char>(zp.value) : 0;
    bytes[2] = branchDisplacement(pieces[2], pc, pc + 3);
    return 3;
}

// The limits of an operand value in the mode.
void valueLimits(AddrMode mode, long long& low, long long& high)
{
    low = 0;
    high = modeSize(mode) == 3 ? 0xFFFF : 0xFF;
    if (mode == ModeImmediate) {
        low = -128;
    }
}

}  // namespace

int encodeInstruction(size_t first, size_t last, const std::string& operand, long long pc,
                      std::vector<unsigned char>& bytes)
{
    bytes.clear();
    if (InsTab[first].mode == ModeZpRelative) {
        return encodeBitBranch(InsTab[first], operand, pc, bytes);
    }
    ShapedOperand shaped = shapeOperand(operand);
    bool hasValue = shaped.shape != ShapeNone && shaped.shape != ShapeAccum;
    ExprValue value{};
    if (hasValue && shaped.shape != ShapeBad) {
        value = evaluateExpression(shaped.expr, pc, currentIndex);
    }
    const InstructionRow* row = shaped.shape == ShapeBad ? nullptr : pickRow(first, last, shaped, value);
    if (row == nullptr) {
        lineError(shaped.shape == ShapeBad ? ErrBadOperand : ErrAddressingMode, operand);
        return 0;
    }
    int size = modeSize(row->mode);
    bytes.assign(size, 0);
    bytes[0] = row->opcode;
    if (row->mode == ModeRelative) {
        bytes[1] = branchDisplacement(shaped.expr, pc, pc + 2);
        return size;
    }
    long long low = 0;
    long long high = 0;
    valueLimits(row->mode, low, high);
    if (size > 1 && checkValue(value, shaped.expr, low, high)) {
        bytes[1] = static_cast<unsigned char>(value.value & 0xFF);
        if (size == 3) {
            bytes[2] = static_cast<unsigned char>((value.value >> 8) & 0xFF);
        }
    }
    return size;
}
