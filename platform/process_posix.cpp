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
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

void ignoreInterrupt() {
    signal(SIGINT, SIG_IGN);
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
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
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
    if (failure != 0)
        return -1;
    int status;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}
