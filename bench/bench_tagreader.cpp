// Times readTagFile on tag files of 25,000, 50,000 and 100,000 branch errors for one file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "common/errorlist.h"
#include "common/globals.h"
#include "common/lineio.h"
#include "tagscan/tagreader.h"

namespace {

constexpr double MaxRatio = 2.2;  // largest time growth allowed per doubling of the lines

// Writes a tag file with `lines` out-of-range branches, all for one source file.
std::filesystem::path makeTagFile(long lines) {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("kelvad-bench-" + std::to_string(lines) + ".tag");
    FILE* stream = fopen(path.string().c_str(), "wb");
    for (long i = 1; i <= lines; ++i)
        fprintf(stream, "big.qsm %ld E18: branch out of range \"FAR%ld\"\n", i, i);
    fclose(stream);
    return path;
}

void readTagFileOf(benchmark::State& state) {
    long lines = state.range(0);
    std::filesystem::path path = makeTagFile(lines);
    initGlobals();
    for (auto _ : state) {
        state.PauseTiming();
        releaseFileList();
        // The reader closes its stream: each round opens the file afresh.
        attachStream(TagSlot, fopen(path.string().c_str(), "rb"));
        state.ResumeTiming();
        benchmark::DoNotOptimize(readTagFile());
    }
    releaseFileList();
    std::filesystem::remove(path);
}

// Repetitions and their length come from the command line (seven of at least
// half a second unless told otherwise); their median is the figure, so one
// disturbed repetition does not move it.
BENCHMARK(readTagFileOf)->Arg(25000)->Arg(50000)->Arg(100000)->Unit(benchmark::kMillisecond)
    ->ReportAggregatesOnly(true);

// The console report, plus the median CPU time of each size for the ratios
// (CPU time, so that waiting for the processor does not count).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_None) {}  // plain text: the figures are copied into notes
    void ReportRuns(const std::vector<Run>& reports) override {
        ConsoleReporter::ReportRuns(reports);
        for (const Run& run : reports)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medianTimes[run.per_family_instance_index] = run.GetAdjustedCPUTime();
    }
    std::map<long, double> medianTimes;  // by size index: 25,000, 50,000, 100,000 lines
};

}  // namespace

int main(int argc, char** argv) {
    // Interleaved repetitions: a burst of other work on the machine then slows
    // all sizes alike instead of one of them. Later words may override these.
    std::vector<char*> words(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    std::string repetitions = "--benchmark_repetitions=7";
    std::string minTime = "--benchmark_min_time=0.5";
    words.insert(words.begin() + 1, {interleave.data(), repetitions.data(), minTime.data()});
    argc = static_cast<int>(words.size());
    words.push_back(nullptr);
    argv = words.data();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const long sizes[] = {25000, 50000, 100000};
    bool linear = true;
    for (long i = 1; i < 3; ++i) {
        if (!reporter.medianTimes.count(i) || !reporter.medianTimes.count(i - 1))
            continue;
        double ratio = reporter.medianTimes[i] / reporter.medianTimes[i - 1];
        linear = linear && ratio <= MaxRatio;
        printf("%ld -> %ld lines: %.2f times as long (at most %.1f)\n", sizes[i - 1], sizes[i], ratio,
               MaxRatio);
    }
    return linear ? 0 : 1;
}
