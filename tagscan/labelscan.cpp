// Keeps this run's generated labels apart from those that earlier runs left in the sources.
#include "tagscan/labelscan.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>

#include "common/errorlist.h"
#include "common/globals.h"
#include "common/lineio.h"
#include "common/cleanup.h"
#include "common/messages.h"
#include "rewrite/labelbook.h"

namespace {

constexpr int LastLabelNo = 65535;  // a higher number would stop the next label with error 13
constexpr std::string_view LabelHead = "..lop";
constexpr size_t SearchChunk = 1 << 16;
constexpr size_t Carry = LabelHead.size() - 1;  // bytes that may begin a head cut by the chunk end

std::unordered_set<std::string> searchedFiles;

// The chunk, with room in front for the bytes carried over from the one before.
char searchBuffer[Carry + SearchChunk];

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The digits of a label whose head was found; they may go on in the next chunk.
struct PendingLabel {
    bool open = false;   // its digits may go on past the end of the chunk
    bool digits = false;
    int value = 0;       // held at LastLabelNo at most, so no length overflows it
};

// Reads digits from p; where a colon ends them, counts the label. Returns where it stopped.
const char* finishLabel(const char* p, const char* end, PendingLabel& label, int& highest) {
    for (; p < end && isDigit(*p); ++p) {
        label.digits = true;
        label.value = label.value * 10 + (*p - '0');
        if (label.value > LastLabelNo)
            label.value = LastLabelNo;
    }
    if (p == end)
        return p;
    if (label.digits && *p == ':' && label.value > highest)
        highest = label.value;
    label.open = false;
    return p;
}

// Searches `name` once in this run and raises labelNo past its labels.
void searchOnce(const std::string& name) {
    if (!searchedFiles.insert(name).second)
        return;
    FILE* stream = fopen(name.c_str(), "rb");
    if (!stream)
        return;
    attachStream(SourceSlot, stream);
    int highest = highestLabelIn(SourceSlot);
    closeStream(SourceSlot);
    if (streamErrors[SourceSlot]) {
        reportError(ErrorNoMemory, nullptr);
        fatalExit(ExitResource);
    }
    if (highest > labelNo)
        labelNo = highest;
    if (highest == LastLabelNo)
        noteLabelLimitFile(name.c_str());
}

// The number of a target that names a label as this tool writes it ("..lop" and
// a number without leading zeros), or 0.
int ownLabelNumber(const char* target) {
    std::string_view text(target);
    if (text.compare(0, LabelHead.size(), LabelHead) != 0)
        return 0;
    text.remove_prefix(LabelHead.size());
    if (text.empty() || text.size() > 5 || text[0] == '0')
        return 0;
    int number = 0;
    for (char c : text) {
        if (!isDigit(c))
            return 0;
        number = number * 10 + (c - '0');
    }
    return number;
}

}  // namespace

// A byte search: the chunk is only looked at where a "..lop" stands, and such
// a head counts where the byte before it ends a line (or it opens the file).
int highestLabelIn(int slot) {
    int highest = 0;
    PendingLabel label;
    char before = '\n';  // the byte before the buffer: the file start is a line start
    size_t carried = 0;
    for (;;) {
        size_t got = fread(searchBuffer + Carry, 1, SearchChunk, streams[slot]);
        if (got == 0)
            return highest;
        const char* begin = searchBuffer + Carry - carried;
        const char* end = searchBuffer + Carry + got;
        const char* p = label.open ? finishLabel(begin, end, label, highest) : begin;
        while (!label.open) {
            size_t at = std::string_view(p, end - p).find(LabelHead);
            if (at == std::string_view::npos)
                break;
            const char* head = p + at;
            char lead = head > begin ? head[-1] : before;
            p = head + LabelHead.size();
            if (lead == '\n') {
                label = PendingLabel{true, false, 0};
                p = finishLabel(p, end, label, highest);
            }
        }
        // A head cut by the chunk's end is found whole in the next buffer.
        carried = label.open ? 0 : std::min(Carry, static_cast<size_t>(end - p));
        if (end - carried > begin)
            before = *(end - carried - 1);
        memmove(searchBuffer + Carry - carried, end - carried, carried);
    }
}

void skipEarlierLabels() {
    searchOnce(workName);
    for (const SourceFileRecord* file = fileList.next; file; file = file->next)
        searchOnce(file->fileName);
}

void stopOnRedefinedLabels() {
    for (const SourceFileRecord* file = fileList.next; file; file = file->next) {
        for (const BranchError* error = file->errorHead; error; error = error->next) {
            if (!isNearOwnLabel(ownLabelNumber(error->target)))
                continue;
            reportError(ErrorRedefinedLabel, error->target);
            fatalExit(ExitSource);
        }
    }
}

void startLabelScan() {
    searchedFiles.clear();
    forgetOwnLabels();
}
