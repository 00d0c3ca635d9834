// Knowing a file by what it is rather than by its name, on Windows.
#include "platform/platform.h"
#include "platform/wintext.h"

#include <cstdio>
#include <string>

#include <io.h>
#include <windows.h>

namespace {

// The identity and kind of the file behind an open handle.
FileKind describeHandle(HANDLE handle, FileIdentity& identity) {
    // Devices (NUL, CON, COM1) and pipes are no disk files.
    if (GetFileType(handle) != FILE_TYPE_DISK)
        return FileSpecial;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info))
        return FileUnknown;
    identity.device = info.dwVolumeSerialNumber;
    identity.index = (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? FileSpecial : FileRegular;
}

// A handle that reads nothing: it only asks what the name leads to, links followed.
HANDLE openForQuery(const std::wstring& name) {
    return CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

std::string narrow(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, result.data(), size, nullptr, nullptr);
    result.pop_back();
    return result;
}

}  // namespace

bool sameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.device == b.device && a.index == b.index;
}

FileKind identifyFile(const char* name, FileIdentity& identity) {
    HANDLE handle = openForQuery(widen(name));
    if (handle == INVALID_HANDLE_VALUE)
        return FileUnknown;
    FileKind kind = describeHandle(handle, identity);
    CloseHandle(handle);
    return kind;
}

bool identifyStream(FILE* stream, FileIdentity& identity) {
    if (!stream)
        return false;
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    if (describeHandle(handle, identity) != FileUnknown)
        return true;
    // A handle opened for writing alone may not query attributes: ask through a
    // second handle to the same file that only does.
    HANDLE query =
        ReOpenFile(handle, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
    if (query == INVALID_HANDLE_VALUE)
        return false;
    bool known = describeHandle(query, identity) != FileUnknown;
    CloseHandle(query);
    return known;
}

std::string replaceableName(const char* name) {
    std::wstring wide = widen(name);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return name;
    // A link is followed to its end, so the file itself gets the new text.
    HANDLE handle = openForQuery(wide);
    if (handle == INVALID_HANDLE_VALUE)
        return name;
    std::wstring path(MAX_PATH, L'\0');
    DWORD size = GetFinalPathNameByHandleW(handle, path.data(), MAX_PATH, FILE_NAME_NORMALIZED);
    if (size >= MAX_PATH) {
        path.assign(size, L'\0');
        size = GetFinalPathNameByHandleW(handle, path.data(), size, FILE_NAME_NORMALIZED);
    }
    CloseHandle(handle);
    if (size == 0 || size >= path.size())
        return name;
    path.resize(size);
    std::string resolved = narrow(path);
    return resolved.empty() ? std::string(name) : resolved;
}

bool sameStamp(const FileStamp& a, const FileStamp& b) {
    return sameFile(a.identity, b.identity) && a.size == b.size && a.modified == b.modified && a.changed == b.changed;
}

bool stampFile(const char* name, FileStamp& stamp) {
    HANDLE handle = openForQuery(widen(name));
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    FILE_BASIC_INFO times;
    bool known = describeHandle(handle, stamp.identity) == FileRegular && GetFileInformationByHandle(handle, &info) &&
                 GetFileInformationByHandleEx(handle, FileBasicInfo, &times, sizeof times);
    CloseHandle(handle);
    if (!known)
        return false;
    stamp.size = (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    stamp.modified = static_cast<unsigned long long>(times.LastWriteTime.QuadPart);
    stamp.changed = static_cast<unsigned long long>(times.ChangeTime.QuadPart);
    return true;
}
