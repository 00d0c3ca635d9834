// What the fuzz targets share: a quiet standard output, a scratch directory and whole-file I/O.
#include "fuzzsupport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::string scratchDirectory;  // removed at exit

void removeScratchDirectory() {
    std::error_code ignored;
    if (!scratchDirectory.empty())
        std::filesystem::remove_all(scratchDirectory, ignored);
}

}  // namespace

void quietStandardOutput() {
    if (!freopen("/dev/null", "w", stdout))
        failInvariant("cannot send standard output to /dev/null");
}

void enterScratchDirectory() {
    struct stat info;
    const char* given = getenv("KELVAD_FUZZ_SCRATCH");
    std::string base = given && *given ? given
                       : stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) ? "/dev/shm" : "/tmp";
    std::string pattern = base + "/kelvad-fuzz.XXXXXX";
    if (!mkdtemp(pattern.data()) || chdir(pattern.c_str()) != 0)
        failInvariant("cannot make a scratch directory");
    scratchDirectory = pattern;
    atexit(removeScratchDirectory);
}

std::string readWholeFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeWholeFile(const std::string& name, const std::string& text) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out)
        failInvariant("cannot write " + name);
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

[[noreturn]] void failInvariant(const std::string& what) {
    fprintf(stderr, "invariant broken: %s\n", what.c_str());
    fflush(stderr);
    abort();
}
