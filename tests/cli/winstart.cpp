// Windows helper of the case runner: starts a program with a chosen word 0, as `exec -a` does.
// Usage: winstart WORD0 PROGRAM [ARGUMENTS...]; exits with the program's exit code.
// wine hands a program its full path as word 0, which would change every command-line length.
#include <string>

#include <windows.h>

#include "platform/wintext.h"

namespace {

// Ctrl+C is meant for the program: this one keeps waiting for its exit code.
BOOL WINAPI ignoreConsoleEvent(DWORD) {
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3)
        return 2;
    SetConsoleCtrlHandler(ignoreConsoleEvent, TRUE);
    std::wstring commandLine;
    appendArgument(commandLine, argv[1]);
    for (int i = 3; i < argc; ++i)
        appendArgument(commandLine, argv[i]);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child = {};
    if (!CreateProcessW(argv[2], commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &child))
        return 127;
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(child.hProcess, &code);
    return static_cast<int>(code);
}
