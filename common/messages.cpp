// Numbered error and warning texts, their one layout on standard output, and the usage text.
#include "common/messages.h"

#include <cstdio>
#include <cstring>

#include "common/globals.h"

const char* const ErrorMessages[ErrorCount] = {
    "",
    "Can't create file '%s'\n",
    "Can't create Tmporary file\n",
    "Can't open file '%s'\n",
    "Can't translate\n",
    "Command line is too long\n",
    "Error occurred in executing 'torna'\n",
    "Illegal source file\n",
    "Illegal TAG file\n",
    "No input files specified\n",
    "Not enough memory\n",
    "Option '%s' is not appropriate\n",
    "Source files number exceed 1\n",
    "Too many branch error\n",
    "case not associated with switch\n",
    "while not associated with do\n",
    "next not associated with for\n",
    "Label '%s' is defined more than once\n",
    "Can't remove file '%s'\n",
    "Can't rewrite file '%s', its old text is kept in 'tmpbra01'\n",
    "'tmpbra01' holds the old text of '%s' from a run cut short: copy it over that file, then remove it\n",
    "Can't lock this folder against other runs: make it readable, or run elsewhere\n",
    "File '%s' has changed since 'torna' read it\n",
};
static_assert(sizeof ErrorMessages / sizeof ErrorMessages[0] == ErrorCount && ErrorCount == 23, "a text for each error number");

const char* const WarningMessages[WarningCount] = {
    "",
    "Relative address '%s' is specified\n",
    "",
};
static_assert(sizeof WarningMessages / sizeof WarningMessages[0] == WarningCount, "a text for each warning number");

const char* const UsageLines[4] = {"\n  Usage: ", "kelvad", " filename [options...]<cr>\n", nullptr};

namespace {


// Writes `text` with its "%s" replaced by `argument` (nothing for a null one).
// The argument is copied as it stands, never read as a format.
void writeFormatted(const char* text, const char* argument) {
    const char* placeholder = strstr(text, "%s");
    if (!placeholder) {
        fputs(text, stdout);
        return;
    }
    fwrite(text, 1, placeholder - text, stdout);
    if (argument)
        fputs(argument, stdout);
    fputs(placeholder + 2, stdout);
}

}  // namespace

void reportError(ErrorNumber n, const char* argument) {
    fputs(" Error : ", stdout);
    writeFormatted(ErrorMessages[n], argument);
    if (n == ErrorNoInput)
        printUsage();
    fputs("\n", stdout);
    fflush(stdout);
    lastError = n;
}

void reportCause(const char* cause) {
    if (!cause || !*cause)
        return;
    fflush(stdout);
    fprintf(stderr, "kelvad: %s\n", cause);
    fflush(stderr);
}

void reportWarning(WarningNumber n, const char* argument) {
    fputs(" Warning : ", stdout);
    writeFormatted(WarningMessages[n], argument);
    fputs("\n", stdout);
    fflush(stdout);
}

void printUsage() {
    for (const char* const* piece = UsageLines; *piece; ++piece)
        fputs(*piece, stdout);
    fflush(stdout);
}
