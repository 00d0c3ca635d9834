// Reads the stand-in's command line into the option globals.
#include "options.h"

#include <cstring>
#include <string>

#include "diag.h"
#include "globals.h"

namespace {

struct OptionRow {
    const char* word;
    bool* flag;
    bool value;
};

const OptionRow OptionTab[] = {
    {"-e", &optTagFile, true},
    {"-.", &optBanner, false},
    {"-i", &optPreprocess, true},
    {"-a", &optPreprocessed, true},
    {"-l", &optListing, true},
};

// Gives true if the word is one of the fixed option words, after setting its flag.
bool applyFixedOption(const char* word)
{
    for (const OptionRow& row : OptionTab) {
        if (std::strcmp(word, row.word) == 0) {
            *row.flag = row.value;
            return true;
        }
    }
    return false;
}

}  // namespace

int parseOptions(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        const char* word = argv[i];
        if (word[0] != '-') {
            if (!sourceName.empty()) {
                return reportFatal(FatalTwoSources, word);
            }
            sourceName = word;
            continue;
        }
        if (applyFixedOption(word)) {
            continue;
        }
        if (word[1] == 'I' && word[2] != '\0') {
            includeDirs.push_back(word + 2);
            continue;
        }
        return reportFatal(FatalUnknownOption, word);
    }
    if (sourceName.empty()) {
        return reportFatal(FatalNoSource, "");
    }
    baseName = sourceName.substr(0, sourceName.find('.'));
    return StatusOk;
}
