// A preloaded library that makes the N-th call of one file operation of kelvad fail, and counts the calls.
// KELVAD_FAULT="fwrite:3" fails the third fwrite, "write:3-" every write from the third on;
// KELVAD_FAULT_LOG=FILE gets "call count" lines at exit. KELVAD_INTERRUPT_AT=N sends the
// process SIGINT just before its N-th write.
// KELVAD_OPLOG=DIR logs the file operations that decide what a power cut leaves (creates,
// the text at each flush and close, flushes, renames, unlinks) to DIR/ops, each text to
// DIR/data.N, for the crash-state check; KELVAD_OPLOG_NOSYNC=1 makes the flushes do nothing.
// Only a process whose executable is named "kelvad" is touched, so the assembler it runs is not.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

enum Call { Fopen, Fread, Fwrite, Fclose, Open, Mkstemp, Fdopen, Rename, Unlink, Chmod, Fchmod, Write, Fdatasync, CallCount };

struct CallFault {
    const char* name;
    int error;  // errno of the injected failure
};

const CallFault CallFaults[CallCount] = {
    {"fopen", EACCES}, {"fread", EIO},    {"fwrite", ENOSPC}, {"fclose", EIO},
    {"open", ENOSPC},  {"mkstemp", ENOSPC}, {"fdopen", ENOMEM}, {"rename", EXDEV},
    {"unlink", EBUSY}, {"chmod", EPERM},  {"fchmod", EPERM}, {"write", EIO}, {"fdatasync", EIO},
};

long calls[CallCount];
int faultCall = -1;   // which call fails, -1 for none
long faultNumber;     // the how-manieth
bool faultOnwards;    // every call from that one on fails
long interruptAt;     // the write before which SIGINT is sent, 0 for none
int active = -1;      // 1 in kelvad, 0 elsewhere, -1 not yet known

bool isActive() {
    if (active >= 0)
        return active;
    char path[4096];
    ssize_t size = readlink("/proc/self/exe", path, sizeof path - 1);
    path[size > 0 ? size : 0] = '\0';
    const char* base = strrchr(path, '/');
    active = strcmp(base ? base + 1 : path, "kelvad") == 0;
    const char* fault = getenv("KELVAD_FAULT");
    const char* colon = fault ? strchr(fault, ':') : nullptr;
    for (int call = 0; colon && call < CallCount; ++call)
        if (strncmp(fault, CallFaults[call].name, colon - fault) == 0 && CallFaults[call].name[colon - fault] == '\0') {
            faultCall = call;
            faultNumber = atol(colon + 1);
            faultOnwards = colon[strlen(colon) - 1] == '-';
        }
    const char* interrupt = getenv("KELVAD_INTERRUPT_AT");
    interruptAt = interrupt ? atol(interrupt) : 0;
    return active;
}

// Counts a call and tells whether it is the one to fail (errno then set).
bool failsNow(int call) {
    if (!isActive())
        return false;
    ++calls[call];
    if (call != faultCall || (faultOnwards ? calls[call] < faultNumber : calls[call] != faultNumber))
        return false;
    errno = CallFaults[call].error;
    return true;
}

bool isConsole(FILE* stream) { return stream == stdout || stream == stderr; }

template <typename Function>
Function next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// The system's write, past the one below: the library's own writes are not kelvad's.
ssize_t rawWrite(int fd, const void* data, size_t size) {
    return next<ssize_t (*)(int, const void*, size_t)>("write")(fd, data, size);
}

struct CallLog {
    ~CallLog() {
        const char* log = getenv("KELVAD_FAULT_LOG");
        if (active != 1 || !log)
            return;
        int fd = ::open(log, O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd < 0)
            return;
        for (int call = 0; call < CallCount; ++call) {
            char line[64];
            int size = snprintf(line, sizeof line, "%s %ld\n", CallFaults[call].name, calls[call]);
            if (rawWrite(fd, line, size) != size)
                break;
        }
        close(fd);
    }
} callLog;

// ---- the operation log for the crash-state check

using OpenFunction = int (*)(const char*, int, ...);
using CloseFunction = int (*)(int);

long dataCount;  // texts saved so far

const char* opLogDir() {
    return isActive() ? getenv("KELVAD_OPLOG") : nullptr;
}

bool flushesDropped() {
    const char* value = getenv("KELVAD_OPLOG_NOSYNC");
    return isActive() && value && *value == '1';
}

void appendOp(const std::string& line) {
    std::string path = std::string(opLogDir()) + "/ops";
    int fd = next<OpenFunction>("open")(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd < 0)
        return;
    if (rawWrite(fd, line.data(), line.size()) != (ssize_t)line.size())
        abort();
    next<CloseFunction>("close")(fd);
}

// The absolute name of `name`, its directory resolved (the file itself may be gone).
std::string absoluteName(const char* name) {
    std::string text = name;
    size_t slash = text.rfind('/');
    std::string directory = slash == std::string::npos ? "." : text.substr(0, slash + 1);
    char resolved[4096];
    if (!realpath(directory.c_str(), resolved))
        return text;
    return std::string(resolved) + "/" + text.substr(slash == std::string::npos ? 0 : slash + 1);
}

// "dev:ino" of a regular file open as `fd`; empty for anything else.
std::string identityOf(int fd, bool* directory = nullptr) {
    struct stat info;
    if (fstat(fd, &info) != 0)
        return std::string();
    if (directory)
        *directory = S_ISDIR(info.st_mode);
    if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
        return std::string();
    return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

// Logs a file opened for writing: "create NAME ID" if it did not exist, else "open NAME ID".
void logOpened(const char* name, int fd, bool existed) {
    if (!opLogDir() || fd < 0)
        return;
    std::string id = identityOf(fd);
    if (!id.empty())
        appendOp(std::string(existed ? "open " : "create ") + absoluteName(name) + " " + id + "\n");
}

bool exists(const char* name) {
    struct stat info;
    return lstat(name, &info) == 0;
}

// Saves the text of the regular file open as `fd` (for writing, unless `always`)
// and logs "data ID N".
void logData(int fd, bool always) {
    if (!opLogDir() || fd < 0)
        return;
    int mode = fcntl(fd, F_GETFL);
    if (!always && (mode < 0 || (mode & O_ACCMODE) == O_RDONLY))
        return;
    bool directory = false;
    std::string id = identityOf(fd, &directory);
    if (id.empty() || directory)
        return;
    std::string self = "/proc/self/fd/" + std::to_string(fd);
    int in = next<OpenFunction>("open")(self.c_str(), O_RDONLY);
    if (in < 0)
        return;
    long number = ++dataCount;
    std::string copy = std::string(opLogDir()) + "/data." + std::to_string(number);
    int out = next<OpenFunction>("open")(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    char chunk[65536];
    for (ssize_t got; out >= 0 && (got = pread(in, chunk, sizeof chunk, lseek(out, 0, SEEK_CUR))) > 0;)
        if (rawWrite(out, chunk, got) != got)
            abort();
    next<CloseFunction>("close")(in);
    next<CloseFunction>("close")(out);
    appendOp("data " + id + " " + std::to_string(number) + "\n");
}

// Logs a flush: the text as it stands, then "sync ID", or "dirsync NAME" for a directory.
void logSync(int fd) {
    if (!opLogDir())
        return;
    bool directory = false;
    std::string id = identityOf(fd, &directory);
    if (id.empty())
        return;
    if (!directory) {
        logData(fd, true);
        appendOp("sync " + id + "\n");
        return;
    }
    char name[4096];
    std::string self = "/proc/self/fd/" + std::to_string(fd);
    ssize_t size = readlink(self.c_str(), name, sizeof name - 1);
    if (size > 0)
        appendOp("dirsync " + std::string(name, size) + "\n");
}

}  // namespace

extern "C" {

FILE* fopen(const char* name, const char* mode) {
    if (failsNow(Fopen))
        return nullptr;
    bool existed = exists(name);
    FILE* stream = next<FILE* (*)(const char*, const char*)>("fopen")(name, mode);
    if (stream && strpbrk(mode, "wa+"))
        logOpened(name, fileno(stream), existed);
    return stream;
}

size_t fread(void* data, size_t size, size_t count, FILE* stream) {
    if (!isConsole(stream) && failsNow(Fread)) {
        stream->_flags |= _IO_ERR_SEEN;
        return 0;
    }
    return next<size_t (*)(void*, size_t, size_t, FILE*)>("fread")(data, size, count, stream);
}

size_t fwrite(const void* data, size_t size, size_t count, FILE* stream) {
    if (!isConsole(stream) && failsNow(Fwrite)) {
        stream->_flags |= _IO_ERR_SEEN;
        return 0;
    }
    return next<size_t (*)(const void*, size_t, size_t, FILE*)>("fwrite")(data, size, count, stream);
}

// The stream is closed all the same: a flush that failed at the close.
int fclose(FILE* stream) {
    bool fails = !isConsole(stream) && failsNow(Fclose);
    if (!isConsole(stream) && opLogDir()) {
        fflush(stream);
        logData(fileno(stream), false);
    }
    int result = next<int (*)(FILE*)>("fclose")(stream);
    if (fails) {
        errno = CallFaults[Fclose].error;
        return EOF;
    }
    return result;
}

int open(const char* name, int flags, ...) {
    mode_t mode = 0;
    if (flags & O_CREAT) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    if (failsNow(Open))
        return -1;
    bool existed = exists(name);
    int fd = next<int (*)(const char*, int, ...)>("open")(name, flags, mode);
    if ((flags & O_ACCMODE) != O_RDONLY)
        logOpened(name, fd, existed);
    return fd;
}

ssize_t write(int fd, const void* data, size_t size) {
    if (fd > 2 && isActive() && interruptAt > 0 && calls[Write] + 1 == interruptAt) {
        interruptAt = 0;
        raise(SIGINT);
    }
    if (fd > 2 && failsNow(Write))
        return -1;
    return next<ssize_t (*)(int, const void*, size_t)>("write")(fd, data, size);
}

int close(int fd) {
    logData(fd, false);
    return next<CloseFunction>("close")(fd);
}

int fsync(int fd) {
    if (flushesDropped())
        return 0;
    logSync(fd);
    return next<int (*)(int)>("fsync")(fd);
}

int fdatasync(int fd) {
    if (flushesDropped())
        return 0;
    if (failsNow(Fdatasync))
        return -1;
    logSync(fd);
    return next<int (*)(int)>("fdatasync")(fd);
}

int mkstemp(char* pattern) {
    if (failsNow(Mkstemp))
        return -1;
    int fd = next<int (*)(char*)>("mkstemp")(pattern);
    logOpened(pattern, fd, false);
    return fd;
}

FILE* fdopen(int fd, const char* mode) {
    if (failsNow(Fdopen))
        return nullptr;
    return next<FILE* (*)(int, const char*)>("fdopen")(fd, mode);
}

int rename(const char* from, const char* to) {
    if (failsNow(Rename))
        return -1;
    std::string fromName = opLogDir() ? absoluteName(from) : std::string();
    std::string toName = opLogDir() ? absoluteName(to) : std::string();
    int result = next<int (*)(const char*, const char*)>("rename")(from, to);
    if (result == 0 && opLogDir())
        appendOp("rename " + fromName + " " + toName + "\n");
    return result;
}

int unlink(const char* name) {
    if (failsNow(Unlink))
        return -1;
    std::string path = opLogDir() ? absoluteName(name) : std::string();
    int result = next<int (*)(const char*)>("unlink")(name);
    if (result == 0 && opLogDir())
        appendOp("unlink " + path + "\n");
    return result;
}

int chmod(const char* name, mode_t mode) {
    if (failsNow(Chmod))
        return -1;
    return next<int (*)(const char*, mode_t)>("chmod")(name, mode);
}

int fchmod(int fd, mode_t mode) {
    if (failsNow(Fchmod))
        return -1;
    return next<int (*)(int, mode_t)>("fchmod")(fd, mode);
}

}  // extern "C"
