// Creating the temporary output file and putting it in place of a source, on Windows.
#include "driver/platform.h"

#include <cstdio>
#include <string>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

// Attributes that SetFileAttributesW can give back to a replaced file.
constexpr DWORD KeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                 FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

std::wstring widen(const char* text) {
    int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (size <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), size);
    wide.pop_back();
    return wide;
}

// Removes whatever file or link stands under `name`; a real directory stays.
void removeOldEntry(const std::wstring& name) {
    DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    bool link = attributes & FILE_ATTRIBUTE_REPARSE_POINT;
    bool directory = attributes & FILE_ATTRIBUTE_DIRECTORY;
    // A link to a directory goes as a directory entry, which leaves the directory it names alone.
    if (link && directory) {
        RemoveDirectoryW(name.c_str());
        return;
    }
    if (directory)
        return;
    // A read-only file is removed too, as a POSIX unlink would.
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(name.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    DeleteFileW(name.c_str());
}

// The attributes of `before` that a replacing file takes over (plain when none is kept).
DWORD keptAttributes(DWORD before) {
    DWORD kept = before & KeptAttributes;
    return kept ? kept : FILE_ATTRIBUTE_NORMAL;
}

}  // namespace

FILE* openFreshOutput(const char* name) {
    std::wstring path = widen(name);
    // Whatever stands under the name goes first, so a link is never written through and a
    // hard-linked file elsewhere is never emptied; a directory stays and fails the create.
    removeOldEntry(path);
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    FILE* stream = _fdopen(fd, "wb");
    if (!stream)
        _close(fd);
    return stream;
}

bool replaceFile(const char* temp, const char* target) {
    std::wstring from = widen(temp);
    std::wstring to = widen(target);
    DWORD before = GetFileAttributesW(to.c_str());
    if (before != INVALID_FILE_ATTRIBUTES) {
        // The new text takes the target's attributes, as the POSIX side gives it the mode bits;
        // a read-only target is replaced all the same, as a rename there ignores the mode.
        SetFileAttributesW(from.c_str(), keptAttributes(before));
        if (before & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesW(to.c_str(), keptAttributes(before & ~FILE_ATTRIBUTE_READONLY));
    }
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    // Refused, typically because the target lies on another volume than the temporary:
    // write the text into the target itself, which takes the temporary's attributes.
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) {
        if (before != INVALID_FILE_ATTRIBUTES)
            SetFileAttributesW(to.c_str(), keptAttributes(before));
        return false;
    }
    SetFileAttributesW(from.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(from.c_str());
    return true;
}
