// The generated labels this run has written, and which of them stand within reach of their branches.
#include "rewrite/labelbook.h"

#include <string>
#include <vector>

namespace {

std::string limitFile;  // the file whose label numbering reached the limit

// A branch reaches 127 bytes forward, and a branch line is at most 3 bytes long:
// the first line of a chain of up to this many more lines still reaches the
// shared label (40 * 3 = 120 bytes).
constexpr int MaxNearChainLines = 40;
constexpr int LabelCount = 65536;  // numbers 0 to 65535

enum LabelState : unsigned char {
    NotOurs = 0,
    OursNear = 1,  // a few bytes behind every branch to it
    OursFar = 2,   // behind a chain so long that its first branch may not reach it
};

std::vector<unsigned char> labelStates(LabelCount, NotOurs);
int chainLabel;  // shared label of the chain counted in chainLines
int chainLines;

}  // namespace

void noteLabelTaken(int number) {
    if (number > 0 && number < LabelCount)
        labelStates[number] = OursNear;
}

void noteChainLine(int number) {
    if (number != chainLabel) {
        chainLabel = number;
        chainLines = 0;
    }
    if (++chainLines > MaxNearChainLines && number > 0 && number < LabelCount)
        labelStates[number] = OursFar;
}

bool isNearOwnLabel(int number) {
    return number > 0 && number < LabelCount && labelStates[number] == OursNear;
}

void forgetOwnLabels() {
    labelStates.assign(LabelCount, NotOurs);
    chainLabel = 0;
    chainLines = 0;
    limitFile.clear();
}

void noteLabelLimitFile(const char* fileName) {
    limitFile = fileName;
}

const char* labelLimitFile() {
    return limitFile.empty() ? nullptr : limitFile.c_str();
}
