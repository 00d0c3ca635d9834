// Defines the stand-in assembler's globals and their start values.
#include "globals.h"

bool optTagFile;
bool optBanner;
bool optPreprocess;
bool optPreprocessed;
bool optListing;
std::vector<std::string> includeDirs;

std::string sourceName;
std::string baseName;

int errorCount;
std::vector<ReportedError> reportedErrors;
std::vector<std::string> sourceFileNames;
std::vector<ProgramLine> programLines;
size_t currentIndex;
bool finalWalk;
long long locationCounter;
bool endReached;
bool originSeen;

void initTornaGlobals()
{
    optTagFile = false;
    optBanner = true;
    optPreprocess = false;
    optPreprocessed = false;
    optListing = false;
    includeDirs.clear();
    sourceName.clear();
    baseName.clear();
    errorCount = 0;
    reportedErrors.clear();
    sourceFileNames.clear();
    programLines.clear();
    currentIndex = 0;
    finalWalk = false;
    locationCounter = 0;
    endReached = false;
    originSeen = false;
}
