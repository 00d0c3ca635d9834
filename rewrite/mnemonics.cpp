// The branch mnemonic table, the inverse codes, and the lengthening of BRA.
#include "rewrite/mnemonics.h"

#include <cstring>

#include "common/globals.h"
#include "driver/cleanup.h"
#include "driver/messages.h"

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
constexpr int ErrorCantTranslate = 4;
}

int lookupInverse(const char* word) {
    for (const BranchMnemonic* row = BranchMnemonicTable; row->mnemonic; ++row) {
        // Looked up twice for every reported line, and most rows begin with 'B':
        // the first two letters settle most rows without a call.
        if (row->mnemonic[0] == word[0] && row->mnemonic[1] == word[1] && strcmp(row->mnemonic, word) == 0)
            return row->inverseRow;
    }
    return 0;
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
