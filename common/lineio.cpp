// Whole-line reads from the slot streams through a large chunk buffer.
#include "common/lineio.h"

#include <cstring>
#include <vector>

#include "common/globals.h"

namespace {

constexpr size_t ChunkSize = 1 << 18;   // bytes taken from a stream per read
constexpr size_t OutputBuffer = 1 << 18; // stdio buffer of a stream that is written

// Bytes read from a slot's stream but not yet handed out as lines.
struct SlotReader {
    std::vector<char> chunk;
    size_t pos = 0;
    size_t end = 0;
};

SlotReader readers[SlotCount];

}  // namespace

void attachStream(int slot, FILE* stream) {
    streams[slot] = stream;
    openFlags[slot] = 1;
    streamErrors[slot] = 0;
    readers[slot].pos = readers[slot].end = 0;
    if (slot == OutputSlot)
        setvbuf(stream, nullptr, _IOFBF, OutputBuffer);
    openDescriptors[slot] = fileno(stream);
}

void detachStream(int slot) {
    openDescriptors[slot] = -1;
    readers[slot].pos = readers[slot].end = 0;
}

bool readLine(int slot, std::string& line) {
    SlotReader& reader = readers[slot];
    FILE* stream = streams[slot];
    line.clear();
    if (reader.chunk.empty())
        reader.chunk.resize(ChunkSize);
    for (;;) {
        const char* start = reader.chunk.data() + reader.pos;
        size_t left = reader.end - reader.pos;
        const void* newline = left ? memchr(start, '\n', left) : nullptr;
        if (newline) {
            size_t take = static_cast<const char*>(newline) - start + 1;
            line.append(start, take);
            reader.pos += take;
            return true;
        }
        line.append(start, left);
        reader.pos = reader.end = 0;
        // A read error ends the input like the end of the file; the caller asks ferror.
        size_t got = fread(reader.chunk.data(), 1, reader.chunk.size(), stream);
        if (got == 0)
            return !line.empty();
        reader.end = got;
    }
}

void writeBytes(FILE* stream, const char* text, size_t size) {
    if (size)
        fwrite(text, 1, size, stream);
}
