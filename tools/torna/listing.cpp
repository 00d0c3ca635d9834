// The listing: address, bytes, line number and source line of every program line.
#include "listing.h"

#include <cstdio>

#include "globals.h"

namespace {

constexpr size_t BytesPerRow = 4;      // more bytes continue on rows of their own
constexpr size_t MaxListedBytes = 16;  // a long DS or DB shows only its start

struct ListedLine {
    bool assembled;
    long long address;
    std::vector<unsigned char> bytes;
};

std::vector<ListedLine> listedLines;  // by program line; lines after END stay unassembled

std::string formatBytes(const std::vector<unsigned char>& bytes, size_t first)
{
    std::string text;
    for (size_t i = first; i < bytes.size() && i < first + BytesPerRow; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X ", bytes[i]);
        text += hex;
    }
    return text;
}

std::string formatRow(const ProgramLine& line, const ListedLine& listed)
{
    char row[64];
    if (!listed.assembled || line.kind == LineEcho) {
        std::snprintf(row, sizeof row, "%4s  %-12s %5ld%c ", "", "", line.lineNo,
                      line.kind == LineGenerated ? '+' : ' ');
    } else {
        std::snprintf(row, sizeof row, "%04llX  %-12s %5ld%c ", listed.address,
                      formatBytes(listed.bytes, 0).c_str(), line.lineNo, line.kind == LineGenerated ? '+' : ' ');
    }
    std::string text = row + line.text + "\n";
    for (size_t i = BytesPerRow; i < listed.bytes.size() && i < MaxListedBytes; i += BytesPerRow) {
        std::snprintf(row, sizeof row, "%04llX  %s\n", listed.address + static_cast<long long>(i),
                      formatBytes(listed.bytes, i).c_str());
        text += row;
    }
    return text;
}

}  // namespace

void clearListing()
{
    listedLines.clear();
}

void recordListedLine(size_t index, long long address, const std::vector<unsigned char>& bytes)
{
    if (listedLines.size() <= index) {
        listedLines.resize(index + 1);
    }
    listedLines[index] = ListedLine{true, address, bytes};
}

std::string formatListing()
{
    std::string text;
    ListedLine unassembled{false, 0, {}};
    for (size_t i = 0; i < programLines.size(); ++i) {
        text += formatRow(programLines[i], i < listedLines.size() ? listedLines[i] : unassembled);
    }
    return text;
}
