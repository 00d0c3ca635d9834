// Entry of the stand-in assembler `torna`: options, load, then preprocess or assemble.
#include <cstdio>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "assemble.h"
#include "diag.h"
#include "globals.h"
#include "image.h"
#include "listing.h"
#include "loader.h"
#include "options.h"
#include "outfile.h"
#include "preprocess.h"
#include "tagfile.h"

namespace {

const char* const BannerText = "torna R65C02 stand-in assembler V1.0\n";

const char* plural(long count)
{
    return count == 1 ? "" : "s";
}

// Writes one output file; gives the fatal status after a message if it cannot.
int writeOutput(const std::string& path, const std::string& bytes)
{
    return writeWholeFile(path, bytes) ? StatusOk : reportFatal(FatalCannotWrite, path);
}

int preprocessOnly()
{
    std::string path = baseName + ".i";
    if (writeOutput(path, preprocessedText()) != StatusOk) {
        return StatusFatal;
    }
    std::printf("%d error%s, %s written\n", errorCount, plural(errorCount), path.c_str());
    return StatusOk;
}

int assembleAndWrite()
{
    assembleProgram();
    std::string binaryPath = baseName + ".bin";
    if (errorCount == 0) {
        if (writeOutput(binaryPath, binaryImage()) != StatusOk) {
            return StatusFatal;
        }
    } else {
        // A binary left from an earlier run would pass for this source's.
        std::remove(binaryPath.c_str());
    }
    if (optListing && writeOutput(baseName + ".lst", formatListing()) != StatusOk) {
        return StatusFatal;
    }
    long bytes = emittedByteCount();
    std::printf("%d error%s, %ld byte%s\n", errorCount, plural(errorCount), bytes, plural(bytes));
    return StatusOk;
}

}  // namespace

int main(int argc, char** argv)
{
#ifdef _WIN32
    // Console lines end in "\n" as on Linux; text mode would write "\r\n".
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    initTornaGlobals();
    if (parseOptions(argc, argv) != StatusOk) {
        return StatusFatal;
    }
    if (optBanner) {
        std::fputs(BannerText, stdout);
    }
    if (!loadProgram(sourceName)) {
        return reportFatal(FatalCannotOpen, sourceName);
    }
    int status = optPreprocess ? preprocessOnly() : assembleAndWrite();
    if (status != StatusOk) {
        return status;
    }
    if (optTagFile && !writeTagFile(baseName + ".tag")) {
        return reportFatal(FatalCannotWrite, baseName + ".tag");
    }
    return errorCount == 0 ? StatusOk : StatusErrors;
}
