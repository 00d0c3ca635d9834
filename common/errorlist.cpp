// The per-pass list of branch errors: its sentinel, its release and the line-order sort.
#include "common/errorlist.h"

#include <cstdlib>

SourceFileRecord fileList;
ListPool errorPool;
ListPool textPool;

// A block of a pool; its space follows the header.
struct PoolBlock {
    PoolBlock* next;
    size_t size;  // bytes of space
};

namespace {

constexpr size_t PoolBlockSize = 64 * 1024;  // space of an ordinary block

size_t roundUp(size_t size) { return (size + PoolAlign - 1) / PoolAlign * PoolAlign; }

void releasePool(ListPool& pool) {
    while (pool.blocks) {
        PoolBlock* next = pool.blocks->next;
        free(pool.blocks);
        pool.blocks = next;
    }
    pool.next = nullptr;
    pool.left = 0;
}

// Merges two runs sorted by lineNo; on equal numbers the left run goes first,
// which keeps the sort stable.
BranchError* mergeRuns(BranchError* left, BranchError* right) {
    BranchError head{};
    BranchError* tail = &head;
    while (left && right) {
        BranchError** smaller = right->lineNo < left->lineNo ? &right : &left;
        tail->next = *smaller;
        tail = *smaller;
        *smaller = (*smaller)->next;
    }
    tail->next = left ? left : right;
    return head.next;
}

// Cuts `first` after `count` errors (or at the list end) and returns the rest.
BranchError* cutAfter(BranchError* first, size_t count) {
    for (size_t i = 1; first && i < count; ++i)
        first = first->next;
    if (!first)
        return nullptr;
    BranchError* rest = first->next;
    first->next = nullptr;
    return rest;
}

bool inLineOrder(const BranchError* error) {
    for (; error && error->next; error = error->next)
        if (error->next->lineNo < error->lineNo)
            return false;
    return true;
}

}  // namespace

void* takeFromNewBlock(ListPool& pool, size_t size, void* (*allocate)(size_t count, size_t size)) {
    size = roundUp(size ? size : 1);
    // A text longer than a block gets a block of its own size.
    size_t space = size > PoolBlockSize ? size : PoolBlockSize;
    auto* block = static_cast<PoolBlock*>(allocate(1, roundUp(sizeof(PoolBlock)) + space));
    if (!block)
        return nullptr;
    block->next = pool.blocks;
    block->size = space;
    pool.blocks = block;
    pool.next = reinterpret_cast<char*>(block) + roundUp(sizeof(PoolBlock));
    pool.left = space;
    void* taken = pool.next;
    pool.next += size;
    pool.left -= size;
    return taken;
}

void (*releaseListIndex)() = nullptr;

void releaseFileList() {
    if (releaseListIndex)
        releaseListIndex();
    releasePool(errorPool);
    releasePool(textPool);
    SourceFileRecord* record = fileList.next;
    while (record) {
        SourceFileRecord* next = record->next;
        free(record->fileName);
        free(record);
        record = next;
    }
    fileList.next = nullptr;
}

// Bottom-up merge sort of the linked list: no recursion and no extra memory,
// so a file with a hundred thousand errors sorts in n log n steps. A list in
// line order already, the usual case, costs one walk.
void sortErrorsByLine(SourceFileRecord* file) {
    if (inLineOrder(file->errorHead))
        return;
    BranchError* list = file->errorHead;
    for (size_t width = 1; list; width *= 2) {
        BranchError head{};
        BranchError* tail = &head;
        size_t runs = 0;
        while (list) {
            BranchError* left = list;
            BranchError* right = cutAfter(left, width);
            list = cutAfter(right, width);
            tail->next = mergeRuns(left, right);
            while (tail->next)
                tail = tail->next;
            ++runs;
        }
        list = head.next;
        if (runs == 1) {
            file->errorHead = list;
            file->errorTail = tail;
            return;
        }
    }
}
