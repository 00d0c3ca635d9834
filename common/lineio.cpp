// Whole-line reads from the slot streams through a large chunk buffer.
#include "common/lineio.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

#include "common/globals.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

constexpr size_t ChunkSize = 1 << 18;    // bytes taken from a stream per read
constexpr size_t OutputBuffer = 1 << 18;  // output gathered before it goes to the stream
constexpr size_t DirectWrite = 1 << 16;   // a copied block this long skips the gathering: a write
                                          // call per shorter block costs more than the copy

// Bytes read from a slot's stream but not yet handed out as lines.
// The chunk is a fixed array: freeing a block this large at the end would make the
// C library first sort out the many small records already freed.
struct SlotReader {
    char chunk[ChunkSize];
    size_t pos = 0;
    size_t end = 0;
    std::string spill;  // a line that crosses the end of the chunk, gathered whole
};

SlotReader readers[SlotCount];

// Output of the output slot not yet handed to its stream. The stream itself is
// unbuffered: a short write here costs a copy, not a library call with its
// locking, and a long copied block goes out straight from the read chunk.
char outputBuffer[OutputBuffer];
size_t outputUsed;

constexpr int CountBlock = 64;  // bytes whose line ends are found in one go

// Refills an empty chunk; false at the end of the file or on a read error (the
// caller asks ferror).
bool refill(SlotReader& reader, FILE* stream) {
    reader.pos = 0;
    reader.end = fread(reader.chunk, 1, ChunkSize, stream);
    return reader.end != 0;
}

// Line ends among the CountBlock bytes at p: with SSE2 four 16-byte compares
// summed in byte lanes, else a loop the compiler may vectorise itself.
long lineEndsInBlock(const char* p) {
#ifdef __SSE2__
    const __m128i lineEnd = _mm_set1_epi8('\n');
    __m128i counts = _mm_setzero_si128();
    for (int i = 0; i < CountBlock; i += 16) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        counts = _mm_sub_epi8(counts, _mm_cmpeq_epi8(bytes, lineEnd));  // a match is -1
    }
    __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
    return _mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4);
#else
    unsigned char count = 0;
    for (int i = 0; i < CountBlock; ++i)
        count += p[i] == '\n';
    return count;
#endif
}

// Bit i is set where p[i] is a line end, for the CountBlock bytes at p.
uint64_t lineEndMask(const char* p) {
    uint64_t mask = 0;
#ifdef __SSE2__
    const __m128i lineEnd = _mm_set1_epi8('\n');
    for (int i = 0; i < CountBlock; i += 16) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lineEnd)));
        mask |= static_cast<uint64_t>(bits) << i;
    }
#else
    for (int i = 0; i < CountBlock; ++i)
        mask |= static_cast<uint64_t>(p[i] == '\n') << i;
#endif
    return mask;
}

// Finds up to `limit` line ends in [p, end): `stop` is just past the last one
// found, or `end` when there are fewer. Returns how many it found.
long skipLines(const char* p, const char* end, long limit, const char*& stop) {
    long found = 0;
    // Whole blocks are counted at once; in the block that holds the wanted line
    // end, it is picked out by its bit.
    while (end - p >= CountBlock) {
        long count = lineEndsInBlock(p);
        if (found + count >= limit) {
            uint64_t mask = lineEndMask(p);
            for (long skip = limit - found; skip > 1; --skip)
                mask &= mask - 1;  // drops the lowest line end
            stop = p + __builtin_ctzll(mask) + 1;
            return limit;
        }
        found += count;
        p += CountBlock;
    }
    for (; p < end; ++p) {
        if (*p == '\n' && ++found == limit) {
            stop = p + 1;
            return found;
        }
    }
    stop = end;
    return found;
}

// Gathers the line that crosses the end of the chunk in the spill buffer; the
// slow path of readLineInPlace.
bool gatherLine(SlotReader& reader, FILE* stream, const char*& data, size_t& size) {
    reader.spill.assign(reader.chunk + reader.pos, reader.end - reader.pos);
    reader.pos = reader.end;
    while (refill(reader, stream)) {
        const char* start = reader.chunk;
        const void* newline = memchr(start, '\n', reader.end);
        size_t take = newline ? static_cast<const char*>(newline) - start + 1 : reader.end;
        reader.spill.append(start, take);
        reader.pos = take;
        if (newline)
            break;
    }
    // At the end of the input (or a read error) a line without a line end is still a line.
    data = reader.spill.data();
    size = reader.spill.size();
    return size != 0;
}

}  // namespace

void attachStream(int slot, FILE* stream) {
    streams[slot] = stream;
    openFlags[slot] = 1;
    streamErrors[slot] = 0;
    readers[slot].pos = readers[slot].end = 0;
    if (slot == OutputSlot) {
        setvbuf(stream, nullptr, _IONBF, 0);
        outputUsed = 0;
    }
    openDescriptors[slot] = fileno(stream);
}

void detachStream(int slot) {
    openDescriptors[slot] = -1;
    readers[slot].pos = readers[slot].end = 0;
    if (slot == OutputSlot)
        outputUsed = 0;
}

void flushOutput() {
    if (outputUsed && openFlags[OutputSlot])
        fwrite(outputBuffer, 1, outputUsed, streams[OutputSlot]);
    outputUsed = 0;
}

bool readLineInPlace(int slot, const char*& data, size_t& size) {
    SlotReader& reader = readers[slot];
    const char* start = reader.chunk + reader.pos;
    size_t left = reader.end - reader.pos;
    const void* newline = left ? memchr(start, '\n', left) : nullptr;
    if (!newline)
        return gatherLine(reader, streams[slot], data, size);
    data = start;
    size = static_cast<const char*>(newline) - start + 1;
    reader.pos += size;
    return true;
}

bool peekLines(int slot, int count, const char*& data, size_t sizes[]) {
    const SlotReader& reader = readers[slot];
    const char* start = reader.chunk + reader.pos;
    const char* end = reader.chunk + reader.end;
    const char* p = start;
    for (int i = 0; i < count; ++i) {
        const void* newline = p < end ? memchr(p, '\n', end - p) : nullptr;
        if (!newline)
            return false;
        const char* next = static_cast<const char*>(newline) + 1;
        sizes[i] = next - p;
        p = next;
    }
    data = start;
    return true;
}

void passPeeked(int slot, size_t size) {
    readers[slot].pos += size;
}

bool readLine(int slot, std::string& line) {
    const char* data;
    size_t size;
    if (!readLineInPlace(slot, data, size)) {
        line.clear();
        return false;
    }
    line.assign(data, size);
    return true;
}

long copyLines(int slot, FILE* out, long count) {
    SlotReader& reader = readers[slot];
    long limit = count < 0 ? LONG_MAX : count;
    long copied = 0;
    bool partLine = false;  // the bytes written last end inside a line
    while (copied < limit) {
        if (reader.pos == reader.end && !refill(reader, streams[slot]))
            return partLine ? copied + 1 : copied;
        const char* start = reader.chunk + reader.pos;
        const char* stop;
        copied += skipLines(start, reader.chunk + reader.end, limit - copied, stop);
        if (out)
            writeBytes(out, start, stop - start);
        reader.pos += stop - start;
        partLine = stop[-1] != '\n';
    }
    return copied;
}

void writeBytes(FILE* stream, const char* text, size_t size) {
    if (!size)
        return;
    if (stream != streams[OutputSlot] || !openFlags[OutputSlot]) {
        fwrite(text, 1, size, stream);
        return;
    }
    if (size > OutputBuffer - outputUsed || size >= DirectWrite) {
        flushOutput();
        if (size >= DirectWrite) {
            fwrite(text, 1, size, stream);
            return;
        }
    }
    memcpy(outputBuffer + outputUsed, text, size);
    outputUsed += size;
}
