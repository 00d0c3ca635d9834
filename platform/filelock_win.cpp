// The lock under which runs in any folder check and replace one file, on Windows.
#include "platform/platform.h"

#include <string>

#include <windows.h>

namespace {

HANDLE lockedFile = nullptr;  // the mutex this run owns, or null

// A mutex name that every run computes alike for one file: its volume serial
// number and file index.
std::wstring fileMutexName(const wchar_t* scope, const FileIdentity& identity) {
    return std::wstring(scope) + L"kelvad.file." + std::to_wstring(identity.device) + L"." +
           std::to_wstring(identity.index);
}

}  // namespace

void lockFileToReplace(const char* name) {
    unlockFileToReplace();
    FileIdentity identity;
    if (identifyFile(name, identity) != FileRegular)
        return;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, fileMutexName(L"Global\\", identity).c_str());
    if (!mutex)
        mutex = CreateMutexW(nullptr, FALSE, fileMutexName(L"Local\\", identity).c_str());
    if (!mutex)
        return;
    // An abandoned mutex (its owner ended) still makes this run the owner.
    DWORD result = WaitForSingleObject(mutex, INFINITE);
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
        CloseHandle(mutex);
        return;
    }
    lockedFile = mutex;
}

void unlockFileToReplace() {
    if (!lockedFile)
        return;
    ReleaseMutex(lockedFile);
    CloseHandle(lockedFile);
    lockedFile = nullptr;
}
