// Linux side of the platform calls: the interrupt signal, raw descriptor calls and running a program.
#include "platform/platform.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const char* const ShellPath = "/bin/sh";

// The assembler while it runs, for the stop handler; 0 when none runs. Its process
// group is its own, so a kill reaches whatever it started too.
volatile sig_atomic_t runningChild = 0;

// The signals that stop a run: Ctrl-C, a build tool stopping a job, a closed terminal.
const int StopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void stopSignalSet(sigset_t* set) {
    sigemptyset(set);
    for (int signalNumber : StopSignals)
        sigaddset(set, signalNumber);
}

// A file that the system refused to start is given to the shell only when it
// looks like text: a NUL in its first line marks a binary (as a shell also judges),
// which the shell would read as commands.
bool looksLikeScript(const std::string& path) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return false;
    char head[80];
    size_t size = fread(head, 1, sizeof head, file);
    fclose(file);
    const char* lineEnd = static_cast<const char*>(memchr(head, '\n', size));
    size_t firstLine = lineEnd ? lineEnd - head : size;
    return memchr(head, '\0', firstLine) == nullptr;
}

bool isExecutableFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The program's path: the current directory first, then each PATH directory
// (an empty entry is the current directory). Empty when it is nowhere.
std::string findProgram(const char* program) {
    if (isExecutableFile(program))
        return std::string("./") + program;
    const char* path = getenv("PATH");
    if (!path)
        return std::string();
    std::string entries = path;
    size_t start = 0;
    for (;;) {
        size_t end = entries.find(':', start);
        std::string directory = entries.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::string candidate = (directory.empty() ? std::string(".") : directory) + "/" + program;
        if (isExecutableFile(candidate))
            return candidate;
        if (end == std::string::npos)
            return std::string();
        start = end + 1;
    }
}

}  // namespace

void makeStandardStreamsBinary() {
}

void installInterruptHandler(void (*handler)(int)) {
    struct sigaction action = {};
    action.sa_handler = handler;
    // One stop at a time: the others wait while the handler runs, then find it ignoring them.
    stopSignalSet(&action.sa_mask);
    for (int signalNumber : StopSignals)
        sigaction(signalNumber, &action, nullptr);
}

void ignoreInterrupt() {
    for (int signalNumber : StopSignals)
        signal(signalNumber, SIG_IGN);
}

void stopRunningProgram() {
    pid_t child = runningChild;
    if (child <= 0)
        return;
    // Its files must not outlive this run: a later run would read its tag file.
    kill(-child, SIGKILL);
    kill(child, SIGKILL);
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    runningChild = 0;
}

[[noreturn]] void endBySignal(int signalNumber) {
    // The status a shell shows for the signal (143 for SIGTERM), as without a handler.
    signal(signalNumber, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signalNumber);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(signalNumber);
    _exit(128 + signalNumber);
}

void ignoreFileSizeSignal() {
    signal(SIGXFSZ, SIG_IGN);
}

bool writeDescriptor(int fd, const char* text, size_t size) {
    while (size > 0) {
        ssize_t written = write(fd, text, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        text += written;
        size -= written;
    }
    return true;
}

void closeDescriptor(int fd) {
    close(fd);
}

[[noreturn]] void exitAtOnce(int status) {
    _exit(status);
}

int runProgram(const char* program, const char* const* argv) {
    std::string path = findProgram(program);
    if (path.empty())
        return -1;
    // posix_spawn wants writable strings; the vector's own texts stay untouched.
    std::vector<std::string> words;
    for (const char* const* word = argv; *word; ++word)
        words.emplace_back(*word);
    std::vector<char*> childArgv;
    for (std::string& word : words)
        childArgv.push_back(word.data());
    childArgv.push_back(nullptr);
    // An ignored signal stays ignored in the program started: give it the default back.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGXFSZ);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    // The stop signals wait until the child is known to the handler; the child gets
    // the mask as it was, and a process group of its own, which the handler kills.
    sigset_t stops, saved;
    stopSignalSet(&stops);
    sigprocmask(SIG_BLOCK, &stops, &saved);
    posix_spawnattr_setsigmask(&attributes, &saved);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
    pid_t child;
    int failure = posix_spawn(&child, path.c_str(), nullptr, &attributes, childArgv.data(), environ);
    if (failure == ENOEXEC && looksLikeScript(path)) {
        // A script without a "#!" line: run it with /bin/sh, as a shell and execvp do.
        std::string shell = ShellPath;
        childArgv[0] = path.data();
        childArgv.insert(childArgv.begin(), shell.data());
        failure = posix_spawn(&child, ShellPath, nullptr, &attributes, childArgv.data(), environ);
    }
    posix_spawnattr_destroy(&attributes);
    if (failure == 0)
        runningChild = child;
    sigprocmask(SIG_SETMASK, &saved, nullptr);
    if (failure != 0)
        return -1;
    int status;
    int waited;
    while ((waited = waitpid(child, &status, 0)) < 0 && errno == EINTR) {
    }
    runningChild = 0;
    if (waited < 0)
        return -1;
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}
