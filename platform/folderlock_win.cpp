// The lock that keeps two runs from sharing one folder's "tmpbra00" at once, on Windows.
#include "platform/platform.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include <windows.h>

namespace {

// A handle of the folder `path` that tells its identity: reading its attributes
// needs no right to list it. INVALID_HANDLE_VALUE where it cannot be opened.
HANDLE openLockDescriptor(const wchar_t* path) {
    return CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// A mutex name that every run in this folder, by whatever path, computes alike:
// the folder's volume serial number and file index.
std::wstring folderMutexName(const wchar_t* scope) {
    HANDLE folder = openLockDescriptor(L".");
    if (folder == INVALID_HANDLE_VALUE)
        return std::wstring();
    BY_HANDLE_FILE_INFORMATION info;
    bool known = GetFileInformationByHandle(folder, &info);
    CloseHandle(folder);
    if (!known)
        return std::wstring();
    return std::wstring(scope) + L"kelvad.folder." + std::to_wstring(info.dwVolumeSerialNumber) + L"." +
           std::to_wstring(info.nFileIndexHigh) + L"." + std::to_wstring(info.nFileIndexLow);
}

}  // namespace

FolderLock lockWorkingFolder() {
    // A mutex the system hands on when its owner ends, however it ends (an abandoned
    // wait still makes this run the owner). The handle stays open to the end of the run.
    std::wstring name = folderMutexName(L"Global\\");
    if (name.empty()) {
        // The reason is the system's last error, not errno: none is given.
        errno = 0;
        return FolderLockRefused;
    }
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    // Without the global name space (a restricted session), runs of one session still exclude each other.
    if (!mutex)
        mutex = CreateMutexW(nullptr, FALSE, folderMutexName(L"Local\\").c_str());
    if (!mutex)
        return FolderLockUnsupported;
    if (WaitForSingleObject(mutex, 0) != WAIT_TIMEOUT)
        return FolderLockTaken;
    // Someone else's run: say why this one seems to hang, once.
    fputs("kelvad: waiting for another run in this folder\n", stderr);
    fflush(stderr);
    WaitForSingleObject(mutex, INFINITE);
    return FolderLockTaken;
}
