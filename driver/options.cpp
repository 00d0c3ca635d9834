// The command line: its length limit, the option words, the source name and the assembler's vectors.
#include "driver/options.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "common/cleanup.h"
#include "common/globals.h"
#include "common/messages.h"
#include "common/textutil.h"
#include "driver/banner.h"
#include "driver/runfolder.h"
#include "driver/trace.h"

namespace {

const char* const AssemblerName = "torna";
const char* const SourceExtension = ".QSM";  // compared after upper-casing
constexpr int MaxCommandLength = 255;         // characters of all words together
constexpr int MaxPassCount = 100;
constexpr int SourceNameCheckpoint = 1353;


int firstUsed;    // entries of argvFirst filled so far
int passUsed;     // entries of argvPass filled so far
int sourceWords;  // words taken for the source name (an empty word counts too)

void printBannerIfOn() {
    if (bannerOn)
        printBanner();
}

[[noreturn]] void refuseLongCommandLine() {
    printBanner();
    reportError(ErrorCommandTooLong, nullptr);
    fatalExit(ExitCommandLine);
}

// Appends an entry, keeping the last place of the vector for the null entry.
void appendEntry(const char** vector, int& used, int size, const char* entry) {
    if (used >= size - 1)
        refuseLongCommandLine();
    vector[used++] = entry;
    vector[used] = nullptr;
}

void appendFirst(const char* entry) { appendEntry(argvFirst, firstUsed, FirstVectorSize, entry); }
void appendPass(const char* entry) { appendEntry(argvPass, passUsed, PassVectorSize, entry); }
void appendBoth(const char* entry) {
    appendPass(entry);
    appendFirst(entry);
}

// Handlers of the option words; each gets the words from the current one to the last.
void dropWord(int, char**) {}
void passWordOn(int, char** words) { appendBoth(words[0]); }
void setNoDelete(int, char**) { optNoDelete = 1; }
void setNoLoop(int, char**) { optNoLoop = 1; }
void setShrink(int, char**) { optShrink = 1; }
void setComment(int, char**) { optComment = 1; }
void startTrace(int count, char** words) {
    // Another run's trace is never written over while it is written.
    takeFolderLock();
    openTraceFile(count, words);
}
void clearBanner(int, char**) { bannerOn = 0; }

void clearBannerAndPassOn(int count, char** words) {
    bannerOn = 0;
    passWordOn(count, words);
}

void setAsm(int, char**) {
    optAsm = 1;
    appendFirst("-i");
}

[[noreturn]] void showVersion(int, char**) {
    printVersion();
    // No clean-up: the process exit closes what is open.
    throw ExitRequest{ExitOk};
}

[[noreturn]] void refusePlusWord(int, char** words) {
    reportError(ErrorBadOption, words[0]);
    fatalExit(ExitCommandLine);
}

// The ".i" file is made anew by every first run: there is nothing to give back in it.
void refuseShrinkWithAsm() {
    if (!optShrink || !optAsm)
        return;
    reportError(ErrorBadOption, "+shrink");
    fatalExit(ExitCommandLine);
}

[[noreturn]] void refuseBadCount(const char* word) {
    printBannerIfOn();
    reportError(ErrorBadOption, word);
    fatalExit(ExitCommandLine);
}

// "-COUNT<n>": n from 1 to 100, leading zeros allowed; digits beyond any int are just too many.
void setPassLimit(int, char** words) {
    const char* digits = words[0] + strlen("-COUNT");
    if (notAllDigits(digits) || !*digits)
        refuseBadCount(words[0]);
    int number = 0;
    for (const char* digit = digits; *digit && number <= MaxPassCount; ++digit)
        number = number * 10 + (*digit - '0');
    if (number == 0 || number > MaxPassCount)
        refuseBadCount(words[0]);
    passCount = number;
}

void takeSourceName(int, char** words) {
    if (!srcName.empty()) {
        printBannerIfOn();
        reportError(ErrorTwoSources, nullptr);
        fatalExit(ExitCommandLine);
    }
    srcName = words[0];
    ++sourceWords;
}

enum Match { WholeWord, Prefix, LongerWord };

struct OptionWord {
    const char* text;
    Match match;
    void (*handle)(int count, char** words);
};

// Searched from the top; the first row that matches handles the word.
const OptionWord OptionWords[] = {
    {"+nodelete", WholeWord, setNoDelete},
    {"+noloop", WholeWord, setNoLoop},
    {"+info", WholeWord, startTrace},
    {"+shrink", WholeWord, setShrink},
    {"+", Prefix, refusePlusWord},
    {"-.", WholeWord, clearBanner},
    {"-.", LongerWord, clearBannerAndPassOn},
    {"-I", WholeWord, dropWord},
    {"-i", WholeWord, dropWord},
    {"-V", WholeWord, showVersion},
    {"-C", WholeWord, dropWord},
    {"-COMMENT", WholeWord, setComment},
    {"-COUNT", Prefix, setPassLimit},
    {"-ASM", WholeWord, setAsm},
    {"-", Prefix, passWordOn},
    {"", Prefix, takeSourceName},
};

bool matches(const OptionWord& row, const char* word) {
    size_t length = strlen(row.text);
    if (strncmp(word, row.text, length) != 0)
        return false;
    if (row.match == WholeWord)
        return word[length] == '\0';
    if (row.match == LongerWord)
        return word[length] != '\0';
    return true;
}

void handleWord(int count, char** words) {
    for (const OptionWord& row : OptionWords) {
        if (matches(row, words[0])) {
            row.handle(count, words);
            return;
        }
    }
}

bool canOpen(const std::string& name) {
    FILE* stream = fopen(name.c_str(), "rb");
    if (stream)
        fclose(stream);
    return stream != nullptr;
}

[[noreturn]] void refuseNoInput() {
    printBannerIfOn();
    reportError(ErrorNoInput, nullptr);
    fatalExit(ExitCommandLine);
}

[[noreturn]] void refuseSourceName() {
    printBannerIfOn();
    reportError(ErrorCannotOpen, srcName.c_str());
    fatalExit(ExitCommandLine);
}

}  // namespace

void checkCommandLength(int argc, char** argv) {
    size_t total = 0;
    for (int i = 0; i < argc; ++i)
        total += strlen(argv[i]);
    if (total > MaxCommandLength)
        refuseLongCommandLine();
}

void parseArgs(int argc, char** argv) {
    firstUsed = passUsed = sourceWords = 0;
    appendFirst(AssemblerName);
    appendPass(AssemblerName);
    if (argc < 2)
        refuseNoInput();
    for (int i = 1; i < argc; ++i)
        handleWord(argc - i, argv + i);
    if (sourceWords == 0)
        refuseNoInput();
    refuseShrinkWithAsm();
    appendBoth("-e");
    if (!bannerOn)
        appendBoth("-.");
    if (optAsm)
        appendPass("-a");
    checkSourceName();
    jumpChain = JumpChainWords;
    appendFirst(origName.c_str());
    workName = srcName + (optAsm ? ".i" : ".qsm");
    // Where letter case matters and only "prog.QSM" is there, the passes
    // assemble the file the first run did rather than a missing "prog.qsm".
    if (!optAsm && !canOpen(workName) && canOpen(origName))
        workName = origName;
    appendPass(workName.c_str());
    // A trace header that could not be written is reported, but only ends the run here.
    if (lastError != 0)
        fatalExit(ExitCommandLine);
}

void checkSourceName() {
    writeCheckpoint(SourceNameCheckpoint);
    origName = srcName;
    size_t dot = srcName.find('.');
    if (dot == std::string::npos)
        refuseSourceName();
    std::string extension;
    copyUpper(extension, srcName.substr(dot));
    if (extension != SourceExtension)
        refuseSourceName();
    srcName.erase(dot);
}

int notAllDigits(const char* text) {
    for (; *text; ++text) {
        if (*text < '0' || *text > '9')
            return 1;
    }
    return 0;
}
