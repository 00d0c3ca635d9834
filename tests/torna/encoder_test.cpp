// Tests the instruction table and the encoder against known R65C02 encodings.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "globals.h"
#include "opcodes.h"
#include "testutil.h"

namespace {

class EncoderTest : public testing::Test {
protected:
    void SetUp() override { initTornaGlobals(); }

    // Assembles one line after a zero-page EQU, at $1000, and gives its bytes.
    std::string encode(const std::string& line)
    {
        initTornaGlobals();
        testing::internal::CaptureStdout();
        std::string bytes = assembleSource("ZP\tEQU\t$12\n\tORG\t$1000\n" + line + "\n");
        output = testing::internal::GetCapturedStdout();
        return hexBytes(bytes);
    }

    std::string output;
};

TEST(OpcodeTable, IsSortedByNameThenMode)
{
    for (size_t i = 1; i < InsTabSize; ++i) {
        int order = std::strcmp(InsTab[i - 1].name, InsTab[i].name);
        EXPECT_TRUE(order < 0 || (order == 0 && InsTab[i - 1].mode < InsTab[i].mode))
            << "row " << i << " " << InsTab[i].name;
    }
}

TEST(OpcodeTable, UsesEveryOpcodeOnce)
{
    std::set<int> seen;
    for (size_t i = 0; i < InsTabSize; ++i) {
        // BBS and BBC stand for eight opcodes each, one per bit.
        int count = InsTab[i].mode == ModeZpRelative ? 8 : 1;
        for (int bit = 0; bit < count; ++bit) {
            int opcode = InsTab[i].opcode + 0x10 * bit;
            EXPECT_TRUE(seen.insert(opcode).second) << InsTab[i].name << " " << opcode;
        }
    }
    EXPECT_EQ(seen.size(), 194u);
}

TEST(OpcodeTable, FindsOnlyKnownMnemonics)
{
    size_t first = 0;
    size_t last = 0;
    findInstruction("LDA", first, last);
    EXPECT_EQ(last - first, 9u);
    findInstruction("LDAX", first, last);
    EXPECT_EQ(first, last);
    findInstruction("RMB", first, last);
    EXPECT_EQ(first, last);
}

struct KnownEncoding {
    const char* line;
    const char* bytes;
};

// Encodings from the R65C02 opcode map.
const KnownEncoding KnownEncodings[] = {
    {"\tLDA\t#$12", "A9 12"},          {"\tLDA\t$12", "A5 12"},
    {"\tLDA\t$12,X", "B5 12"},         {"\tLDA\t$1234", "AD 34 12"},
    {"\tLDA\t$1234,X", "BD 34 12"},    {"\tLDA\t$1234,Y", "B9 34 12"},
    {"\tLDA\t($12,X)", "A1 12"},       {"\tLDA\t($12),Y", "B1 12"},
    {"\tLDA\t($12)", "B2 12"},         {"\tsta\t( $12 ) , y", "91 12"},
    {"\tLDX\t$12,Y", "B6 12"},         {"\tLDX\t$1234,Y", "BE 34 12"},
    {"\tSTX\t$12,Y", "96 12"},         {"\tSTY\t$12,X", "94 12"},
    {"\tSTZ\t$12", "64 12"},           {"\tSTZ\t$12,X", "74 12"},
    {"\tSTZ\t$1234", "9C 34 12"},      {"\tSTZ\t$1234,X", "9E 34 12"},
    {"\tTSB\t$12", "04 12"},           {"\tTSB\t$1234", "0C 34 12"},
    {"\tTRB\t$12", "14 12"},           {"\tTRB\t$1234", "1C 34 12"},
    {"\tINC\tA", "1A"},                {"\tDEC\tA", "3A"},
    {"\tINC", "1A"},                   {"\tASL", "0A"},
    {"\tROR\ta", "6A"},                {"\tINC\t$1234,X", "FE 34 12"},
    {"\tPHX", "DA"},                   {"\tPHY", "5A"},
    {"\tPLX", "FA"},                   {"\tPLY", "7A"},
    {"\tBIT\t#$01", "89 01"},          {"\tBIT\t$12,X", "34 12"},
    {"\tBIT\t$1234,X", "3C 34 12"},    {"\tJMP\t$1234", "4C 34 12"},
    {"\tJMP\t($1234)", "6C 34 12"},    {"\tJMP\t($1234,X)", "7C 34 12"},
    {"\tJSR\t$0012", "20 12 00"},      {"\tBRK", "00"},
    {"\tRTI", "40"},                   {"\tCPX\t#$FF", "E0 FF"},
    {"\tCPY\t$1234", "CC 34 12"},      {"\tSBC\t($12)", "F2 12"},
    {"\tLDA\t#-1", "A9 FF"},           {"\tADC\t%1010", "65 0A"},
    {"\tEOR\t255", "45 FF"},           {"\tORA\t256", "0D 00 01"},
};

TEST_F(EncoderTest, MatchesTheOpcodeMap)
{
    for (const KnownEncoding& known : KnownEncodings) {
        EXPECT_EQ(encode(known.line), known.bytes) << known.line;
        EXPECT_EQ(output, "") << known.line;
    }
}

TEST_F(EncoderTest, ZeroPageOnlyForNumbersAndEarlierEqu)
{
    EXPECT_EQ(encode("\tLDA\tZP"), "A5 12");
    EXPECT_EQ(encode("\tLDA\tZP+1"), "A5 13");
    EXPECT_EQ(encode("\tLDA\tZP-$12+$100"), "AD 00 01");
    // A later EQU, a label and '*' are absolute even when their value is below $100.
    EXPECT_EQ(encode("\tLDA\tLATE\nLATE\tEQU\t$20"), "AD 20 00");
    EXPECT_EQ(encode("\tORG\t$40\nLBL:\tLDA\tLBL"), "AD 40 00");
    EXPECT_EQ(encode("\tORG\t$40\n\tLDA\t*"), "AD 40 00");
    EXPECT_EQ(encode("ZP2\tEQU\tZP+1\n\tSTA\tZP2,X"), "95 13");
}

TEST_F(EncoderTest, BranchesCountFromTheNextInstruction)
{
    EXPECT_EQ(encode("\tBNE\t*"), "D0 FE");
    EXPECT_EQ(encode("\tBRA\t*+2"), "80 00");
    EXPECT_EQ(encode("\tBEQ\t*+129"), "F0 7F");
    EXPECT_EQ(encode("\tBCC\t*-126"), "90 80");
    EXPECT_EQ(encode("L:\tNOP\n\tBVS\tL"), "EA 70 FD");
    EXPECT_EQ(encode("\tBBS\t3,$12,*"), "BF 12 FD");
    EXPECT_EQ(encode("\tBBS\t7,ZP,*+3"), "FF 12 00");
    EXPECT_EQ(encode("\tBBC\t0,$12,*+130"), "0F 12 7F");
    EXPECT_EQ(encode("\tbbc\t5,$34,*-125"), "5F 34 80");
}

TEST_F(EncoderTest, ReportsBranchesOutOfRangeWithTheTargetAsWritten)
{
    encode("\tBEQ\t*+130\n\tBNE\t*-127\n\tBBS\t1,$12,FAR \t;far\n\tDS\t200\nFAR:\tRTS");
    EXPECT_EQ(output,
              "t.qsm(3): E018: branch out of range \"*+130\"\n"
              "t.qsm(4): E018: branch out of range \"*-127\"\n"
              "t.qsm(5): E018: branch out of range \"FAR\"\n");
}

TEST_F(EncoderTest, ReportsOperandErrors)
{
    encode("\tLDA\tNOWHERE\n\tLDA\t#256\n\tSTX\t$1234,X\n\tLDA\t1+\n\tFOO\t1\n\tLDA\t($1234),Y\n"
           "\tBBS\t8,$12,*\n\tJMP\tZP,Y");
    EXPECT_EQ(output,
              "t.qsm(3): E003: undefined symbol \"NOWHERE\"\n"
              "t.qsm(4): E008: value out of range \"256\"\n"
              "t.qsm(5): E010: addressing mode not available \"$1234,X\"\n"
              "t.qsm(6): E002: bad operand \"1+\"\n"
              "t.qsm(7): E001: unknown mnemonic \"FOO\"\n"
              "t.qsm(8): E008: value out of range \"$1234\"\n"
              "t.qsm(9): E008: value out of range \"8\"\n"
              "t.qsm(10): E010: addressing mode not available \"ZP,Y\"\n");
}

TEST_F(EncoderTest, RefusesMalformedIndirectOperands)
{
    encode("\tLDA\t($12,X),Y\n\tLDA\t($12),X\n\tLDA\t($12\n\tLDA\t($12,Y)\n\tJMP\t($1234),Y");
    EXPECT_EQ(output,
              "t.qsm(3): E002: bad operand \"($12,X),Y\"\n"
              "t.qsm(4): E002: bad operand \"($12),X\"\n"
              "t.qsm(5): E002: bad operand \"($12\"\n"
              "t.qsm(6): E002: bad operand \"($12,Y)\"\n"
              "t.qsm(7): E010: addressing mode not available \"($1234),Y\"\n");
}

}  // namespace
