// Creating the temporary output file and putting it in place of a source, on Windows.
#include "platform/platform.h"
#include "platform/wintext.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <aclapi.h>

namespace {

constexpr DWORD CopyChunk = 1 << 16;  // bytes moved per read when a move is refused
constexpr DWORD ReplaceFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;

// Attributes that SetFileAttributesW can give back to a replaced file.
constexpr DWORD KeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                 FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

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

// Copies every byte of the file `from` into the open `out`; true only if every read and write succeeded.
bool copyIntoHandle(const std::wstring& from, HANDLE out) {
    HANDLE in = CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (in == INVALID_HANDLE_VALUE)
        return false;
    std::vector<char> chunk(CopyChunk);
    bool ok = true;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in, chunk.data(), CopyChunk, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0)
            break;
        DWORD written = 0;
        if (!WriteFile(out, chunk.data(), got, &written, nullptr) || written != got) {
            ok = false;
            break;
        }
    }
    CloseHandle(in);
    return ok && FlushFileBuffers(out);
}

// Why the last replaceFile failed, for the line after error 1.
std::string problem;

// True when the file `to` already has the access list `access` of `descriptor`,
// byte for byte and as protected from inheritance: then it is left as it is (a
// list set again is not always read back alike). `protectedList` tells the latter.
bool sameAccessList(PSECURITY_DESCRIPTOR descriptor, PACL access, const std::wstring& to, bool& protectedList) {
    SECURITY_DESCRIPTOR_CONTROL control = 0, ownControl = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    protectedList = control & SE_DACL_PROTECTED;
    PACL own = nullptr;
    PSECURITY_DESCRIPTOR ownDescriptor = nullptr;
    if (GetNamedSecurityInfoW(to.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &own, nullptr,
                              &ownDescriptor) != ERROR_SUCCESS)
        return false;
    GetSecurityDescriptorControl(ownDescriptor, &ownControl, &revision);
    bool same = own && own->AclSize == access->AclSize && memcmp(own, access, access->AclSize) == 0 &&
                (ownControl & SE_DACL_PROTECTED) == (control & SE_DACL_PROTECTED);
    LocalFree(ownDescriptor);
    return same;
}

// Gives the new file `to` the owner and group of `original`, as far as the system
// allows (setting another owner takes the restore privilege an elevated run has),
// and its access list (DACL), protected from inheritance as it was: the file's
// rights travel with it. Always true: a refusal keeps what the new file has.
bool keepOwner(const std::wstring& original, const std::wstring& to) {
    constexpr SECURITY_INFORMATION Owners = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION;
    PSID owner = nullptr;
    PSID group = nullptr;
    PACL access = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(original.c_str(), SE_FILE_OBJECT, Owners | DACL_SECURITY_INFORMATION, &owner, &group,
                              &access, nullptr, &descriptor) != ERROR_SUCCESS)
        return true;
    std::wstring name = to;
    // Apart, so an owner the account may not set does not keep the access list back.
    SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, Owners, owner, group, nullptr, nullptr);
    bool protectedList = false;
    if (access && !sameAccessList(descriptor, access, to, protectedList)) {
        SECURITY_INFORMATION inheritance =
            protectedList ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION;
        SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | inheritance, nullptr, nullptr,
                              access, nullptr);
    }
    LocalFree(descriptor);
    return true;
}

// How bringing the text over beside the target went.
enum BesideResult {
    BesideReplaced,  // the target holds the new text
    BesideRefused,   // no new file there, or it could not take the target's name
    BesideFailed,    // the copy failed (a full disk, say): writing into the target would fail too
};

// Copies `from` into a new file in the directory of `to`, with `attributes`, and moves it
// over `to` there: one step on the target's own volume. Nothing is left behind unless
// the result is BesideReplaced.
BesideResult replaceFromBeside(const std::wstring& from, const std::wstring& to, DWORD attributes) {
    size_t slash = to.find_last_of(L"\\/:");
    std::wstring directory = slash == std::wstring::npos ? std::wstring() : to.substr(0, slash + 1);
    std::wstring name;
    HANDLE out = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; attempt < 100 && out == INVALID_HANDLE_VALUE; ++attempt) {
        name = directory + L"tmpbra00." + std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(attempt);
        out = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (out == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            return BesideRefused;
    }
    if (out == INVALID_HANDLE_VALUE)
        return BesideRefused;
    bool ok = copyIntoHandle(from, out);
    if (!CloseHandle(out))
        ok = false;
    // The attributes first: wine shows a read-only file's access list otherwise.
    if (ok && SetFileAttributesW(name.c_str(), attributes) && keepOwner(to, name) &&
        MoveFileExW(name.c_str(), to.c_str(), ReplaceFlags))
        return BesideReplaced;
    SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(name.c_str());
    return ok ? BesideRefused : BesideFailed;
}

// Flushes the text of the closed file `name` to the disk before it takes another
// name: without it a power cut may keep the new name and lose the text.
bool flushFileByName(const std::wstring& name) {
    HANDLE handle = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    bool ok = FlushFileBuffers(handle);
    CloseHandle(handle);
    return ok;
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

namespace {

// True while `temp` is still the file `own` (or no file was named to check).
bool stillOurs(const char* temp, const FileIdentity* own) {
    FileIdentity now;
    return !own || (identifyFile(temp, now) == FileRegular && sameFile(now, *own));
}

}  // namespace

std::string replaceProblem() {
    return problem;
}

void removeOwnFile(const char* name, const FileIdentity& own) {
    FileIdentity now;
    if (identifyFile(name, now) != FileRegular || !sameFile(now, own))
        return;
    std::wstring wide = widen(name);
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(wide.c_str());
}

bool replaceFile(const char* temp, const char* target, const FileIdentity* own) {
    problem.clear();
    std::wstring from = widen(temp);
    std::wstring to = widen(target);
    if (!stillOurs(temp, own) || !flushFileByName(from))
        return false;
    DWORD before = GetFileAttributesW(to.c_str());
    DWORD attributes = before == INVALID_FILE_ATTRIBUTES ? FILE_ATTRIBUTE_NORMAL : keptAttributes(before);
    // The new text takes the target's attributes, as the POSIX side gives it the mode bits;
    // a read-only target is replaced all the same, as a rename there ignores the mode.
    // The attributes first: wine shows a read-only file's access list otherwise.
    SetFileAttributesW(from.c_str(), attributes);
    if (before != INVALID_FILE_ATTRIBUTES)
        keepOwner(to, from);
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(to.c_str(), keptAttributes(attributes & ~FILE_ATTRIBUTE_READONLY));
    // Checked once more right before the move: another program may have put a file of
    // its own under the name meanwhile.
    if (stillOurs(temp, own) && MoveFileExW(from.c_str(), to.c_str(), ReplaceFlags))
        return true;
    if (!stillOurs(temp, own))
        return false;
    // Refused, typically because the target lies on another volume than the temporary:
    // bring the text over there first, so the target still changes in one step.
    BesideResult beside = replaceFromBeside(from, to, attributes);
    bool replaced = beside == BesideReplaced;
    // Where the directory takes no new file, writing into the target itself could leave it
    // half written (no space can be reserved there in advance without changing its
    // length): the target stays as it is and "tmpbra00" keeps the text.
    if (!replaced) {
        problem = beside == BesideFailed ? "copying the text beside it failed"
                                         : "it can be neither replaced in one step nor have a new file beside it";
        if (before != INVALID_FILE_ATTRIBUTES)
            SetFileAttributesW(to.c_str(), keptAttributes(before));
        return false;
    }
    SetFileAttributesW(from.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(from.c_str());
    return true;
}
