// A scripted stand-in for the assembler: each run logs its arguments and does what runs/K/ says.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

namespace fs = std::filesystem;

namespace {

const char* const CountFile = "torna.count";  // number of runs so far, in the current directory
const char* const LogFile = "torna.log";      // one line per run: "[arg] [arg] ..."

std::string readWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeWholeFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out)
        std::cerr << "faketorna: cannot write " << path.string() << "\n";
}

// Counts this run and returns its number, from 1.
int countRun() {
    int runs = std::atoi(readWholeFile(CountFile).c_str()) + 1;
    writeWholeFile(CountFile, std::to_string(runs) + "\n");
    return runs;
}

void logArguments(int argc, char** argv) {
    std::string line;
    for (int i = 0; i < argc; ++i)
        line += std::string(i ? " [" : "[") + argv[i] + "]";
    std::ofstream log(LogFile, std::ios::binary | std::ios::app);
    log << line << "\n";
}

void sleepSeconds(double seconds) {
    if (seconds <= 0)
        return;
#ifdef _WIN32
    Sleep(static_cast<DWORD>(seconds * 1000));
#else
    timespec wait;
    wait.tv_sec = static_cast<time_t>(seconds);
    wait.tv_nsec = static_cast<long>((seconds - static_cast<double>(wait.tv_sec)) * 1e9);
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
#endif
}

#ifdef _WIN32
// Ctrl+C ends the run with the status Windows gives a program without a handler
// (wine's default handler would give 0, as if the run had succeeded).
BOOL WINAPI endOnInterrupt(DWORD) {
    ExitProcess(STATUS_CONTROL_C_EXIT);
    return TRUE;
}
#endif

// Ends the run the way a crash would: by a signal where there are signals.
[[noreturn]] void killSelf() {
    std::cout.flush();
#ifdef _WIN32
    TerminateProcess(GetCurrentProcess(), 128 + 9);
#else
    raise(SIGKILL);
#endif
    std::_Exit(128 + 9);
}

// The last argument up to its first '.', as the tool derives its own names.
std::string baseOfLastArgument(int argc, char** argv) {
    std::string last = argc > 1 ? argv[argc - 1] : "";
    return last.substr(0, last.find('.'));
}

// File by file: the Windows library's fs::copy refuses to overwrite an existing file.
void copyScriptedFiles(const fs::path& from) {
    std::error_code failure;
    if (!fs::is_directory(from))
        return;
    for (fs::recursive_directory_iterator entry(from, failure), end; !failure && entry != end;
         entry.increment(failure)) {
        fs::path to = entry->path().lexically_relative(from);
        if (entry->is_directory())
            fs::create_directories(to, failure);
        else
            writeWholeFile(to, readWholeFile(entry->path()));
    }
    if (failure)
        std::cerr << "faketorna: cannot copy " << from.string() << ": " << failure.message() << "\n";
}

// Writes the scripted tag file, leaves the old one with "keeptag" (as an assembler that
// writes it only when it has something to report), or removes it.
void placeTagFile(const fs::path& script, const std::string& base) {
    std::error_code ignored;
    if (fs::exists(script / "keeptag"))
        return;
    if (fs::exists(script / "tag"))
        writeWholeFile(base + ".tag", readWholeFile(script / "tag"));
    else
        fs::remove(base + ".tag", ignored);
}

int scriptedStatus(const fs::path& script) {
    if (!fs::exists(script / "status"))
        return 0;
    std::string word = readWholeFile(script / "status");
    if (word.compare(0, 4, "kill") == 0)
        killSelf();
    return std::atoi(word.c_str());
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    SetConsoleCtrlHandler(endOnInterrupt, TRUE);
#endif
    int run = countRun();
    logArguments(argc, argv);
    fs::path script = fs::path("runs") / std::to_string(run);
    if (!fs::is_directory(script))
        script = fs::path("runs") / "every";
    std::string base = baseOfLastArgument(argc, argv);
    copyScriptedFiles(script / "files");
    placeTagFile(script, base);
    if (fs::exists(script / "i"))
        writeWholeFile(base + ".i", readWholeFile(script / "i"));
    if (fs::exists(script / "sleep"))
        sleepSeconds(std::strtod(readWholeFile(script / "sleep").c_str(), nullptr));
    return scriptedStatus(script);
}
