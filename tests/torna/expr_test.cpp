// Tests the expression evaluator: numbers, symbols, '*', and what each makes of the flags.
#include <gtest/gtest.h>

#include "expr.h"
#include "globals.h"
#include "symbols.h"

namespace {

class ExprTest : public testing::Test {
protected:
    void SetUp() override
    {
        initTornaGlobals();
        clearSymbols();
        // Line 2 defines a constant EQU, line 4 a label, line 6 an EQU of that label.
        defineSymbol("ZP", Symbol{0x12, 2, true, true, true, true});
        defineSymbol("Start", Symbol{0x8000, 4, false, false, true, true});
        defineSymbol("Addr", Symbol{0x8003, 6, true, false, true, true});
        defineSymbol("..lop5", Symbol{0x9000, 8, false, false, true, true});
    }

    // Evaluates on line 10 at address $1000.
    ExprValue eval(const std::string& text) { return evaluateExpression(text, 0x1000, 10); }
};

TEST_F(ExprTest, ReadsNumbersInThreeBases)
{
    EXPECT_EQ(eval("42").value, 42);
    EXPECT_EQ(eval("$fF").value, 255);
    EXPECT_EQ(eval("$1234").value, 0x1234);
    EXPECT_EQ(eval("%1010").value, 10);
    EXPECT_EQ(eval("0").value, 0);
    EXPECT_EQ(eval("$FFFFFFFF").value, 0xFFFFFFFFLL);
}

TEST_F(ExprTest, AddsAndSubtractsLeftToRight)
{
    EXPECT_EQ(eval("10-3+2").value, 9);
    EXPECT_EQ(eval(" -5 + 2 ").value, -3);
    EXPECT_EQ(eval("+7").value, 7);
    EXPECT_EQ(eval("*").value, 0x1000);
    EXPECT_EQ(eval("*+6").value, 0x1006);
    EXPECT_EQ(eval("Start-*").value, 0x7000);
    EXPECT_EQ(eval("..lop5+1").value, 0x9001);
}

TEST_F(ExprTest, RefusesMalformedText)
{
    for (const char* text : {"", "1+", "+", "$", "%", "%102", "12AB", "$1G", "1 2", "**", "(1)", "#1",
                             "1,2", "$100000000", "1++2", "Start Start"}) {
        EXPECT_FALSE(eval(text).ok) << text;
    }
}

TEST_F(ExprTest, SymbolsAreCaseSensitive)
{
    ExprValue value = eval("start+1");
    EXPECT_TRUE(value.ok);
    EXPECT_FALSE(value.known);
    EXPECT_EQ(value.undefinedName, "start");
    EXPECT_EQ(eval("Start").value, 0x8000);
}

TEST_F(ExprTest, NamesTheFirstUnknownSymbol)
{
    ExprValue value = eval("ZP+Later-Other");
    EXPECT_FALSE(value.known);
    EXPECT_FALSE(value.constant);
    EXPECT_FALSE(value.early);
    EXPECT_EQ(value.undefinedName, "Later");
}

TEST_F(ExprTest, ConstantOnlyForNumbersAndEarlierConstantEqus)
{
    EXPECT_TRUE(eval("ZP+1").constant);
    EXPECT_TRUE(eval("$12").constant);
    EXPECT_FALSE(eval("*").constant);
    EXPECT_FALSE(eval("Start").constant);
    EXPECT_FALSE(eval("Addr").constant);
    // The same EQU seen from its own line or before it is not yet defined there.
    EXPECT_FALSE(evaluateExpression("ZP", 0, 2).constant);
    EXPECT_TRUE(evaluateExpression("ZP", 0, 3).constant);
}

TEST_F(ExprTest, EarlyWhenEverySymbolComesBefore)
{
    EXPECT_TRUE(eval("Start+ZP+*").early);
    EXPECT_FALSE(evaluateExpression("Start", 0, 4).early);
    EXPECT_TRUE(evaluateExpression("Start", 0, 5).early);
    defineSymbol("Loose", Symbol{1, 7, true, false, false, true});
    ExprValue value = eval("Loose");
    EXPECT_TRUE(value.known);
    EXPECT_FALSE(value.early);
}

}  // namespace
