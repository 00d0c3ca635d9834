// Text conversions for the Windows side: program names and file names from the tool's
// char strings, and a command line that the child splits back into the same words.
// Header-only so that the case runner's small Windows helper can share it.
#pragma once

#include <string>

#include <windows.h>

// `text` in the system's code page, as the narrow file calls would take it.
inline std::wstring widen(const char* text) {
    int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (size <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), size);
    wide.pop_back();
    return wide;
}

// Appends one argument so that the child's run-time library splits it back unchanged:
// quoted when it holds a blank or a quote (or is empty), a quote escaped by a backslash,
// and backslashes doubled only where a quote follows them.
inline void appendArgument(std::wstring& line, const std::wstring& word) {
    if (!line.empty())
        line += L' ';
    if (!word.empty() && word.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += word;
        return;
    }
    line += L'"';
    size_t backslashes = 0;
    for (wchar_t c : word) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"')
            backslashes = backslashes * 2 + 1;
        line.append(backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}
