// Defines the process-wide state and its start values.
#include "common/globals.h"

std::string srcName;
std::string origName;
std::string workName;
std::string lineBuf;
std::string prevLineBuf2;
std::string prevLineBuf1;
std::string mnemonicBuf;
std::string lineEnd = "\n";

const char* argvFirst[FirstVectorSize];
const char* argvPass[PassVectorSize];

int bannerOn;
int optComment;
int optAsm;
int optNoLoop;
int optNoDelete;
int optShrink;
int passCount;

FILE* streams[SlotCount];
int openFlags[SlotCount];
int streamErrors[SlotCount];
FILE*& tagStream = streams[TagSlot];
FILE*& sourceStream = streams[SourceSlot];
FILE*& outputStream = streams[OutputSlot];
int& tagOpen = openFlags[TagSlot];
int& sourceOpen = openFlags[SourceSlot];
int& outputOpen = openFlags[OutputSlot];

FILE* traceStream;
int traceOn;

volatile std::sig_atomic_t openDescriptors[SlotCount + 1] = {-1, -1, -1, -1};

int lastError;
long sourceLineNo;
int labelNo;
int chainNext;
int chainPrev;

constexpr const char* JumpChainWords[3] = {"BRA", "JMP", nullptr};
static_assert(JumpChainWords[2] == nullptr, "the jump chain ends with a null entry");
const char* const* jumpChain;

void initGlobals() {
    srcName.clear();
    origName.clear();
    workName.clear();
    lineBuf.clear();
    prevLineBuf2.clear();
    prevLineBuf1.clear();
    mnemonicBuf.clear();
    lineEnd = "\n";
    argvFirst[0] = nullptr;
    argvPass[0] = nullptr;
    bannerOn = 1;
    optComment = 0;
    optAsm = 0;
    optNoLoop = 0;
    optNoDelete = 0;
    optShrink = 0;
    passCount = 100;
    for (int slot = 0; slot < SlotCount; ++slot) {
        streams[slot] = nullptr;
        openFlags[slot] = 0;
        streamErrors[slot] = 0;
        openDescriptors[slot] = -1;
    }
    openDescriptors[SlotCount] = -1;
    traceStream = nullptr;
    traceOn = 0;
    lastError = 0;
    sourceLineNo = 0;
    labelNo = 0;
    chainNext = 0;
    chainPrev = 0;
    jumpChain = nullptr;
}
