// The branch mnemonic table, the inverse codes, and the lengthening of BRA.
#include "rewrite/mnemonics.h"

#include <cstdint>
#include <cstring>

#include "common/cleanup.h"
#include "common/globals.h"
#include "common/messages.h"

// Row r (from 1) is entry r - 1; each row names the row of its opposite branch.
constexpr BranchMnemonic BranchMnemonicTable[13] = {
    {"BEQ", 2},  {"BNE", 1},  {"BCC", 4}, {"BCS", 3}, {"BMI", 6}, {"BPL", 5},
    {"BVC", 8},  {"BVS", 7},  {"BBS", 10}, {"BBC", 9}, {"BRA", 11}, {"JMP", 11},
    {nullptr, 0},
};
static_assert(sizeof BranchMnemonicTable / sizeof BranchMnemonicTable[0] == 13,
              "twelve rows and the terminator");
static_assert(BranchMnemonicTable[11].mnemonic != nullptr && BranchMnemonicTable[12].mnemonic == nullptr,
              "the terminator follows row 12");

namespace {

constexpr size_t RowCount = 12;
constexpr size_t LongestWord = 9;  // longest word the lookup takes; longer ones are no branch

// A three-letter word as one number, a letter per byte: every mnemonic of the
// table has three letters, so a lookup is a few compares of numbers.
constexpr uint32_t packWord(const char* word) {
    return static_cast<uint32_t>(static_cast<unsigned char>(word[0])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(word[1])) << 8 |
           static_cast<unsigned char>(word[2]);
}

struct PackedRows {
    uint32_t word[RowCount];
};

constexpr PackedRows packRows() {
    PackedRows rows{};
    for (size_t row = 0; row < RowCount; ++row)
        rows.word[row] = packWord(BranchMnemonicTable[row].mnemonic);
    return rows;
}

constexpr PackedRows Packed = packRows();

}  // namespace

int lookupInverse(const char* word) {
    // Looked up twice for every reported line: a word that is not three letters
    // long is no row's, and the others are compared as numbers.
    if (!word[0] || !word[1] || !word[2] || word[3])
        return 0;
    uint32_t packed = packWord(word);
    for (size_t row = 0; row < RowCount; ++row)
        if (Packed.word[row] == packed)
            return BranchMnemonicTable[row].inverseRow;
    return 0;
}

int lookupInverseOfWord(const char* word, size_t size) {
    if (size > LongestWord)
        return 0;
    char upper[LongestWord + 1];
    for (size_t i = 0; i < size; ++i) {
        // A NUL would cut the word short for the lookup and let "BEQ\0X" pass as BEQ.
        if (word[i] == '\0')
            return 0;
        upper[i] = word[i] >= 'a' && word[i] <= 'z' ? static_cast<char>(word[i] - 'a' + 'A') : word[i];
    }
    upper[size] = '\0';
    return lookupInverse(upper);
}

const char* translateJump(const char* word) {
    // Start-up points jumpChain at JumpChainWords; fall back to it before that.
    const char* const* chain = jumpChain ? jumpChain : JumpChainWords;
    for (; *chain; ++chain) {
        if (strcmp(*chain, word) != 0)
            continue;
        if (chain[1])
            return chain[1];
        reportError(ErrorCantTranslate, nullptr);
        fatalExit(ExitSource);
    }
    return nullptr;
}
