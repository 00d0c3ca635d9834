// Windows side of the platform calls: the console interrupt, raw descriptor calls and running a program.
#include "platform/platform.h"
#include "platform/wintext.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

constexpr int UnfitExitCode = 255;  // status for a child's code that is no non-negative int
constexpr DWORD InterruptGrace = 10000;  // ms to wait for our own Ctrl+C after the child's

void (*interruptHandler)(int) = nullptr;
HANDLE mainThread = nullptr;  // suspended while the handler runs, as a signal stops it on Linux
DWORD mainThreadId = 0;
std::atomic<bool> interruptTaken{false};  // set once: later events are ignored
// The assembler while it runs (null otherwise), and the job that holds it and whatever it
// starts: the job is closed with this process, however it ends, and takes them with it.
std::atomic<HANDLE> runningChild{nullptr};
HANDLE childJob = nullptr;

// The console calls this on a thread of its own; the run stops where it is, as under a
// signal. Ctrl+C and Ctrl+Break are the interrupt; a closed console, a log-off and a
// shut-down are the stop requests that SIGHUP and SIGTERM are on POSIX systems.
BOOL WINAPI onConsoleEvent(DWORD event) {
    int signalNumber = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : SIGTERM;
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT &&
        event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT)
        return FALSE;
    if (interruptTaken.exchange(true) || !interruptHandler)
        return TRUE;
    if (mainThread && GetCurrentThreadId() != mainThreadId)
        SuspendThread(mainThread);
    interruptHandler(signalNumber);
    return TRUE;
}

// The job every assembler run goes into: killed when its last handle closes, which is
// when this process ends. Null where the system refuses one.
HANDLE assemblerJob() {
    if (childJob)
        return childJob;
    childJob = CreateJobObjectW(nullptr, nullptr);
    if (!childJob)
        return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(childJob, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(childJob);
        childJob = nullptr;
    }
    return childJob;
}

bool isProgramFile(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The name as Windows starts it: a name without an extension means the ".exe" file.
std::wstring programFileName(const char* program) {
    std::wstring name = widen(program);
    size_t base = name.find_last_of(L"\\/:");
    base = base == std::wstring::npos ? 0 : base + 1;
    if (name.find(L'.', base) == std::wstring::npos)
        name += L".exe";
    return name;
}

// The program's path: the current directory first, then each PATH directory
// (blank entries skipped, quotes around an entry dropped); a name with a directory
// part is not searched for. Empty when it is nowhere.
std::wstring findProgram(const char* program) {
    std::wstring name = programFileName(program);
    if (isProgramFile(name))
        return name;
    const wchar_t* path = _wgetenv(L"PATH");
    if (!path || name.find_first_of(L"\\/:") != std::wstring::npos)
        return std::wstring();
    std::wstring entries = path;
    size_t start = 0;
    for (;;) {
        size_t end = entries.find(L';', start);
        std::wstring directory = entries.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (directory.size() >= 2 && directory.front() == L'"' && directory.back() == L'"')
            directory = directory.substr(1, directory.size() - 2);
        if (!directory.empty()) {
            wchar_t last = directory.back();
            std::wstring candidate = directory + (last == L'\\' || last == L'/' ? L"" : L"\\") + name;
            if (isProgramFile(candidate))
                return candidate;
        }
        if (end == std::wstring::npos)
            return std::wstring();
        start = end + 1;
    }
}

HANDLE descriptorHandle(int fd) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

}  // namespace

void makeStandardStreamsBinary() {
    // Messages end in "\n" as on Linux; text mode would turn each into "\r\n".
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
}

void installInterruptHandler(void (*handler)(int)) {
    interruptHandler = handler;
    if (!mainThread) {
        DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &mainThread,
                        THREAD_SUSPEND_RESUME, FALSE, 0);
        mainThreadId = GetCurrentThreadId();
    }
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void ignoreInterrupt() {
    interruptTaken = true;
}

void stopRunningProgram() {
    HANDLE child = runningChild.exchange(nullptr);
    if (!child)
        return;
    if (childJob)
        TerminateJobObject(childJob, STATUS_CONTROL_C_EXIT);
    TerminateProcess(child, STATUS_CONTROL_C_EXIT);
    WaitForSingleObject(child, INFINITE);
}

[[noreturn]] void endBySignal(int signalNumber) {
    exitAtOnce(128 + signalNumber);
}

// Windows has no file-size signal: a write beyond a quota simply fails.
void ignoreFileSizeSignal() {
}

// Straight to the system handle: no run-time lock that the stopped main thread may hold.
bool writeDescriptor(int fd, const char* text, size_t size) {
    HANDLE handle = descriptorHandle(fd);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    while (size > 0) {
        // One call takes at most a DWORD's worth.
        DWORD piece = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(handle, text, piece, &written, nullptr) || written == 0)
            return false;
        text += written;
        size -= written;
    }
    return true;
}

void closeDescriptor(int fd) {
    HANDLE handle = descriptorHandle(fd);
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
}

[[noreturn]] void exitAtOnce(int status) {
    // Ends every thread at once, with no run-time clean-up that could flush a stream.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
    _exit(status);
}

int runProgram(const char* program, const char* const* argv) {
    std::wstring path = findProgram(program);
    if (path.empty())
        return -1;
    std::wstring commandLine;
    for (const char* const* word = argv; *word; ++word)
        appendArgument(commandLine, widen(*word));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child = {};
    // The child inherits the console and the standard handles, so its output interleaves with
    // ours. It starts suspended, so that it is in the job before it can start anything.
    HANDLE job = assemblerJob();
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE, job ? CREATE_SUSPENDED : 0,
                        nullptr, nullptr, &startup, &child))
        return -1;
    if (job)
        AssignProcessToJobObject(job, child.hProcess);
    runningChild = child.hProcess;
    if (job)
        ResumeThread(child.hThread);
    CloseHandle(child.hThread);
    WaitForSingleObject(child.hProcess, INFINITE);
    // A handler that took the child waits for it itself and then ends the run.
    if (!runningChild.exchange(nullptr))
        Sleep(INFINITE);
    DWORD code = UnfitExitCode;
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hProcess);
    // A Ctrl+C reaches the child too, and its end may wake this thread before the console has
    // started our handler: give the handler time, it ends the run and not the child's result.
    if (code == STATUS_CONTROL_C_EXIT && !interruptTaken)
        Sleep(InterruptGrace);
    if (interruptTaken)
        Sleep(INFINITE);
    // Exception codes (a crash, an interrupt) and negative exit values do not fit a status.
    return code <= static_cast<DWORD>(INT_MAX) ? static_cast<int>(code) : UnfitExitCode;
}
