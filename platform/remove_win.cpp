// Removing a file that must not be read again, on Windows.
#include "platform/platform.h"
#include "platform/wintext.h"

#include <string>

#include <windows.h>

bool removeStaleFile(const char* name) {
    std::wstring wide = widen(name);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        // A link to a directory goes as an entry of its own; a real directory stays.
        return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && RemoveDirectoryW(wide.c_str());
    }
    // A read-only file is removed too, as a POSIX unlink would.
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    return DeleteFileW(wide.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}
