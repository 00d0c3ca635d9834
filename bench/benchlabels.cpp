// Times the search for earlier runs' labels over one source file: the median and least of 15 searches.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "common/cleanup.h"
#include "common/globals.h"
#include "common/lineio.h"
#include "tagscan/labelscan.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: benchlabels SOURCE\n");
        return 2;
    }
    std::vector<double> times;
    int highest = 0;
    for (int round = 0; round < 15; ++round) {
        auto start = std::chrono::steady_clock::now();
        FILE* stream = fopen(argv[1], "rb");
        if (!stream) {
            perror(argv[1]);
            return 2;
        }
        attachStream(SourceSlot, stream);
        highest = highestLabelIn(SourceSlot);
        closeStream(SourceSlot);
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    printf("highest label %d, median %.2f ms, least %.2f ms\n", highest, times[times.size() / 2], times[0]);
    return 0;
}
