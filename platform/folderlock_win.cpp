// The lock that keeps two runs from sharing one folder's "tmpbra00" at once, on Windows.
#include "platform/platform.h"

#include <string>

#include <windows.h>

namespace {

// A mutex name that every run in this folder, by whatever path, computes alike:
// the folder's volume serial number and file index.
std::wstring folderMutexName(const wchar_t* scope) {
    HANDLE folder = CreateFileW(L".", FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
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

void lockWorkingFolder() {
    // A mutex the system hands on when its owner ends, however it ends (an abandoned
    // wait still makes this run the owner). The handle stays open to the end of the run.
    std::wstring name = folderMutexName(L"Global\\");
    if (name.empty())
        return;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    // Without the global name space (a restricted session), runs of one session still exclude each other.
    if (!mutex)
        mutex = CreateMutexW(nullptr, FALSE, folderMutexName(L"Local\\").c_str());
    if (mutex)
        WaitForSingleObject(mutex, INFINITE);
}
