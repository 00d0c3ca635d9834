// A preloaded library that makes the N-th call of one file operation of kelvad fail, and counts the calls.
// KELVAD_FAULT="fwrite:3" fails the third fwrite; KELVAD_FAULT_LOG=FILE gets "call count" lines at exit.
// Only a process whose executable is named "kelvad" is touched, so the assembler it runs is not.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

enum Call { Fopen, Fread, Fwrite, Fclose, Open, Mkstemp, Fdopen, Rename, Unlink, Chmod, Fchmod, CallCount };

struct CallFault {
    const char* name;
    int error;  // errno of the injected failure
};

const CallFault CallFaults[CallCount] = {
    {"fopen", EACCES}, {"fread", EIO},    {"fwrite", ENOSPC}, {"fclose", EIO},
    {"open", ENOSPC},  {"mkstemp", ENOSPC}, {"fdopen", ENOMEM}, {"rename", EXDEV},
    {"unlink", EBUSY}, {"chmod", EPERM},  {"fchmod", EPERM},
};

long calls[CallCount];
int faultCall = -1;   // which call fails, -1 for none
long faultNumber;     // the how-manieth
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
        }
    return active;
}

// Counts a call and tells whether it is the one to fail (errno then set).
bool failsNow(int call) {
    if (!isActive())
        return false;
    if (++calls[call] != faultNumber || call != faultCall)
        return false;
    errno = CallFaults[call].error;
    return true;
}

bool isConsole(FILE* stream) { return stream == stdout || stream == stderr; }

template <typename Function>
Function next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
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
            if (write(fd, line, size) != size)
                break;
        }
        close(fd);
    }
} callLog;

}  // namespace

extern "C" {

FILE* fopen(const char* name, const char* mode) {
    if (failsNow(Fopen))
        return nullptr;
    return next<FILE* (*)(const char*, const char*)>("fopen")(name, mode);
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
    return next<int (*)(const char*, int, ...)>("open")(name, flags, mode);
}

int mkstemp(char* pattern) {
    if (failsNow(Mkstemp))
        return -1;
    return next<int (*)(char*)>("mkstemp")(pattern);
}

FILE* fdopen(int fd, const char* mode) {
    if (failsNow(Fdopen))
        return nullptr;
    return next<FILE* (*)(int, const char*)>("fdopen")(fd, mode);
}

int rename(const char* from, const char* to) {
    if (failsNow(Rename))
        return -1;
    return next<int (*)(const char*, const char*)>("rename")(from, to);
}

int unlink(const char* name) {
    if (failsNow(Unlink))
        return -1;
    return next<int (*)(const char*)>("unlink")(name);
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
