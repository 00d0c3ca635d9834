// Writes an output file in one piece, checking every step.
#include "outfile.h"

#include <cstdio>

bool writeWholeFile(const std::string& path, const std::string& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    // A full disk may show only at the flush that fclose does.
    bool closed = std::fclose(file) == 0;
    return written && closed;
}
