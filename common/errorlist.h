// The per-pass list of branch errors by source file.
#pragma once

#include "common/records.h"

// Sentinel head of the list; the real records hang off its `next`.
extern SourceFileRecord fileList;

#include <cstddef>

// Space for the many small blocks of one pass's list (error records, target
// texts), taken from large zero-filled blocks and given back all at once by
// releaseFileList: a reported line costs no allocation and no release of its own.
struct ListPool {
    struct PoolBlock* blocks;  // newest first
    char* next;            // free space of the newest block
    size_t left;           // bytes of it
};

extern ListPool errorPool;  // the BranchError records of fileList
extern ListPool textPool;   // their target texts

constexpr size_t PoolAlign = alignof(std::max_align_t);

// takeFromPool when the pool's newest block has no room left.
void* takeFromNewBlock(ListPool& pool, size_t size, void* (*allocate)(size_t count, size_t size));

// `size` zero-filled bytes from `pool`, aligned for any record; a new block of
// the pool comes from `allocate` (calloc's signature). Null when that fails.
inline void* takeFromPool(ListPool& pool, size_t size, void* (*allocate)(size_t count, size_t size)) {
    size = (size + PoolAlign - 1) / PoolAlign * PoolAlign;
    if (size == 0 || size > pool.left)
        return takeFromNewBlock(pool, size, allocate);
    void* taken = pool.next;
    pool.next += size;
    pool.left -= size;
    return taken;
}

// Empties fileList (the sentinel's next becomes null) and releases its records
// and both pools; calls releaseListIndex first, if set.
void releaseFileList();

// Set by whoever keeps an index of fileList's records (the tag reader), so the
// index is dropped together with the records it points at.
extern void (*releaseListIndex)();

// Puts the errors of `file` in increasing order of lineNo, keeping the order of
// equal numbers (a stable sort of the linked list).
void sortErrorsByLine(SourceFileRecord* file);
