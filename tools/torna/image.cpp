// The 64 KiB memory image the final walk fills, and the flat binary made from it.
#include "image.h"

namespace {

constexpr long long ImageSize = 0x10000;

std::vector<unsigned char> memory(ImageSize);  // bytes by address
long long lowestOrigin = -1;                   // lowest origin noted, -1 while none
long long highestEnd = 0;                      // one past the highest byte stored
long byteCount = 0;                            // bytes stored

}  // namespace

void clearImage()
{
    memory.assign(ImageSize, 0);
    lowestOrigin = -1;
    highestEnd = 0;
    byteCount = 0;
}

void noteOrigin(long long address)
{
    if (address >= 0 && address < ImageSize && (lowestOrigin < 0 || address < lowestOrigin)) {
        lowestOrigin = address;
    }
}

bool storeBytes(long long address, const std::vector<unsigned char>& bytes)
{
    for (unsigned char byte : bytes) {
        if (address < 0 || address >= ImageSize) {
            return false;
        }
        memory[address] = byte;
        ++address;
        ++byteCount;
        if (address > highestEnd) {
            highestEnd = address;
        }
    }
    return true;
}

long emittedByteCount()
{
    return byteCount;
}

std::string binaryImage()
{
    if (lowestOrigin < 0 || highestEnd <= lowestOrigin) {
        return "";
    }
    return std::string(memory.begin() + lowestOrigin, memory.begin() + highestEnd);
}
