// The branch mnemonic table, the inverse codes, and the lengthening of BRA.
#pragma once

struct BranchMnemonic {
    const char* mnemonic;  // upper-case word, null in the terminator row
    int inverseRow;        // row (from 1) of the branch with the opposite condition
};

extern const BranchMnemonic BranchMnemonicTable[13];  // twelve rows and the terminator
extern const char* const JumpChainWords[3];           // "BRA", "JMP", null

// Inverse code of an upper-case word: 1 to 10 conditional, 11 BRA/JMP, 0 none.
int lookupInverse(const char* word);

// Long form of an upper-case unconditional word ("BRA" gives "JMP"); null for a
// word not in jumpChain; error 4 and fatalExit(1) for "JMP".
const char* translateJump(const char* word);
