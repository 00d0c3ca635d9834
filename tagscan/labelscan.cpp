// Keeps this run's generated labels apart from those that earlier runs left in the sources.
#include "tagscan/labelscan.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <unordered_set>

#include "common/cleanup.h"
#include "common/errorlist.h"
#include "common/globals.h"
#include "common/lineio.h"
#include "common/messages.h"
#include "common/textutil.h"
#include "rewrite/labelbook.h"
#include "rewrite/presenttext.h"
#include "tagscan/programfiles.h"

namespace {

constexpr long LastLabelNo = 65535;  // a higher number would stop the next label with error 13
constexpr std::string_view LabelHead = "..lop";
constexpr size_t SearchChunk = 1 << 16;

std::unordered_set<std::string> searchedSet;
std::vector<std::string> searchedNames;

// The lines not searched yet (the part of a line that the last read cut), then
// the chunk read behind them: every line is searched once, whole.
std::vector<char> searchBuffer;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

[[noreturn]] void failMemory() {
    reportError(ErrorNoMemory, nullptr);
    fatalExit(ExitResource);
}

// Counts the label that the head at `head` begins, when only blanks stand
// before it on its line and digits and a colon after it.
void countLabel(const char* begin, const char* head, const char* end, FileFindings& found) {
    const char* p = head;
    while (p > begin && isAssemblerBlank(p[-1]))
        --p;
    if (p > begin && p[-1] != '\n')
        return;
    const char* digits = head + LabelHead.size();
    long value = 0;  // held just above LastLabelNo at most, so no length overflows it
    for (p = digits; p < end && isDigit(*p); ++p)
        if (value <= LastLabelNo)
            value = value * 10 + (*p - '0');
    if (p == digits || p == end || *p != ':')
        return;
    // Leading zeros name another label, but counting them as the number is safe.
    if (value == found.wanted && *digits != '0')
        found.definesWanted = true;
    found.highest = static_cast<int>(std::max(static_cast<long>(found.highest), std::min(value, LastLabelNo)));
}

// Only a line holding a double quote can be an include line.
void findIncludes(const char* begin, const char* end, FileFindings& found) {
    const void* quote = memchr(begin, '"', end - begin);
    while (quote) {
        const char* start = static_cast<const char*>(quote);
        while (start > begin && start[-1] != '\n')
            --start;
        const void* lineEnd = memchr(quote, '\n', end - static_cast<const char*>(quote));
        const char* stop = lineEnd ? static_cast<const char*>(lineEnd) : end;
        std::string name;
        if (includeNameOf(start, stop - start, name))
            found.includes.push_back(name);
        quote = stop < end ? memchr(stop, '"', end - stop) : nullptr;
    }
}

// Searches whole lines: the chunk is only looked at where a "..lop" or a double quote stands.
void searchLines(const char* begin, const char* end, FileFindings& found) {
    std::string_view text(begin, end - begin);
    for (size_t at = text.find(LabelHead); at != std::string_view::npos; at = text.find(LabelHead, at + 1))
        countLabel(begin, begin + at, end, found);
    findIncludes(begin, end, found);
}

// Room for `size` bytes, growing by doubling so that a long line costs linear time.
void reserveSearchBuffer(size_t size) {
    if (searchBuffer.size() >= size)
        return;
    try {
        if (searchBuffer.capacity() < size)
            searchBuffer.reserve(std::max(size, 2 * searchBuffer.capacity()));
        searchBuffer.resize(size);
    } catch (const std::bad_alloc&) {
        failMemory();
    }
}

void raiseLabelNo(const std::string& name, const FileFindings& found) {
    if (std::find(searchedNames.begin(), searchedNames.end(), name) == searchedNames.end())
        searchedNames.push_back(name);
    if (found.highest > labelNo)
        labelNo = found.highest;
    if (found.highest == LastLabelNo)
        noteLabelLimitFile(name.c_str());
}

void searchOnce(const std::string& name) {
    followIncludes(name, searchedSet, raiseLabelNo);
}

// The number of a target of the generated form ("..lop" and digits), -1 for
// any other target, 0 for one whose files cannot be told (a leading zero, or
// a number no label of this tool has).
long generatedLabelNumber(const char* target) {
    std::string_view text(target);
    if (text.compare(0, LabelHead.size(), LabelHead) != 0 || text.size() == LabelHead.size())
        return -1;
    text.remove_prefix(LabelHead.size());
    long number = 0;
    for (char c : text) {
        if (!isDigit(c))
            return -1;
        if (number <= LastLabelNo)
            number = number * 10 + (c - '0');
    }
    return text[0] == '0' || number > LastLabelNo ? 0 : number;
}

// One line on standard error: the searched files that define label `number`.
void nameDefiningFiles(const char* label, long number) {
    std::string names;
    for (const std::string& name : searchedNames) {
        FileFindings found;
        found.wanted = static_cast<int>(number);
        if (searchFile(name, found) && found.definesWanted)
            names += (names.empty() ? "'" : ", '") + name + "'";
    }
    if (number <= 0 || names.empty())
        return;
    fprintf(stderr, "'%s' is defined in %s\n", label, names.c_str());
    fflush(stderr);
}

}  // namespace

bool searchFile(const std::string& name, FileFindings& found) {
    // Noted before the read: a change while it reads is seen as a change after it.
    noteSearchedText(name);
    if (!isSearchableFile(name))
        return false;
    FILE* stream = fopen(name.c_str(), "rb");
    if (!stream)
        return false;
    attachStream(SourceSlot, stream);
    searchStream(SourceSlot, found);
    closeStream(SourceSlot);
    if (streamErrors[SourceSlot])
        failMemory();
    return true;
}

void searchStream(int slot, FileFindings& found) {
    size_t held = 0;
    for (;;) {
        reserveSearchBuffer(held + SearchChunk);
        char* data = searchBuffer.data();
        size_t got = fread(data + held, 1, SearchChunk, streams[slot]);
        if (got == 0) {
            searchLines(data, data + held, found);
            return;
        }
        const char* fresh = data + held;
        const char* last = fresh + got;
        while (last > fresh && last[-1] != '\n')
            --last;
        if (last == fresh) {
            held += got;
            continue;
        }
        searchLines(data, last, found);
        held = fresh + got - last;
        memmove(data, last, held);
    }
}

int highestLabelIn(int slot) {
    FileFindings found;
    searchStream(slot, found);
    return found.highest;
}

void searchWorkingProgram() {
    searchOnce(workName);
    // A file that another program changed since it was searched may hold new
    // labels (another run's, in a file both programs include): search it again.
    for (size_t i = 0; i < searchedNames.size(); ++i) {
        if (!searchedTextChanged(searchedNames[i]))
            continue;
        searchedSet.erase(searchedNames[i]);
        searchOnce(std::string(searchedNames[i]));
    }
}

void skipEarlierLabels() {
    searchOnce(workName);
    for (const SourceFileRecord* file = fileList.next; file; file = file->next)
        searchOnce(file->fileName);
}

const std::vector<std::string>& searchedFileNames() {
    return searchedNames;
}

void stopOnGeneratedTargets() {
    for (const SourceFileRecord* file = fileList.next; file; file = file->next) {
        for (const BranchError* error = file->errorHead; error; error = error->next) {
            long number = generatedLabelNumber(error->target);
            if (number < 0)
                continue;
            reportError(ErrorRedefinedLabel, error->target);
            nameDefiningFiles(error->target, number);
            fatalExit(ExitSource);
        }
    }
}

void startLabelScan() {
    searchedSet.clear();
    searchedNames.clear();
    forgetOwnLabels();
}
