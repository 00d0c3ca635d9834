// The branch mnemonic table, the inverse codes, and the lengthening of BRA.
#pragma once

#include <cstddef>

struct BranchMnemonic {
    const char* mnemonic;  // upper-case word, null in the terminator row
    int inverseRow;        // row (from 1) of the branch with the opposite condition
};

// Rows 1 to 12 ("BEQ" ... "BBC", "BRA", "JMP") at entries 0 to 11, then the
// terminator; row r's mnemonic is BranchMnemonicTable[r - 1].mnemonic.
extern const BranchMnemonic BranchMnemonicTable[13];

// Inverse code of a word, compared exactly (callers upper-case it first): 1 to 8
// plain conditional, 9 and 10 bit-test, 11 BRA or JMP, 0 for any other word.
int lookupInverse(const char* word);

// Inverse code of the `size` bytes at `word` in any letter case: lookupInverse
// of their upper-case copy, 0 for a word longer than nine letters or holding a NUL.
int lookupInverseOfWord(const char* word, size_t size);

// The word after `word` in jumpChain ("BRA" gives "JMP"); null for a word not in
// it. For "JMP", which has no longer form: error 4 and fatalExit(1).
const char* translateJump(const char* word);
